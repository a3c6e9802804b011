#pragma once
// The "proponer_conexion" tool: an agent offers to store a connection for
// later jobs. The user is asked in an alert over the main window; nothing is
// saved unless the user presses "Guardar". The tool's content items come
// back (an error item when the save was refused).

#include <gtk/gtk.h>

#include <nlohmann/json.hpp>

#include "plataforma/tarea.h"

namespace sorvenia {

Tarea<nlohmann::json> proponerConexion(nlohmann::json argumentos, GtkWindow* padre);

}  // namespace sorvenia
