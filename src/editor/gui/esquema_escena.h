#pragma once
// Serves a design's scene files to a web view under "escena://local/<file>",
// only from the folder `carpeta` gives at the time of each request (the
// design may get its id while the page is open). Anything outside that
// folder is not found.

#include <filesystem>
#include <functional>

namespace sorvenia {

class WebVista;

void servirEscenas(WebVista& vista, std::function<std::filesystem::path()> carpeta);

}  // namespace sorvenia
