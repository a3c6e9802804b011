// The sign-in link onto the clipboard: the one account operation that needs
// the display, so it lives with the window code.
#include "cuenta/cuenta.h"
#include "plataforma/gui/portapapeles.h"

namespace sorvenia {

void Cuenta::copiarEnlace() {
    if (enlaceConexion_) copiarAlPortapapeles(*enlaceConexion_);
}

}  // namespace sorvenia
