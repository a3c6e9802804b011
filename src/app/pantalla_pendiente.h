#pragma once
// The screen shown for a place of the window whose own screen this build
// does not have yet (servers, agency): it names the place, says that its
// screen is still to come, and offers the way back to the designs.

#include <gtk/gtk.h>

#include <memory>

#include "navegacion/navegacion.h"

namespace sorvenia {

// A new widget (floating reference) for `caso`; its button takes `nav` back
// to the home screen while `nav` is alive.
GtkWidget* pantallaPendiente(Navegacion::Pantalla::Caso caso, std::weak_ptr<Navegacion> nav);

}  // namespace sorvenia
