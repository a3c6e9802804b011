#include "editor/gui/renderizador.h"

#include <gtest/gtest.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <vector>

#include "esperar_bucle.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/objeto_g.h"
#include "video_prueba.h"

namespace sorvenia {
namespace {

using namespace std::chrono_literals;
using Imagen = Renderizador::Imagen;

class RenderizadorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()); }
};

struct Decodificada {
    Ref<GdkPixbuf> pixbuf;
    int ancho() const { return gdk_pixbuf_get_width(pixbuf.get()); }
    int alto() const { return gdk_pixbuf_get_height(pixbuf.get()); }
    // Red, green and blue of the pixel at (x, y).
    std::vector<int> color(int x, int y) const {
        const guchar* p = gdk_pixbuf_read_pixels(pixbuf.get()) + y * gdk_pixbuf_get_rowstride(pixbuf.get()) +
                          x * gdk_pixbuf_get_n_channels(pixbuf.get());
        return {p[0], p[1], p[2]};
    }
};

Decodificada decodificar(const std::vector<std::uint8_t>& bytes) {
    Ref<GdkPixbufLoader> cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    gdk_pixbuf_loader_write(cargador.get(), bytes.data(), bytes.size(), nullptr);
    gdk_pixbuf_loader_close(cargador.get(), nullptr);
    return {Ref<GdkPixbuf>::compartir(gdk_pixbuf_loader_get_pixbuf(cargador.get()))};
}

bool cerca(const std::vector<int>& a, const std::vector<int>& b) {
    for (std::size_t i = 0; i < 3; ++i)
        if (std::abs(a[i] - b[i]) > 24) return false;
    return true;
}

const std::string bandas =
    R"(<div style="height:150px;background:#f00"></div><div style="height:150px;background:#00f"></div>)";

TEST_F(RenderizadorTest, PngYJpegAlAnchoPedido) {
    Renderizador r;
    const auto png = prueba::esperarTarea(r.png(bandas, 400, 300, 200, false), 40s);
    ASSERT_TRUE(png.has_value() && png->has_value());
    const std::vector<std::uint8_t> firmaPng{0x89, 'P', 'N', 'G'};
    ASSERT_TRUE(std::equal(firmaPng.begin(), firmaPng.end(), (*png)->begin()));
    const auto imagen = decodificar(**png);
    ASSERT_TRUE(imagen.pixbuf);
    EXPECT_EQ(imagen.ancho(), 200);
    EXPECT_EQ(imagen.alto(), 150);
    EXPECT_TRUE(cerca(imagen.color(100, 30), {255, 0, 0}));
    EXPECT_TRUE(cerca(imagen.color(100, 120), {0, 0, 255}));

    const auto jpeg = prueba::esperarTarea(r.png(bandas, 400, 300, 100, true), 40s);
    ASSERT_TRUE(jpeg.has_value() && jpeg->has_value());
    EXPECT_EQ((**jpeg)[0], 0xFF);
    EXPECT_EQ((**jpeg)[1], 0xD8);
    EXPECT_EQ(decodificar(**jpeg).ancho(), 100);
}

// Renders one after another share a page: each shows its own document laid
// out at its own viewport, never the size or the content of the one before.
TEST_F(RenderizadorTest, CadaRenderConSuTamanoYSuDocumento) {
    Renderizador r;
    const auto mitades = [](const std::string& arriba, const std::string& abajo) {
        return "<div style=\"height:50vh;background:" + arriba +
               "\"></div><div style=\"height:50vh;background:" + abajo + "\"></div>";
    };
    const struct {
        double ancho, alto;
        int salida;
        std::string arriba, abajo;
        std::vector<int> rgbArriba, rgbAbajo;
    } casos[] = {
        {400, 300, 200, "#f00", "#00f", {255, 0, 0}, {0, 0, 255}},
        {300, 600, 150, "#0f0", "#000", {0, 255, 0}, {0, 0, 0}},
        {1440, 900, 1000, "#00f", "#f00", {0, 0, 255}, {255, 0, 0}},
        {390, 844, 390, "#000", "#0f0", {0, 0, 0}, {0, 255, 0}},
        {400, 300, 200, "#f00", "#00f", {255, 0, 0}, {0, 0, 255}},
    };
    for (const auto& c : casos) {
        const auto png = prueba::esperarTarea(r.png(mitades(c.arriba, c.abajo), c.ancho, c.alto, c.salida, false), 40s);
        ASSERT_TRUE(png.has_value() && png->has_value()) << c.ancho << "x" << c.alto;
        const auto imagen = decodificar(**png);
        ASSERT_TRUE(imagen.pixbuf);
        const int alto = static_cast<int>(std::lround(c.alto * c.salida / c.ancho));
        EXPECT_EQ(imagen.ancho(), c.salida);
        EXPECT_EQ(imagen.alto(), alto);
        // Just inside each half, near the line between them and the bottom:
        // a viewport of another height puts the line elsewhere.
        for (const int y : {alto / 2 - 3, 2})
            EXPECT_TRUE(cerca(imagen.color(c.salida / 2, y), c.rgbArriba)) << c.ancho << "x" << c.alto << " y=" << y;
        for (const int y : {alto / 2 + 3, alto - 2})
            EXPECT_TRUE(cerca(imagen.color(c.salida / 2, y), c.rgbAbajo)) << c.ancho << "x" << c.alto << " y=" << y;
    }
}

