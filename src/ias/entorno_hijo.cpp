#include "ias/entorno_hijo.h"

#include "ias/path_terminal.h"

namespace sorvenia::IAsLocales {

Entorno entornoDeHijo(const Entorno& adicional) {
    Entorno entorno = entornoPropio();
    entorno["PATH"] = pathDeTerminal();
    entorno["NO_COLOR"] = "1";
    entorno["HYPERFRAMES_NO_TELEMETRY"] = "1";
    entorno.erase("CLAUDECODE");
    for (const auto& [nombre, valor] : adicional) entorno[nombre] = valor;
    return entorno;
}

}  // namespace sorvenia::IAsLocales
