#pragma once
// The editor page's "elegirImagen": the user picks an image file from the
// computer for the selected <img>; the page gets it as a data URL with the
// file's name ("imagenElegida"), or {"cancelado": true} so that it never
// waits in vain. Files that are not pictures, or too large, are refused with
// a notice.

#include <memory>

#include <nlohmann/json.hpp>

#include "plataforma/tarea.h"

namespace sorvenia {

class EditorAbierto;

// {"req": integer}; a message without it is ignored.
Tarea<void> elegirImagen(std::shared_ptr<EditorAbierto> editor, nlohmann::json mensaje);

}  // namespace sorvenia
