// A converted Figma frame drawn by the offscreen renderer: each kind of node
// shows its colour where the frame's layout puts it. The picture is kept in
// build/capturas/figma_marco.png for a person to look at.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "editor/gui/renderizador.h"
#include "esperar_bucle.h"
#include "foto_prueba.h"
#include "medios/figma_html.h"
#include "medios/figma_imagen.h"
#include "medios/figma_pinturas.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

json caja(double x, double y, double w, double h) { return {{"x", x}, {"y", y}, {"width", w}, {"height", h}}; }
json solido(double r, double g, double b) { return {{"type", "SOLID"}, {"color", {{"r", r}, {"g", g}, {"b", b}}}}; }
json nodo(const char* tipo, const char* nombre, json box, json fills = json::array()) {
    return {{"type", tipo}, {"name", nombre}, {"absoluteBoundingBox", box}, {"fills", fills}};
}

// A frame at (1000, 500) in the document, 400 × 300, holding one node of
// each kind the conversion draws differently.
json marcoDePrueba() {
    json m = nodo("FRAME", "Prueba", caja(1000, 500, 400, 300), json::array({solido(0.9, 0.9, 0.9)}));
    json degradado = nodo("RECTANGLE", "degradado", caja(1160, 520, 200, 60),
                          json::array({{{"type", "GRADIENT_LINEAR"},
                                        {"gradientHandlePositions", {{{"x", 0}, {"y", 0.5}}, {{"x", 1}, {"y", 0.5}}}},
                                        {"gradientStops",
                                         {{{"position", 0}, {"color", {{"r", 1}, {"g", 0}, {"b", 0}}}},
                                          {{"position", 1}, {"color", {{"r", 0}, {"g", 0}, {"b", 1}}}}}}}}));
    json borde = nodo("RECTANGLE", "borde", caja(1160, 620, 100, 60), json::array({solido(1, 1, 1)}));
    borde["strokes"] = json::array({solido(0, 0, 1)});
    borde["strokeWeight"] = 6;
    json foto =
        nodo("RECTANGLE", "foto", caja(1280, 620, 100, 60), json::array({{{"type", "IMAGE"}, {"imageRef", "foto"}}}));
    json icono = nodo("VECTOR", "icono", caja(1020, 720, 60, 60));
    icono["id"] = "1:1";
    json oculto = nodo("RECTANGLE", "oculto", caja(1000, 500, 400, 300), json::array({solido(1, 0, 1)}));
    oculto["visible"] = false;
    json texto = nodo("TEXT", "texto", caja(1120, 730, 200, 30), json::array({solido(0, 0, 0)}));
    texto["characters"] = "Hola <Figma>";
    texto["style"] = {{"fontFamily", "DejaVu Sans"}, {"fontSize", 24}, {"fontWeight", 700}};
    m["children"] =
        json::array({nodo("RECTANGLE", "rojo", caja(1020, 520, 100, 60), json::array({solido(1, 0, 0)})), degradado,
                     nodo("ELLIPSE", "verde", caja(1020, 620, 80, 80), json::array({solido(0, 1, 0)})), borde, foto,
                     icono, oculto, texto});
    return m;
}

// A one-colour picture, encoded as PNG.
std::string imagenAmarilla(int ancho, int alto) {
    auto p = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, ancho, alto));
    gdk_pixbuf_fill(p.get(), 0xffd700ff);
    gchar* bytes = nullptr;
    gsize largo = 0;
    gdk_pixbuf_save_to_buffer(p.get(), &bytes, &largo, "png", nullptr, nullptr);
    std::string s(bytes, largo);
    g_free(bytes);
    return s;
}

struct Muestra {
    const char* que;
    int x, y;
    int r, g, b;
};

TEST(FigmaEnUnRender, CadaNodoSePintaDondeLoPoneElMarco) {
    ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
    const json marco = marcoDePrueba();
    const auto foto = Figma::reducir(imagenAmarilla(3000, 1800));
    ASSERT_TRUE(foto);
    const std::map<std::string, std::string> svgs = {
        {"1:1",
         "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"60\" height=\"60\" "
         "viewBox=\"0 0 60 60\"><rect width=\"60\" height=\"60\" fill=\"#800080\"/></svg>"}};
    const std::map<std::string, std::string> imagenes = {{"foto", *foto}};
    std::set<std::string> fuentes;
    const Figma::R r = Figma::rect(marco);
    std::string hijos;
    for (const json& hijo : marco["children"]) hijos += Figma::html(hijo, r, svgs, imagenes, fuentes);
    const std::string html = "<div style=\"position:relative;width:400px;height:300px;overflow:hidden;background:" +
                             Figma::relleno(marco["fills"], imagenes).value_or("#ffffff") + "\">" + hijos + "</div>";

    Renderizador renderizador;
    auto png = prueba::esperarTarea(renderizador.png(html, 400, 300, 400, false), 60s);
    ASSERT_TRUE(png && *png);
    ASSERT_TRUE(prueba::guardarCaptura("figma_marco.png", **png));

    auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    gdk_pixbuf_loader_write(cargador.get(), (*png)->data(), (*png)->size(), nullptr);
    gdk_pixbuf_loader_close(cargador.get(), nullptr);
    GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(cargador.get());
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(gdk_pixbuf_get_width(p), 400);
    const guint8* px = gdk_pixbuf_read_pixels(p);
    const int paso = gdk_pixbuf_get_rowstride(p);
    const int canales = gdk_pixbuf_get_n_channels(p);

    const Muestra muestras[] = {
        {"fondo del marco", 390, 10, 230, 230, 230},      {"rectángulo rojo", 70, 50, 255, 0, 0},
        {"degradado a la izquierda", 163, 50, 250, 0, 5}, {"degradado a la derecha", 357, 50, 5, 0, 250},
        {"centro de la elipse", 60, 160, 0, 255, 0},      {"esquina de la caja de la elipse", 22, 122, 230, 230, 230},
        {"trazo interior", 162, 150, 0, 0, 255},          {"dentro del trazo", 210, 150, 255, 255, 255},
        {"imagen reducida", 330, 150, 255, 215, 0},       {"vector desde su SVG", 50, 250, 128, 0, 128},
    };
    for (const auto& m : muestras) {
        const guint8* c = px + m.y * paso + m.x * canales;
        EXPECT_NEAR(c[0], m.r, 12) << m.que;
        EXPECT_NEAR(c[1], m.g, 12) << m.que;
        EXPECT_NEAR(c[2], m.b, 12) << m.que;
    }
}

}  // namespace
}  // namespace sorvenia
