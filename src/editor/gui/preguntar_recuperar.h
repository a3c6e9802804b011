#pragma once
// The recovery question about unsent changes: whether the copy this computer
// kept of a design is to be taken back when the design opens. Only the
// "Descartar" button means the unsent changes may be deleted.

#include <chrono>
#include <string>

#include <gtk/gtk.h>

#include "plataforma/tarea.h"

namespace sorvenia {

enum class Recuperacion {
    recuperar,  // "Recuperar": load the local copy and save it
    descartar,  // "Descartar": delete the local copy, open the stored version
    ninguna,    // ended otherwise: open the stored version, keep the copy
};

// Asks whether the unsent changes of this computer, written at `fecha`, are
// to be taken back, in an alert over `padre` (only the alert's buttons end
// it; without them the answer is `ninguna`).
Tarea<Recuperacion> preguntarRecuperar(std::chrono::system_clock::time_point fecha, GtkWindow* padre);

namespace detalle {
// The date in Spanish, long date style and short time style, in the local
// time zone: "10 de diciembre de 2026, 9:05". Spanish whatever the process
// locale.
std::string fechaLargaEspanol(std::chrono::system_clock::time_point fecha);
}  // namespace detalle

}  // namespace sorvenia
