// A font of the user's library in an offscreen render: the renderer's view
// loads it through "fuente://local/<file>", so the text is drawn in it; a
// reference to a file that is not there falls back; and the same HTML with
// the font inlined (as exports write it) draws the same picture.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <chrono>

#include "aislado.h"
#include "esperar_bucle.h"
#include "editor/gui/renderizador.h"
#include "medios/fuentes.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

using namespace std::chrono_literals;

// The decoded pixels of a PNG.
std::vector<std::uint8_t> pixeles(const std::vector<std::uint8_t>& png) {
    auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    gdk_pixbuf_loader_write(cargador.get(), png.data(), png.size(), nullptr);
    gdk_pixbuf_loader_close(cargador.get(), nullptr);
    GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(cargador.get());
    if (p == nullptr) return {};
    const guchar* datos = gdk_pixbuf_read_pixels(p);
    const auto bytes =
        static_cast<std::size_t>(gdk_pixbuf_get_rowstride(p)) * static_cast<std::size_t>(gdk_pixbuf_get_height(p));
    return {datos, datos + bytes};
}

std::string conFuente(const std::string& archivo) {
    return "<style>@font-face{font-family:\"Mia\";src:url(\"fuente://local/" + archivo +
           "\")}</style><p style=\"font-family:Mia,monospace;font-size:90px;margin:0;color:#000\">Hola Ág</p>";
}

TEST(FuentesEnUnRender, LaFuenteDelUsuarioSePinta) {
    ::unsetenv("XDG_DATA_DIRS");
    ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
    std::error_code ec;
    std::filesystem::remove_all(Fuentes::carpeta(), ec);
    ASSERT_EQ(Fuentes::anadir({"/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"}),
              "Añadidas 1 fuente de 1 familia: DejaVu Serif.");
    const std::string archivo = Fuentes::lista().at(0).archivo;

    Renderizador r;
    const auto pintar = [&](const std::string& html) {
        auto png = prueba::esperarTarea(r.png(html, 600, 160, 600, false), 60s);
        EXPECT_TRUE(png.has_value() && png->has_value());
        return png && *png ? pixeles(**png) : std::vector<std::uint8_t>{};
    };
    const auto propia = pintar(conFuente(archivo));
    const auto sinFichero = pintar(conFuente("no-existe.ttf"));
    const auto incrustada = pintar(Fuentes::incrustar(conFuente(archivo)));
    ASSERT_FALSE(propia.empty());
    EXPECT_NE(propia, sinFichero);
    EXPECT_EQ(propia, incrustada);
}

}  // namespace
}  // namespace sorvenia
