#pragma once
// The one command an AI agent may run against the customer's VPS: a small
// script per VPS alias that execs ssh to that VPS with the application's own
// configuration.

#include <filesystem>
#include <string>
#include <string_view>

#include "plataforma/resultado.h"

namespace sorvenia::PublicarVPS {

// ~/.sorvenia-tarvel: the application's ssh keys, configuration and
// launchers live below it (made on demand, never on its own).
const std::filesystem::path& raiz();

// The text of the launcher of `alias`.
std::string textoLanzador(std::string_view alias);

// Writes raiz()/ssh/bin/<alias> (folder 0700, file 0700, rewritten only when
// its text differs) and gives its path. The alias must be "tarvel-vps-"
// followed by digits: anything else is refused with "Servidor no válido."
// (code "alias"), so no alias can smuggle words into the script.
Resultado<std::filesystem::path> lanzador(std::string_view alias);

}  // namespace sorvenia::PublicarVPS
