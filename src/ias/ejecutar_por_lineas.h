#pragma once
// The runner of the AI command-line tools and agents: one child with a
// prepared environment, its standard output line by line (or whole), a time
// limit, and cancellation through the calling task.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ias/proceso.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia::IAsLocales {

struct FinEjecucion {
    std::int32_t estado = 0;  // exit code, or the number of the signal that ended the child
    std::string errores;      // standard error, repaired UTF-8
};

struct SalidaEjecucion {
    std::int32_t estado = 0;
    std::string salida;   // standard output, repaired UTF-8
    std::string errores;  // standard error, repaired UTF-8
};

// Runs `ruta` (a file path, never searched in PATH) with `argumentos` in the
// folder `en`, with the environment of entornoDeHijo(entorno); writes
// `entrada` to its standard input and closes it. `proceso` is called once
// right after the launch. Each non-empty line of standard output, without
// its line feed, goes to `lineas` on the main thread in order; all of them
// have been delivered when the run returns.
//
// The run returns once the child has exited and both its output streams
// have ended. `limite` seconds after the launch, or when the calling task is
// cancelled (before, during or after the launch), the child is stopped with
// matar and the run returns its status all the same. The only failure is a
// launch failure (no such program, not executable, bad folder), and then
// nothing is left running or waiting.
Tarea<Resultado<FinEjecucion>> ejecutarPorLineas(std::string ruta, std::vector<std::string> argumentos,
                                                 std::string entrada, std::filesystem::path en, double limite,
                                                 std::function<void(std::shared_ptr<Proceso>)> proceso,
                                                 Entorno entorno, std::function<void(std::string)> lineas);

// The same run with standard output returned whole, the runner's own
// environment only, and no callbacks.
Tarea<Resultado<SalidaEjecucion>> ejecutar(std::string ruta, std::vector<std::string> argumentos,
                                           std::string entrada, std::filesystem::path en, double limite);

}  // namespace sorvenia::IAsLocales
