#pragma once
// The line-streaming runner of app projects: npm install and test, and every
// other outside tool whose output the user watches while it runs.
//
// Unlike the AI runners it has no time limit, its standard input is the null
// device, standard output and standard error share one pipe (so their lines
// arrive interleaved as written), and cancelling the calling task does not
// stop the child: a caller that must stop one does so by other means.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ias/proceso.h"
#include "plataforma/tarea.h"

namespace sorvenia {

struct FinEnVivo {
    // The exit code, or the number of the signal that ended the child; -1
    // when the program could not start.
    std::int32_t estado = 0;
    // Every reported line followed by "\n"; on a failed start, "no arranca: "
    // and the reason.
    std::string salida;
};

// Runs `ruta` (a file path, never searched in PATH) with `argumentos` in the
// folder `en` (none: the application's own). `entorno`, when given, is the
// child's whole environment; when absent the child gets the application's
// own with PATH set to the login-shell PATH.
//
// `linea` receives each non-empty line without its line feed (a carriage
// return stays), on a worker thread, in order; a last line without a line
// feed is reported once the child has exited. A character whose bytes arrive
// in two reads is decoded whole. Output that a descendant still writes after
// the child has exited is not waited for.
Tarea<FinEnVivo> enVivo(std::string ruta, std::vector<std::string> argumentos,
                        std::optional<std::filesystem::path> en, std::optional<Entorno> entorno,
                        std::function<void(std::string)> linea);

// The same, blocking the calling thread (never the main thread).
FinEnVivo correrEnVivo(const std::string& ruta, const std::vector<std::string>& argumentos,
                       const std::optional<std::filesystem::path>& en, const std::optional<Entorno>& entorno,
                       const std::function<void(std::string)>& linea);

}  // namespace sorvenia
