#pragma once
// What the hub tells every agent about working on the canvas: the server's
// instructions and the "agente" design guide.

#include <string>

namespace sorvenia {

// The agent-mode text: how to work inside the canvas with its tools.
const std::string& textoModoAgente();

// The server's instructions: the agent-mode text, a blank line and the
// reminder to read the house brief first.
const std::string& instruccionesCentro();

}  // namespace sorvenia
