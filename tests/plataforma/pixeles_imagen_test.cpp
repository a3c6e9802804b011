#include "plataforma/pixeles_imagen.h"

#include <gtest/gtest.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <array>
#include <cstdlib>
#include <cstring>

#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

constexpr std::uint32_t rojo = 0xFFFF0000, azul = 0xFF0000FF;

// `alto` rows, the top half red and the bottom half blue; `paso` bytes a row.
PixelesPremultiplicados bandas(int ancho, int alto, std::size_t paso = 0) {
    PixelesPremultiplicados p{ancho, alto, paso ? paso : static_cast<std::size_t>(ancho) * 4, {}};
    p.datos.assign(p.paso * static_cast<std::size_t>(alto), 0xEE);  // padding bytes stay noise
    for (int y = 0; y < alto; ++y)
        for (int x = 0; x < ancho; ++x) {
            const std::uint32_t v = y < alto / 2 ? rojo : azul;
            std::memcpy(p.datos.data() + p.paso * static_cast<std::size_t>(y) + static_cast<std::size_t>(x) * 4, &v,
                        4);
        }
    return p;
}

Ref<GdkPixbuf> leer(const std::vector<std::uint8_t>& bytes) {
    auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    gdk_pixbuf_loader_write(cargador.get(), bytes.data(), bytes.size(), nullptr);
    gdk_pixbuf_loader_close(cargador.get(), nullptr);
    return Ref<GdkPixbuf>::compartir(gdk_pixbuf_loader_get_pixbuf(cargador.get()));
}

std::array<int, 4> pixel(GdkPixbuf* p, int x, int y) {
    const auto fila = static_cast<std::size_t>(y) * static_cast<std::size_t>(gdk_pixbuf_get_rowstride(p));
    const auto columna = static_cast<std::size_t>(x) * static_cast<std::size_t>(gdk_pixbuf_get_n_channels(p));
    const guchar* d = gdk_pixbuf_read_pixels(p) + fila + columna;
    return {d[0], d[1], d[2], gdk_pixbuf_get_has_alpha(p) ? d[3] : 255};
}

bool cerca(std::array<int, 4> a, std::array<int, 4> b, int margen) {
    for (std::size_t i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > margen) return false;
    return true;
}

// Scaled or not, padded rows or packed, PNG or JPEG: the output has the
// asked width, the proportional height and the source's colours in place.
TEST(PixelesImagen, EscalaYCodificaConSusColores) {
    const struct {
        int ancho, alto;
        std::size_t paso;
        int anchoSalida;
        bool jpeg;
        int altoEsperado;
    } casos[] = {
        {400, 300, 0, 200, false, 150},   // halved
        {400, 300, 0, 400, false, 300},   // as it is
        {390, 844, 0, 390, true, 844},    // JPEG, as it is
        {3, 4, 16, 3, false, 4},          // rows padded beyond what cairo uses
        {100, 80, 0, 250, false, 200},    // enlarged
        {1000, 1, 0, 10, false, 1},       // a sliver keeps one row
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(std::to_string(c.ancho) + "x" + std::to_string(c.alto) + " -> " + std::to_string(c.anchoSalida));
        const auto bytes = escalarYCodificar(bandas(c.ancho, c.alto, c.paso), c.anchoSalida, c.jpeg, 80);
        ASSERT_TRUE(bytes) << bytes.fallo().mensaje;
        EXPECT_EQ((*bytes)[0], c.jpeg ? 0xFF : 0x89);
        const auto imagen = leer(*bytes);
        ASSERT_TRUE(imagen);
        EXPECT_EQ(gdk_pixbuf_get_width(imagen.get()), c.anchoSalida);
        EXPECT_EQ(gdk_pixbuf_get_height(imagen.get()), c.altoEsperado);
        if (c.alto < 2) continue;
        const int x = c.anchoSalida / 2, alto = c.altoEsperado;
        EXPECT_TRUE(cerca(pixel(imagen.get(), x, 0), {255, 0, 0, 255}, 24));
        EXPECT_TRUE(cerca(pixel(imagen.get(), x, alto - 1), {0, 0, 255, 255}, 24));
    }
}

// Premultiplied values come out straight: a half-transparent orange keeps
// its colour and its transparency in a PNG.
TEST(PixelesImagen, TransparenciaSinOscurecer) {
    PixelesPremultiplicados p{2, 2, 8, {}};
    p.datos.resize(16);
    const std::uint32_t mediaNaranja = 0x80804000;  // alpha 128, red 128, green 64 premultiplied
    const std::uint32_t transparente = 0;
    for (int i = 0; i < 4; ++i) std::memcpy(p.datos.data() + i * 4, i == 3 ? &transparente : &mediaNaranja, 4);
    const auto bytes = escalarYCodificar(p, 2, false, 90);
    ASSERT_TRUE(bytes);
    const auto imagen = leer(*bytes);
    ASSERT_TRUE(imagen && gdk_pixbuf_get_has_alpha(imagen.get()));
    EXPECT_TRUE(cerca(pixel(imagen.get(), 0, 0), {255, 128, 0, 128}, 2));
    EXPECT_EQ(pixel(imagen.get(), 1, 1)[3], 0);
}

// Sizes that do not match the bytes are refused, never read past the end.
TEST(PixelesImagen, TamanosIncoherentesSeRechazan) {
    PixelesPremultiplicados corta = bandas(10, 10);
    corta.datos.resize(corta.datos.size() - 1);
    PixelesPremultiplicados pasoCorto = bandas(10, 10);
    pasoCorto.paso = 39;
    PixelesPremultiplicados vacia;
    const PixelesPremultiplicados* casos[] = {&corta, &pasoCorto, &vacia};
    for (const auto* c : casos) {
        const auto bytes = escalarYCodificar(*c, 10, false, 90);
        ASSERT_FALSE(bytes);
        EXPECT_EQ(bytes.fallo().codigo, "imagen");
    }
    EXPECT_FALSE(escalarYCodificar(bandas(10, 10), 0, false, 90));
}

}  // namespace
}  // namespace sorvenia
