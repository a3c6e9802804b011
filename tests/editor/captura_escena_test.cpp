// A design's picture drawn offscreen (the agents' screenshots, thumbnails,
// picture exports) shows what the editor shows: the design's scene posters,
// read through "escena://" from the folder of the design being pictured
// (the one named, else the one open in the window), and the user's own
// fonts. The picture is kept in build/capturas/ for a person to look at.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "esperar_bucle.h"
#include "foto_prueba.h"
#include "centro/centro.h"
#include "editor/escenas.h"
#include "editor/gui/renderizador.h"
#include "editor_doble.h"
#include "medios/fuentes.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Foto {
    Ref<GdkPixbuf> pixbuf;
    std::vector<std::uint8_t> png;
    // Red, green and blue at (x, y).
    std::array<int, 3> color(int x, int y) const {
        const guchar* p = gdk_pixbuf_read_pixels(pixbuf.get()) + y * gdk_pixbuf_get_rowstride(pixbuf.get()) +
                          x * gdk_pixbuf_get_n_channels(pixbuf.get());
        return {p[0], p[1], p[2]};
    }
    // How many pixels of the rectangle are nearly black.
    int oscuros(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (const auto c = color(x, y); c[0] < 80 && c[1] < 80 && c[2] < 80) ++n;
        return n;
    }
};

bool verde(const std::array<int, 3>& c) { return c[0] < 60 && c[1] > 150 && c[2] < 60; }

class CapturaConEscenaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A data folder of this program's own: its scenes and font library
        // are not another test's.
        raiz_ = fs::temp_directory_path() / ("captura-escena-" + std::to_string(::getpid()));
        fs::create_directories(raiz_);
        ::setenv("HOME", raiz_.c_str(), 1);
        ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
        ASSERT_EQ(Fuentes::anadir({"/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"}),
                  "Añadidas 1 fuente de 1 familia: DejaVu Serif.");
        // The design's scene: its poster is a plain green picture.
        const fs::path carpeta = Escenas::carpeta("diseno-con-escena");
        fs::create_directories(carpeta);
        auto poster = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 64, 36));
        gdk_pixbuf_fill(poster.get(), 0x00c800ff);
        ASSERT_TRUE(gdk_pixbuf_save(poster.get(), (carpeta / "ola.jpg").c_str(), "jpeg", nullptr, nullptr));
    }
    static void TearDownTestSuite() { fs::remove_all(raiz_); }

    static std::string html(const std::string& archivoFuente) {
        return "<style>@font-face{font-family:\"Mia\";src:url(\"fuente://local/" + archivoFuente +
               "\")}body{background:#fff}</style>"
               "<div style=\"display:flex;gap:0\">"
               "<img src=\"escenas/ola.jpg\" style=\"width:300px;height:160px\">"
               "<video data-escena=\"ola\" src=\"escenas/ola.mp4\" poster=\"escenas/ola.jpg\" "
               "style=\"width:300px;height:160px;object-fit:fill\"></video></div>"
               "<p style=\"font-family:Mia,monospace;font-size:90px;margin:0;color:#000\">Hola Ág</p>";
    }

    static Foto pintar(Renderizador& r, const std::string& html, std::optional<std::string> doc) {
        auto png = prueba::esperarTarea(r.png(html, 600, 300, 600, false, std::move(doc)), 60s);
        EXPECT_TRUE(png.has_value() && png->has_value());
        if (!png || !*png) return {};
        auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
        gdk_pixbuf_loader_write(cargador.get(), (*png)->data(), (*png)->size(), nullptr);
        gdk_pixbuf_loader_close(cargador.get(), nullptr);
        return {Ref<GdkPixbuf>::compartir(gdk_pixbuf_loader_get_pixbuf(cargador.get())), **png};
    }

    static fs::path raiz_;
};

fs::path CapturaConEscenaTest::raiz_;

