#pragma once
// What the customer's stored service keys give the rest of the application:
// the environment variables of agent processes and the nine integration
// cards of the home page and the editor.
//
// The keychain and the search for npx block, so the cards are built on the
// main thread from the last reading (`Lectura`), which a worker takes at
// start and after every change made in the settings sheet.

#include <optional>
#include <set>

#include <nlohmann/json.hpp>

#include "ias/proceso.h"
#include "integraciones/servicio_clave.h"
#include "plataforma/tarea.h"

namespace sorvenia::Integraciones {

// The variables for agent processes ("GEMINI_API_KEY", ...), one set per
// stored key. Blocking (keychain): worker threads only.
Entorno entorno();

// Whether an executable npx is found (two fixed places, then the login
// shell's search path). Blocking: worker threads only.
bool nodo();

// Which services hold a key, and whether npx is there.
struct Lectura {
    std::set<ServicioClave> conClave;
    bool nodo = false;
};

// A new reading. Blocking: worker threads only.
Lectura leer();

// The nine cards in their fixed order, from a reading and the "videosIA"
// flag. Pure.
nlohmann::json estado(const Lectura& lectura, bool videos);

// The last reading, kept for the main thread; empty until the first.
Lectura ultimaLectura();
void recordar(Lectura lectura);
// Takes a new reading off the main thread and keeps it.
Tarea<Lectura> releer();

// The cards from the last reading and the user defaults (main thread).
nlohmann::json estadoActual();

}  // namespace sorvenia::Integraciones
