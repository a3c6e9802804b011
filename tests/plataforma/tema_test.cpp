// The theme: colours, the shipped fonts and the window's backdrop.

#include "plataforma/gui/tema.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <fstream>

#include "app/fondo.h"
#include "plataforma/carpetas.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

TEST(Tema, Colores) {
    EXPECT_EQ(Tema::fondo().red, 0.0F);
    EXPECT_EQ(Tema::fondo().alpha, 1.0F);
    EXPECT_FLOAT_EQ(Tema::panel().green, 0.02F);
    EXPECT_FLOAT_EQ(Tema::tinta().blue, 0.93F);
    EXPECT_FLOAT_EQ(Tema::linea2().red, 0.165F);
}

TEST(Tema, FuentesQueFaltanSeSaltan) {
    auto carpeta = CarpetaTemporal::crear("fuentes-");
    ASSERT_TRUE(carpeta);
    const fs::path raiz = carpeta->ruta();
    fs::create_directories(raiz / "editor/fuentes");
    EXPECT_TRUE(Tema::archivosFuentes(raiz).empty());
    std::ofstream(raiz / "editor/fuentes/jetbrains-mono.woff2") << "x";
    EXPECT_EQ(Tema::archivosFuentes(raiz), std::vector<fs::path>{raiz / "editor/fuentes/jetbrains-mono.woff2"});
    std::ofstream(raiz / "editor/fuentes/inter.woff2") << "x";
    EXPECT_EQ(Tema::archivosFuentes(raiz).size(), 2U);
    EXPECT_TRUE(Tema::archivosFuentes(std::nullopt).empty());
}

bool familiaDisponible(const char* familia) {
    FcPattern* patron = FcPatternCreate();
    FcPatternAddString(patron, FC_FAMILY, reinterpret_cast<const FcChar8*>(familia));
    FcObjectSet* objetos = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* halladas = FcFontList(nullptr, patron, objetos);
    const bool hay = halladas != nullptr && halladas->nfont > 0;
    if (halladas != nullptr) FcFontSetDestroy(halladas);
    FcObjectSetDestroy(objetos);
    FcPatternDestroy(patron);
    return hay;
}

// The build's resources carry both fonts (fetched from npm); registering
// them makes their families known to this process.
TEST(Tema, RegistraLasDosFuentesDeLosRecursos) {
    EXPECT_EQ(Tema::registrarFuentes(), 2);
    EXPECT_TRUE(familiaDisponible("Inter"));
    EXPECT_TRUE(familiaDisponible("JetBrains Mono"));
}

TEST(Fondo, RejillaDePuntos) {
    const struct {
        int ancho, alto, columnas, filas;
    } casos[] = {{1000, 640, 46, 30}, {1440, 900, 66, 41}, {22, 22, 1, 1}, {23, 1, 2, 1}, {0, 640, 0, 30}, {1, 0, 1, 0}};
    for (const auto& c : casos) {
        const RejillaPuntos r = rejillaPara(c.ancho, c.alto);
        EXPECT_EQ(r.columnas, c.columnas) << c.ancho;
        EXPECT_EQ(r.filas, c.filas) << c.alto;
    }
}

TEST(Fondo, PuntosGrisesYBrilloAzulArriba) {
    constexpr int ancho = 1000, alto = 640;
    cairo_surface_t* lienzo = cairo_image_surface_create(CAIRO_FORMAT_RGB24, ancho, alto);
    cairo_t* cr = cairo_create(lienzo);
    pintarFondo(cr, ancho, alto);
    cairo_destroy(cr);
    cairo_surface_flush(lienzo);
    const unsigned char* datos = cairo_image_surface_get_data(lienzo);
    const int paso = cairo_image_surface_get_stride(lienzo);
    // RGB24 is stored as little-endian 0x00RRGGBB: bytes B, G, R, unused.
    auto pixel = [&](int x, int y) {
        const unsigned char* p = datos + y * paso + x * 4;
        return std::array<int, 3>{p[2], p[1], p[0]};
    };
    const auto abajoPunto = pixel(22 * 3, 22 * 25);       // a dot far from the glow
    const auto abajoHueco = pixel(22 * 3 + 11, 22 * 25 + 11);
    EXPECT_GT(abajoPunto[0], abajoHueco[0]);
    EXPECT_EQ(abajoHueco, (std::array<int, 3>{0, 0, 0}));
    const auto arribaCentro = pixel(ancho / 2 + 11, 11);   // between dots, under the glow
    EXPECT_GT(arribaCentro[2], arribaCentro[0]);           // blue over red
    EXPECT_GT(arribaCentro[2], 10);
    cairo_surface_destroy(lienzo);
}

}  // namespace
}  // namespace sorvenia
