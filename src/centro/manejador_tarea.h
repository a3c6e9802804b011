#pragma once
// Tool handlers written as coroutines. The hub's models live on the main
// thread; this runs each tool call there as a task and answers the server
// with what the task returns.

#include <functional>

#include <nlohmann/json.hpp>

#include "centro/respuesta_mcp.h"
#include "plataforma/tarea.h"

namespace sorvenia {

using TareaHerramienta = std::function<Tarea<nlohmann::json>(PeticionHerramienta)>;

// A handler for ServidorMCP::ponerEjecutar: every call starts `tarea` on the
// main context; its items are the answer, and an exception it throws becomes
// one error item with the exception's message.
ManejadorHerramienta manejadorDeTarea(TareaHerramienta tarea);

}  // namespace sorvenia
