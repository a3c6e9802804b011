#pragma once
// The editor page's web view: handler "tarvel", inspectable in every build,
// kept running at full speed while hidden, registered with the test channel
// of a test build, loaded with resources/editor/index.html.

#include <memory>

namespace sorvenia {

class EditorAbierto;
class WebVista;

// Each accepted message goes to the model while it lives. The view belongs
// to the model; the editor screen only shows it.
std::unique_ptr<WebVista> crearWebEditor(std::weak_ptr<EditorAbierto> modelo);

}  // namespace sorvenia
