#pragma once
// The recovery question about unsent changes (EditorModelo::preguntarRecuperar,
// declared in editor_modelo.h, defined in sorvenia_gui), with its fault fix
// only "Descartar" means the unsent changes may be deleted.

#include <chrono>
#include <string>

#include "centro/editor_modelo.h"

namespace sorvenia {

enum class Recuperacion {
    recuperar,  // "Recuperar": load the local copy and save it
    descartar,  // "Descartar": delete the local copy, open the stored version
    ninguna,    // ended otherwise: open the stored version, keep the copy
};

namespace detalle {
// The date as the Mac's "es_ES" formatter writes it in long date style and
// short time style, in the local time zone: "10 de diciembre de 2026, 9:05".
// Spanish whatever the process locale.
std::string fechaLargaEspanol(std::chrono::system_clock::time_point fecha);
}  // namespace detalle

}  // namespace sorvenia
