#pragma once
// Opening a web address in the user's default browser (the desktop's
// handler for the address's scheme).

#include <functional>
#include <string>

namespace sorvenia::Navegador {

// Hands `uri` to the default handler of its scheme. False when the system
// has none or could not start it. Returns at once; main thread.
bool abrir(const std::string& uri);

using Abridor = std::function<bool(const std::string& uri)>;

// Puts another opener in place (tests: record instead of starting a
// browser); returns the one it replaces. An empty one restores the system's.
Abridor usarAbridor(Abridor abridor);

}  // namespace sorvenia::Navegador
