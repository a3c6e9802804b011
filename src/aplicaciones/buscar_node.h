#pragma once
// Finding a Node.js new enough to run an app project.

#include <optional>
#include <string>

#include "plataforma/tarea.h"

namespace sorvenia {

struct NodeEncontrado {
    std::string ruta;     // the full path of the node program
    std::string version;  // what it printed for its own version, e.g. "v22.13.1"
};

// The first folder of `path` ("a:b:c", empty pieces left out) holding an
// executable "node" of version 22.13 or newer, asked to the program itself.
// A candidate that is too old, fails or cannot start is passed over.
// Blocks while each candidate runs: never on the main thread.
std::optional<NodeEncontrado> buscarNodeEn(const std::string& path);

// The same in the login-shell PATH, off the main thread.
Tarea<std::optional<NodeEncontrado>> buscarNode();

// The npm that sits next to that node (its existence is not checked).
std::string npmJuntoA(const std::string& rutaNode);

// What the user reads when no usable Node.js is found for a local run.
inline constexpr const char* textoSinNode =
    "Hace falta Node.js 22.13 o más nuevo en este ordenador para probar la aplicación (nodejs.org, versión LTS).";

}  // namespace sorvenia
