#pragma once
// The editor's way to the account and store window, which sits above the
// editor: the application installs the opener at start (usarAbridorTienda),
// and the editor page's "tienda" opens the window through it with a purchase
// callback that refreshes the page's publishing destinations.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "plataforma/tarea.h"

namespace sorvenia {

class Cuenta;
class EditorAbierto;

// Opens the store window at a section, optionally at a panel path, with a
// callback for a finished purchase.
using AbridorTienda = std::function<void(std::shared_ptr<Cuenta> cuenta, std::string seccion,
                                         std::optional<std::string> ir, std::function<void()> alComprar)>;

// Installs the opener; an empty one removes it. Main thread.
void usarAbridorTienda(AbridorTienda abridor);
// Opens the window; false when no opener is installed.
bool abrirTienda(std::shared_ptr<Cuenta> cuenta, std::string seccion, std::optional<std::string> ir,
                 std::function<void()> alComprar);

// How long the two refreshes after a purchase wait: a new hosting or VPS may
// show up on the account only after a while.
inline constexpr double primeraEsperaDestinos = 3.0;
inline constexpr double segundaEsperaDestinos = 60.0;

// The page's destinations fetched again after each wait and sent to it
// ("destinos"); a failed fetch leaves the page as it was. Nothing without
// an account or a design id.
Tarea<void> refrescarDestinos(std::shared_ptr<EditorAbierto> editor, std::shared_ptr<Cuenta> cuenta, std::string id);

}  // namespace sorvenia