TEST_F(RenderizadorTest, TamanosFueraDeRangoNoSePintan) {
    Renderizador r;
    const struct {
        double ancho, alto;
        int salida;
    } casos[] = {{0, 300, 100}, {-5, 300, 100}, {100000, 300, 100}, {400, 0, 100}, {400, 300, 0}, {400, 300, 20000}};
    for (const auto& c : casos) {
        const auto resultado = prueba::esperarTarea(r.png(bandas, c.ancho, c.alto, c.salida, false), 5s);
        ASSERT_TRUE(resultado.has_value());
        EXPECT_FALSE(resultado->has_value()) << c.ancho << "x" << c.alto << " -> " << c.salida;
    }
}

// Renders asked for together finish in the order they were asked for, and
// a page that never lets go is given up without holding up the next one.
TEST_F(RenderizadorTest, EnOrdenYSinQuedarseColgado) {
    Renderizador r(LimitesRender{2, 1, 4});
    std::vector<int> orden;
    auto pintarYAnotar = [&](std::string html, int marca) -> Tarea<Imagen> {
        auto imagen = co_await r.png(std::move(html), 300, 200, 100, false);
        orden.push_back(marca);
        co_return imagen;
    };
    prueba::Pendiente<Imagen> colgada(pintarYAnotar("<script>for(;;){}</script>", 1));
    prueba::Pendiente<Imagen> primera(pintarYAnotar(bandas, 2));
    prueba::Pendiente<Imagen> segunda(pintarYAnotar(bandas, 3));
    const auto inicio = std::chrono::steady_clock::now();
    const auto a = colgada.esperar(40s), b = primera.esperar(40s), c = segunda.esperar(40s);
    ASSERT_TRUE(a && b && c);
    EXPECT_FALSE(a->has_value());
    EXPECT_TRUE(b->has_value());
    EXPECT_TRUE(c->has_value());
    EXPECT_EQ(orden, (std::vector<int>{1, 2, 3}));
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, 25s);
}

// A recording refuses sizes it cannot make, and gives up on a page that
// never lets go within the limits; either way nothing is written where the
// video was to go, and a picture asked for meanwhile is not held up.
TEST_F(RenderizadorTest, VideoImposibleOColgadoNoDejaArchivo) {
    const std::filesystem::path carpeta =
        std::filesystem::temp_directory_path() / ("renderizador-video-" + std::to_string(::getpid()));
    std::filesystem::remove_all(carpeta);
    std::filesystem::create_directories(carpeta);
    Renderizador r(LimitesRender{2, 1, 4});
    const struct {
        std::int64_t ancho, alto, duracionMs, fps;
    } imposibles[] = {{1, 300, 1000, 30}, {400, 300, 1000, 0}, {400, 300, 0, 30}, {100000, 300, 1000, 30}};
    for (const auto& c : imposibles) {
        const auto hecho = prueba::esperarTarea(
            r.video(bandas, c.ancho, c.alto, c.duracionMs, c.fps, carpeta / "v.mp4", nullptr), 5s);
        ASSERT_TRUE(hecho.has_value());
        ASSERT_FALSE(*hecho) << c.ancho << "x" << c.alto << " " << c.duracionMs << " ms " << c.fps << " fps";
        EXPECT_EQ(hecho->fallo().mensaje, "No se puede escribir el vídeo.");
        EXPECT_EQ(hecho->fallo().codigo, "video");
    }

    const auto inicio = std::chrono::steady_clock::now();
    prueba::Pendiente<Hecho> colgado(
        r.video("<script>for(;;){}</script>", 300, 200, 1000, 30, carpeta / "v.mp4", nullptr));
    prueba::Pendiente<Imagen> foto(r.png(bandas, 300, 200, 100, false));
    const auto f = foto.esperar(40s);
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->has_value());
    const auto v = colgado.esperar(40s);
    ASSERT_TRUE(v);
    ASSERT_FALSE(*v);
    EXPECT_EQ(v->fallo().codigo, "video");
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, 25s);
    // The temporary file goes once the encoder's threads have stopped.
    EXPECT_TRUE(prueba::esperarHasta([&] { return std::filesystem::is_empty(carpeta); }, 5s));
    std::filesystem::remove_all(carpeta);
}

