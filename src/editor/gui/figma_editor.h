#pragma once
// The editor page's Figma import ("importarFigma"): the stored token (asked
// for once when there is none), then the import with its progress shown in
// the page, and the imported frames or the reason there are none sent back
// as "figma". The page makes one mesa of each frame.

#include <memory>

#include <nlohmann/json.hpp>

#include "plataforma/tarea.h"

namespace sorvenia {

class EditorAbierto;

// {"enlace": the pasted link}. Answers {"progreso": text} while it works,
// then {"marcos": [{"nombre", "html", "w", "h"}]} or {"error": text}.
// Nothing is answered when the user cancels the token dialog.
Tarea<void> importarFigma(std::shared_ptr<EditorAbierto> editor, nlohmann::json mensaje);

}  // namespace sorvenia
