// The sign-in link onto the clipboard: the one account operation that needs
// the display, so it lives with the window code.
#include "cuenta/conexion_navegador.h"
#include "plataforma/gui/portapapeles.h"

namespace sorvenia {

void ConexionNavegador::copiarEnlace() {
    if (enlace_) copiarAlPortapapeles(*enlace_);
}

}  // namespace sorvenia
