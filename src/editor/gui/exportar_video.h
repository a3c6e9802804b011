#pragma once
// The editor page's video export: one mesa with its animations as an MP4
// file. The page hears "progresoVideo": {"fraccion"} while it records, then
// {"hecho": true, "ruta"}, {"error"} or {"cancelado": true} (the chooser
// was dismissed or the page cancelled the recording).

#include <memory>

#include <nlohmann/json.hpp>

#include "plataforma/tarea.h"

namespace sorvenia {

class EditorAbierto;

// {"html": the mesa's fragment, "w", "h", "duracionMs", "fps", "nombre"}: a
// save chooser proposing the mesa's name (it asks before replacing a file),
// then the recording written there. Cancelling the task stops the recording
// and leaves no file behind.
Tarea<void> exportarVideo(std::shared_ptr<EditorAbierto> editor, nlohmann::json mensaje);

}  // namespace sorvenia
