#pragma once
// A short synchronous command with a time limit (login-shell PATH, login
// probes of the AI tools).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ias/proceso.h"

namespace sorvenia::IAsLocales {

struct SalidaCorta {
    std::int32_t estado = 0;
    std::string texto;  // standard output and error as written into one pipe, repaired UTF-8
};

// Blocks the calling thread (never call it on the main thread) for up to
// `limite` seconds for the child's exit plus 2 seconds for its output.
// `entorno`, when given, is the child's whole environment; otherwise it
// inherits the application's. Standard input is the null device and the
// working folder the application's own. Nothing when the launch failed or
// the limit passed (the child is then stopped with matar). A child that
// exits while something it started keeps the pipe open gives its status
// with an empty text.
std::optional<SalidaCorta> correrCorto(const std::string& ruta, const std::vector<std::string>& argumentos,
                                       const std::optional<Entorno>& entorno, double limite);

}  // namespace sorvenia::IAsLocales
