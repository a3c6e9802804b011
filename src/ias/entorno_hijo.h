#pragma once
// The environment of a child started by the AI runners.

#include "ias/proceso.h"

namespace sorvenia::IAsLocales {

// In this order: the application's environment; PATH set to pathDeTerminal;
// NO_COLOR=1; HYPERFRAMES_NO_TELEMETRY=1; CLAUDECODE removed; then every
// entry of `adicional`, replacing what is there (so a caller may override
// PATH or put CLAUDECODE back). Computes pathDeTerminal on first use.
Entorno entornoDeHijo(const Entorno& adicional);

}  // namespace sorvenia::IAsLocales
