#pragma once
// How the user's own MCP connections and the customer's stored service keys
// reach the agents the application runs.
//
// The application does not yet keep MCP connections of the user nor service
// keys of the customer: until it does, every agent run gets none (empty
// values below), and only the application's own server.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ias/proceso.h"

namespace sorvenia {

namespace Conexiones {

// For a claude run: the "mcpServers" members of the user's connections, the
// tool names they add to the allowed list, the environment variables they
// need, and a text appended to the prompt.
struct ParaClaude {
    nlohmann::json servidores = nlohmann::json::object();
    std::vector<std::string> herramientas;
    Entorno entorno;
    std::string texto;
};

// For a codex run: command-line arguments ("-c" pairs), environment and a
// text appended to the prompt.
struct ParaCodex {
    std::vector<std::string> args;
    Entorno entorno;
    std::string texto;
};

ParaClaude paraClaude();
ParaCodex paraCodex();

}  // namespace Conexiones

namespace Integraciones {

// The customer's stored service keys as environment variables (name to
// value); given only to claude runs in video mode.
Entorno entorno();

}  // namespace Integraciones

}  // namespace sorvenia
