#pragma once
// Pictures from outside (downloads, API answers) decoded from memory with a
// bound: a few bytes of header can announce gigabytes of pixels, so a
// picture that declares more than the caller allows is refused before any
// pixel is decoded. Only kinds that carry plain pixels are read (JPEG, PNG,
// GIF, WebP), never vector or document formats.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "plataforma/objeto_g.h"

namespace sorvenia {

struct ImagenAcotada {
    Ref<GdkPixbuf> imagen;  // at the size `medida` chose
    std::int64_t ancho = 0;  // as the file declares it
    std::int64_t alto = 0;
};

// Given the declared size, the size to decode straight at (the loader may
// decode smaller directly, as JPEG does); nothing keeps the declared size.
using MedidaImagen = std::function<std::optional<std::pair<int, int>>(int ancho, int alto)>;

// The loader's name for the kind of file the first bytes announce, or null.
const char* tipoImagen(std::string_view bytes);

std::optional<ImagenAcotada> decodificarAcotada(std::string_view bytes, std::int64_t maximoPixeles,
                                                const MedidaImagen& medida = {});

}  // namespace sorvenia
