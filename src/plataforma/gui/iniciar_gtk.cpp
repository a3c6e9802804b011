#include "plataforma/gui/iniciar_gtk.h"

#include <gtk/gtk.h>

namespace sorvenia {

bool iniciarGtk() {
    // Only the main thread calls this, so a plain static is enough.
    static const bool abierto = gtk_init_check() != FALSE;
    return abierto;
}

}  // namespace sorvenia
