#pragma once
// The editor page's exports: one mesa as a PNG picture or an HTML page
// ("exportar"), and the whole design as a website folder ("exportarWeb").
// The user places each through the platform's file chooser; the page is
// told the outcome with "aviso"; a dismissed chooser or question with
// "exportarCancelado", so that the page frees its export button.

#include <memory>

#include <nlohmann/json.hpp>

#include "plataforma/tarea.h"

namespace sorvenia {

class EditorAbierto;

// {"formato": "png" or "html", "html": the mesa's fragment, "w", "h",
// "nombre"}: a save chooser proposing the mesa's name, then the picture
// (rendered at w x h, as wide as the mesa) or the standalone page (the
// user's fonts embedded) written there.
Tarea<void> exportarMesa(std::shared_ptr<EditorAbierto> editor, nlohmann::json mensaje);

// {"paginas": [page], "nombre"}: a folder chooser, then the folder named
// after the design inside it (asked first when it exists) with one page per
// mesa and the scenes they use; the folder is shown in the file manager.
Tarea<void> exportarWeb(std::shared_ptr<EditorAbierto> editor, nlohmann::json mensaje);

}  // namespace sorvenia
