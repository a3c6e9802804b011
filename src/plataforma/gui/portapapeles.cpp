#include "plataforma/gui/portapapeles.h"

#include <gdk/gdk.h>

namespace sorvenia {

void copiarAlPortapapeles(const std::string& texto) {
    GdkDisplay* pantalla = gdk_display_get_default();
    if (pantalla == nullptr) return;
    gdk_clipboard_set_text(gdk_display_get_clipboard(pantalla), texto.c_str());
}

}  // namespace sorvenia
