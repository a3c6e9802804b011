#pragma once
// A GDK texture written out as PNG or JPEG bytes.

#include <gdk/gdk.h>

#include <cstdint>
#include <vector>

#include "plataforma/pixeles_imagen.h"
#include "plataforma/resultado.h"

namespace sorvenia {

enum class FormatoImagen { png, jpeg };

// `calidadJpeg` (0 to 100, clamped) only matters for JPEG, which has no
// alpha channel: transparent pixels lose their transparency.
Resultado<std::vector<std::uint8_t>> codificarTextura(GdkTexture* textura, FormatoImagen formato,
                                                      int calidadJpeg = 90);

// The texture's pixels copied out, so that scaling and encoding them can
// run on a worker thread (escalarYCodificar). A texture that lives in
// memory is immutable and may be read from any thread; one held by the GPU
// must be read on the main thread.
PixelesPremultiplicados descargarTextura(GdkTexture* textura);
bool descargaLibre(GdkTexture* textura);

}  // namespace sorvenia