TEST_F(CapturaConEscenaTest, ComoEnElEditor) {
    Renderizador r;
    const std::string archivo = Fuentes::lista().at(0).archivo;
    const Foto foto = pintar(r, html(archivo), "diseno-con-escena");
    ASSERT_TRUE(foto.pixbuf);
    std::ofstream(prueba::rutaCaptura("captura_escena_fuente.png"), std::ios::binary)
        .write(reinterpret_cast<const char*>(foto.png.data()), static_cast<std::streamsize>(foto.png.size()));
    EXPECT_EQ(r.docCaptura(), std::optional<std::string>("diseno-con-escena"));

    // The poster, as an image and as the video's poster.
    EXPECT_TRUE(verde(foto.color(150, 80))) << foto.color(150, 80)[0] << "," << foto.color(150, 80)[1];
    EXPECT_TRUE(verde(foto.color(450, 80))) << foto.color(450, 80)[0] << "," << foto.color(450, 80)[1];

    // The text is drawn in the user's font: the same words in the fallback
    // font cover another number of pixels.
    const Foto sinFuente = pintar(r, html("no-existe.ttf"), "diseno-con-escena");
    ASSERT_TRUE(sinFuente.pixbuf);
    const int propios = foto.oscuros(0, 170, 600, 300);
    const int ajenos = sinFuente.oscuros(0, 170, 600, 300);
    EXPECT_GT(propios, 2000);
    EXPECT_GT(std::abs(propios - ajenos), propios / 10) << propios << " " << ajenos;
}

// A scene made again under the same name (the agent changed it) shows its
// new picture in the next render, though the renderer keeps its page.
TEST_F(CapturaConEscenaTest, EscenaRehechaSeVeNueva) {
    const fs::path carpeta = Escenas::carpeta("diseno-rehecho");
    fs::create_directories(carpeta);
    const auto poster = [&](guint32 rgba) {
        auto imagen = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 64, 36));
        gdk_pixbuf_fill(imagen.get(), rgba);
        ASSERT_TRUE(gdk_pixbuf_save(imagen.get(), (carpeta / "ola.jpg").c_str(), "jpeg", nullptr, nullptr));
    };
    Renderizador r;
    poster(0x00c800ff);
    const Foto antes = pintar(r, html("x.ttf"), "diseno-rehecho");
    ASSERT_TRUE(antes.pixbuf);
    EXPECT_TRUE(verde(antes.color(150, 80)));
    poster(0xd00000ff);
    const Foto despues = pintar(r, html("x.ttf"), "diseno-rehecho");
    ASSERT_TRUE(despues.pixbuf);
    for (const int x : {150, 450}) {
        const auto c = despues.color(x, 80);
        EXPECT_TRUE(c[0] > 150 && c[1] < 60 && c[2] < 60) << x << ": " << c[0] << "," << c[1] << "," << c[2];
    }
}

TEST_F(CapturaConEscenaTest, SinDisenoNombradoElAbiertoEnLaVentana) {
    Renderizador r;
    auto abierto = std::make_shared<prueba::EditorDoble>("clave", "diseno-con-escena");
    Centro::compartido().editor = abierto;
    const Foto delAbierto = pintar(r, html("x.ttf"), std::nullopt);
    ASSERT_TRUE(delAbierto.pixbuf);
    EXPECT_EQ(r.docCaptura(), std::optional<std::string>("diseno-con-escena"));
    EXPECT_TRUE(verde(delAbierto.color(150, 80)));

    // Another design's folder has no such scene; nor does an unsaved one.
    for (const std::optional<std::string>& otro :
         {std::optional<std::string>("otro-diseno"), std::optional<std::string>()}) {
        Centro::compartido().editor = std::make_shared<prueba::EditorDoble>("clave", otro);
        const Foto ajeno = pintar(r, html("x.ttf"), std::nullopt);
        ASSERT_TRUE(ajeno.pixbuf);
        EXPECT_FALSE(verde(ajeno.color(150, 80))) << otro.value_or("sin guardar");
    }
    Centro::compartido().editor.reset();
}

}  // namespace
}  // namespace sorvenia
