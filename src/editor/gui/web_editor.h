#pragma once
// The editor page's web view: handler "tarvel", inspectable in every build,
// the video player's bridge script in every frame, registered with the test
// channel of a test build, loaded with resources/editor/tarvel/index.html. A parked
// page keeps running in the hidden host window; nothing an agent's tool call
// needs there waits on a timer or on painting.

#include <memory>

namespace sorvenia {

class EditorAbierto;
class WebVista;

// Each accepted message goes to the model while it lives. The view belongs
// to the model; the editor screen only shows it.
std::unique_ptr<WebVista> crearWebEditor(std::weak_ptr<EditorAbierto> modelo);

}  // namespace sorvenia
