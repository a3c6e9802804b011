// Image fills made into data: addresses, large ones reduced.

#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "medios/figma_imagen.h"

namespace Figma = sorvenia::Figma;

namespace {

struct Liberar {
    void operator()(gpointer p) const { g_object_unref(p); }
};
using Pixbuf = std::unique_ptr<GdkPixbuf, Liberar>;

// A picture of one colour, red with full opacity, encoded as `tipo`.
std::string imagen(int ancho, int alto, bool alfa, const char* tipo) {
    Pixbuf p(gdk_pixbuf_new(GDK_COLORSPACE_RGB, alfa, 8, ancho, alto));
    gdk_pixbuf_fill(p.get(), 0xff0000ff);
    gchar* bytes = nullptr;
    gsize largo = 0;
    EXPECT_TRUE(gdk_pixbuf_save_to_buffer(p.get(), &bytes, &largo, tipo, nullptr, nullptr));
    std::string s(bytes, largo);
    g_free(bytes);
    return s;
}

// The picture a data: address holds, decoded.
Pixbuf decodificar(const std::string& direccion) {
    const auto coma = direccion.find(',');
    gsize largo = 0;
    guchar* bytes = g_base64_decode(direccion.substr(coma + 1).c_str(), &largo);
    Pixbuf p;
    GdkPixbufLoader* cargador = gdk_pixbuf_loader_new();
    if (gdk_pixbuf_loader_write(cargador, bytes, largo, nullptr) && gdk_pixbuf_loader_close(cargador, nullptr))
        p.reset(GDK_PIXBUF(g_object_ref(gdk_pixbuf_loader_get_pixbuf(cargador))));
    g_object_unref(cargador);
    g_free(bytes);
    return p;
}

std::uint32_t crc32(const std::string& datos) {
    std::uint32_t c = 0xffffffffu;
    for (char ch : datos) {
        c ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xedb88320u ^ (c >> 1u) : c >> 1u;
    }
    return c ^ 0xffffffffu;
}

std::string bigEndian(std::uint32_t n) {
    return {static_cast<char>(n >> 24u), static_cast<char>(n >> 16u), static_cast<char>(n >> 8u), static_cast<char>(n)};
}

// A well-formed PNG header that announces a picture of ancho × alto pixels
// and carries a few bytes of data after it.
std::string cabeceraPng(std::uint32_t ancho, std::uint32_t alto) {
    const std::string ihdr = "IHDR" + bigEndian(ancho) + bigEndian(alto) + std::string("\x08\x02\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    png += bigEndian(13) + ihdr + bigEndian(crc32(ihdr));
    const std::string idat = "IDAT" + std::string(64, '\0');
    png += bigEndian(64) + idat + bigEndian(crc32(idat));
    return png;
}

TEST(FigmaReducir, TablaDeTamanos) {
    const struct {
        const char* nombre;
        int ancho, alto;
        bool alfa;
        const char* tipo;
        const char* prefijo;
        int anchoFinal, altoFinal;
    } casos[] = {
        {"ancha con transparencia", 3000, 1000, true, "png", "data:image/png;base64,", 1600, 533},
        {"alta sin transparencia", 1000, 3000, false, "png", "data:image/jpeg;base64,", 533, 1600},
        {"jpeg grande", 2400, 1800, false, "jpeg", "data:image/jpeg;base64,", 1600, 1200},
        {"pequeña se queda igual", 800, 600, false, "jpeg", "data:image/jpeg;base64,", 800, 600},
        {"justo en el límite", 1600, 1600, true, "png", "data:image/png;base64,", 1600, 1600},
        {"un píxel de lado", 4000, 1, true, "png", "data:image/png;base64,", 1600, 1},
    };
    for (const auto& c : casos) {
        auto direccion = Figma::reducir(imagen(c.ancho, c.alto, c.alfa, c.tipo));
        ASSERT_TRUE(direccion) << c.nombre;
        EXPECT_TRUE(direccion->starts_with(c.prefijo)) << c.nombre << ": " << direccion->substr(0, 30);
        Pixbuf p = decodificar(*direccion);
        ASSERT_TRUE(p) << c.nombre;
        EXPECT_EQ(gdk_pixbuf_get_width(p.get()), c.anchoFinal) << c.nombre;
        EXPECT_EQ(gdk_pixbuf_get_height(p.get()), c.altoFinal) << c.nombre;
        const guint8* px = gdk_pixbuf_read_pixels(p.get());
        EXPECT_GT(px[0], 240) << c.nombre;
        EXPECT_LT(px[1], 16) << c.nombre;
    }
}

TEST(FigmaReducir, LoQueNoEsUnaImagenNoDaNada) {
    const std::string png = imagen(50, 50, true, "png");
    const struct {
        const char* nombre;
        std::string bytes;
    } casos[] = {
        {"vacío", ""},
        {"texto", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>"},
        {"png cortado tras la cabecera", png.substr(0, 41)},
        {"solo la firma", png.substr(0, 8)},
        {"cabecera de 50000 × 50000", cabeceraPng(50000, 50000)},
        {"cabecera de anchura cero", cabeceraPng(0, 10)},
    };
    for (const auto& c : casos) EXPECT_EQ(Figma::reducir(c.bytes), std::nullopt) << c.nombre;
}

}  // namespace
