#pragma once
// A picture of a whole web document at a chosen width, taken from a view
// that is never shown.

#include <webkit/webkit.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "plataforma/gui/anfitrion_oculto.h"
#include "plataforma/gui/codificar_imagen.h"
#include "plataforma/objeto_g.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

// `vista` must be the child of `anfitrion`. Lays it out `ancho` pixels wide,
// waits until the document has loaded and has that width, and encodes the
// full-document snapshot. Both are held until it ends.
Tarea<Resultado<std::vector<std::uint8_t>>> fotografiarDocumento(Ref<WebKitWebView> vista,
                                                                 std::shared_ptr<AnfitrionOculto> anfitrion,
                                                                 int ancho, FormatoImagen formato, int calidadJpeg);

}  // namespace sorvenia
