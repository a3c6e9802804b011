#pragma once
// A GDK texture written out as PNG or JPEG bytes.

#include <gdk/gdk.h>

#include <cstdint>
#include <vector>

#include "plataforma/resultado.h"

namespace sorvenia {

enum class FormatoImagen { png, jpeg };

// `calidadJpeg` (0 to 100, clamped) only matters for JPEG, which has no
// alpha channel: transparent pixels lose their transparency.
Resultado<std::vector<std::uint8_t>> codificarTextura(GdkTexture* textura, FormatoImagen formato,
                                                      int calidadJpeg = 90);

}  // namespace sorvenia
