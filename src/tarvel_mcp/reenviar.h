#pragma once

#include <string_view>

#include "tarvel_mcp/puente.h"

namespace sorvenia::puente {

// Posts one message to the application's local MCP server named by the
// connection file (read afresh for every message) and waits for the answer.
Reenvio reenviar(std::string_view mensaje);

}  // namespace sorvenia::puente