// Frames are taken by several pages at once and must reach the video in
// their order, each showing its own time: the red steps by 25 every 100 ms
// (frame i at 10 fps: red 25 i). Progress is heard once a frame, rising to 1.
TEST_F(RenderizadorTest, VideoFotogramasEnSuOrden) {
    const std::filesystem::path carpeta =
        std::filesystem::temp_directory_path() / ("renderizador-orden-" + std::to_string(::getpid()));
    std::filesystem::remove_all(carpeta);
    std::filesystem::create_directories(carpeta);
    const std::string html =
        "<style>body{margin:0}.paso{position:absolute;left:0;top:0;width:320px;height:240px;"
        "animation:rojo 1000ms steps(10,end) -50ms both}"
        "@keyframes rojo{from{background:rgb(0,0,0)}to{background:rgb(250,0,0)}}</style>"
        "<div class=\"paso\"></div>";
    Renderizador r;
    std::vector<double> avance;
    const auto hecho = prueba::esperarTarea(
        r.video(html, 320, 240, 1000, 10, carpeta / "orden.mp4", [&](double f) { avance.push_back(f); }), 60s);
    ASSERT_TRUE(hecho.has_value());
    ASSERT_TRUE(*hecho) << (*hecho).fallo().mensaje;
    ASSERT_EQ(avance.size(), 10u);
    EXPECT_TRUE(std::is_sorted(avance.begin(), avance.end()));
    EXPECT_DOUBLE_EQ(avance.back(), 1.0);

    const auto archivo = carpeta / "orden.mp4";
    const auto video = prueba::leerVideo(archivo);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->fotogramas, 10);
    // Sought at its exact time, ffmpeg gives frame i (the first frame at or
    // after the time asked for).
    for (int i = 0; i < 10; ++i) {
        const auto color = prueba::colorEnVideo(archivo, i / 10.0, 160, 120);
        ASSERT_TRUE(color) << i;
        EXPECT_NEAR((*color)[0], 25 * i, 8) << "frame " << i;
    }
    std::filesystem::remove_all(carpeta);
}

TEST(Documento, EnvolturaDelHtml) {
    const std::string d = Renderizador::documento("<p>hola</p>", "a<b<c", false);
    EXPECT_EQ(d.rfind("<!doctype html><html lang=\"es\"><head><meta charset=\"utf-8\">", 0), 0u);
    EXPECT_NE(d.find("<title>abc</title>"), std::string::npos);
    EXPECT_NE(d.find("url(fuentes/inter.woff2)"), std::string::npos);
    EXPECT_NE(d.find("</head><body><p>hola</p></body></html>"), std::string::npos);
    EXPECT_EQ(d.find("<script"), std::string::npos);
    EXPECT_NE(Renderizador::documento("", "", false).find("<title></title>"), std::string::npos);
    const std::string web = Renderizador::documento("x", "", true);
    EXPECT_NE(web.find("family=Inter:wght@100..900&family=JetBrains+Mono:wght@100..800&display=swap"),
              std::string::npos);
    EXPECT_EQ(web.find("@font-face"), std::string::npos);
}

}  // namespace
}  // namespace sorvenia
