#pragma once
// Pixels taken out of a picture, scaled and encoded as PNG or JPEG on any
// thread: the work a large capture costs, kept away from the main loop.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plataforma/resultado.h"

namespace sorvenia {

// Premultiplied 8-bit ARGB in native-endian 32-bit words (cairo's ARGB32),
// `paso` bytes from one row to the next.
struct PixelesPremultiplicados {
    int ancho = 0;
    int alto = 0;
    std::size_t paso = 0;
    std::vector<std::uint8_t> datos;
};

// The pixels scaled to `anchoSalida` wide (the height keeps the proportion,
// at least one row) and encoded. JPEG has no alpha channel: transparent
// pixels lose their transparency. Fails with the code "imagen" when the
// pixels do not match their sizes or the encoder refuses them.
Resultado<std::vector<std::uint8_t>> escalarYCodificar(const PixelesPremultiplicados& pixeles, int anchoSalida,
                                                       bool jpeg, int calidadJpeg);

}  // namespace sorvenia
