#pragma once
// The blocking runner of ssh, scp, ssh-keygen and other short commands.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ias/proceso.h"

namespace sorvenia::PublicarVPS {

// Runs `programa` (an absolute path) with `argumentos` to its end, blocking
// the calling thread (never the main thread). The child gets the
// application's environment with `entorno` set over it, and on standard
// input `entrada` (then end of file) or, when absent, the null device.
// Gives (exit status was 0, standard output and error interleaved as
// written, repaired UTF-8); (false, "no arranca") when it cannot start.
std::pair<bool, std::string> correr(const std::string& programa, const std::vector<std::string>& argumentos,
                                    const Entorno& entorno, const std::optional<std::string>& entrada);

}  // namespace sorvenia::PublicarVPS
