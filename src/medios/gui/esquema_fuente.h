#pragma once
// Serves the user's fonts to a web view under "fuente://local/<file>".

namespace sorvenia {

class WebVista;

void servirFuentes(WebVista& vista);

}  // namespace sorvenia
