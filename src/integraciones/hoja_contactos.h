#pragma once
// Drawing the photo search's contact sheet: decoding the thumbnails (with
// gdk-pixbuf) and composing them, numbered, into one JPEG (with cairo).
// Blocking and free of shared state: any thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvenia::BuscarFotos {

inline constexpr int columnasHoja = 3;
inline constexpr int anchoCelda = 400;
inline constexpr int altoCelda = 266;
inline constexpr int separacionHoja = 8;
inline constexpr std::size_t maximoEnHoja = 12;
// An image whose header declares more pixels than this is not decoded.
inline constexpr std::int64_t maximoPixeles = 40'000'000;

// One decoded thumbnail.
struct Miniatura {
    std::int64_t ancho = 0;  // the picture's own size, as its header declares it
    std::int64_t alto = 0;
    struct Pixeles;
    std::shared_ptr<const Pixeles> pixeles;  // decoded no larger than a cell needs
};

// JPEG, PNG, GIF or WebP bytes decoded; nothing for any other kind of
// file, a broken one, or one that declares more than maximoPixeles.
std::optional<Miniatura> decodificar(std::string_view bytes);

// The sheet of the given thumbnails, in order (at most maximoEnHoja are
// drawn), as JPEG bytes; nothing when there are none or the encoder fails.
std::optional<std::string> dibujarHoja(const std::vector<Miniatura>& miniaturas);

// The sheet's size in pixels for n thumbnails.
inline int anchoHoja() { return columnasHoja * anchoCelda + (columnasHoja + 1) * separacionHoja; }
inline int altoHoja(std::size_t n) {
    const int filas = static_cast<int>((n + columnasHoja - 1) / columnasHoja);
    return filas * altoCelda + filas * separacionHoja + separacionHoja;
}

}  // namespace sorvenia::BuscarFotos
