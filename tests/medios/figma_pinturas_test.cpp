// Figma colours and paints as CSS text.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "medios/figma_pinturas.h"

using nlohmann::json;
namespace Figma = sorvenia::Figma;

namespace {

struct CasoColor {
    const char* nombre;
    json c;
    double opacidad;
    std::string esperado;
};

TEST(FigmaColor, TablaDeColores) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const CasoColor casos[] = {
        {"naranja opaco", {{"r", 1}, {"g", 0.5}, {"b", 0}}, 1, "#ff8000"},
        {"naranja a media opacidad", {{"r", 1}, {"g", 0.5}, {"b", 0}}, 0.5, "rgba(255,128,0,0.500)"},
        {"alfa del color por la opacidad", {{"r", 0}, {"g", 0}, {"b", 1}, {"a", 0.5}}, 0.5, "rgba(0,0,255,0.250)"},
        {"alfa casi uno es opaco", {{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0.9995}}, 1, "#000000"},
        {"canales ausentes", json::object(), 1, "#000000"},
        {"sin color", json(), 1, "transparent"},
        {"un color que no es objeto", json::array({1, 0, 0}), 1, "transparent"},
        {"canales de texto", {{"r", "1"}, {"g", true}, {"b", 0}}, 1, "#000000"},
        {"canales absurdos se acotan", {{"r", 1e20}, {"g", -5}, {"b", 3}}, 1, "#ff00ff"},
        {"alfa absurdo se acota", {{"r", 1}, {"g", 1}, {"b", 1}, {"a", -7}}, 1, "rgba(255,255,255,0.000)"},
        {"opacidad enorme es opaca", {{"r", 1}, {"g", 1}, {"b", 1}}, 1e300, "#ffffff"},
        {"opacidad no numérica es opaca", {{"r", 1}, {"g", 1}, {"b", 1}}, nan, "#ffffff"},
    };
    for (const auto& c : casos) EXPECT_EQ(Figma::color(c.c, c.opacidad), c.esperado) << c.nombre;
}

TEST(FigmaColor, ElLocaleDelProcesoNoCambiaLaComa) {
    const std::string antes = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "es_ES.UTF-8") == nullptr) GTEST_SKIP() << "no es_ES.UTF-8 locale";
    const std::string texto = Figma::color({{"r", 1}, {"g", 0.5}, {"b", 0}}, 0.5);
    std::setlocale(LC_ALL, antes.c_str());
    EXPECT_EQ(texto, "rgba(255,128,0,0.500)");
}

TEST(FigmaNum, SoloNumerosJson) {
    EXPECT_EQ(Figma::num(json(3)), 3.0);
    EXPECT_EQ(Figma::num(json(2.5)), 2.5);
    EXPECT_EQ(Figma::num(json(-4)), -4.0);
    EXPECT_EQ(Figma::num(json("3")), std::nullopt);
    EXPECT_EQ(Figma::num(json(true)), std::nullopt);
    EXPECT_EQ(Figma::num(json()), std::nullopt);
    EXPECT_EQ(Figma::num(json::array({1})), std::nullopt);
}

json solido(double r, double g, double b) { return {{"type", "SOLID"}, {"color", {{"r", r}, {"g", g}, {"b", b}}}}; }

json gradiente(const char* tipo, json asas = json()) {
    json p = {{"type", tipo},
              {"gradientStops",
               {{{"position", 0}, {"color", {{"r", 1}, {"g", 0}, {"b", 0}}}},
                {{"position", 1}, {"color", {{"r", 0}, {"g", 0}, {"b", 1}}}}}}};
    if (!asas.is_null()) p["gradientHandlePositions"] = asas;
    return p;
}

json asas(double x0, double y0, double x1, double y1) {
    return {{{"x", x0}, {"y", y0}}, {{"x", x1}, {"y", y1}}, {{"x", 0}, {"y", 0}}};
}

json oculta(json p) {
    p["visible"] = false;
    return p;
}

json imagen(const char* ref, const char* modo = nullptr) {
    json p = {{"type", "IMAGE"}, {"imageRef", ref}};
    if (modo) p["scaleMode"] = modo;
    return p;
}

struct CasoRelleno {
    const char* nombre;
    json pinturas;
    std::optional<std::string> esperado;
};

TEST(FigmaRelleno, TablaDePinturas) {
    const std::string rojo = "linear-gradient(#ff0000,#ff0000)";
    const std::string azul = "linear-gradient(#0000ff,#0000ff)";
    const std::string paradas = "#ff0000 0%,#0000ff 100%";
    json translucida = solido(1, 0, 0);
    translucida["opacity"] = 0.5;
    json gradienteTenue = gradiente("GRADIENT_RADIAL");
    gradienteTenue["opacity"] = 0.5;
    json unaParada = {{"type", "GRADIENT_RADIAL"},
                      {"gradientStops", {{{"position", 0.333}, {"color", {{"r", 0}, {"g", 1}, {"b", 0}}}}}}};
    json sinParadas = {{"type", "GRADIENT_LINEAR"}, {"gradientStops", json::array()}};
    const CasoRelleno casos[] = {
        {"un sólido es el color", json::array({solido(1, 0, 0)}), "#ff0000"},
        {"dos sólidos, el último primero", json::array({solido(1, 0, 0), solido(0, 0, 1)}), azul + "," + rojo},
        {"una pintura oculta se omite", json::array({solido(1, 0, 0), oculta(solido(0, 0, 1))}), "#ff0000"},
        {"solo pinturas ocultas", json::array({oculta(solido(1, 0, 0))}), std::nullopt},
        {"lista vacía", json::array(), std::nullopt},
        {"no es una lista", json{{"type", "SOLID"}}, std::nullopt},
        {"sólido translúcido queda en dos paradas", json::array({translucida}),
         "linear-gradient(rgba(255,0,0,0.500),rgba(255,0,0,0.500))"},
        {"lineal hacia abajo", json::array({gradiente("GRADIENT_LINEAR", asas(0.5, 0, 0.5, 1))}),
         "linear-gradient(180deg," + paradas + ")"},
        {"lineal hacia la derecha", json::array({gradiente("GRADIENT_LINEAR", asas(0, 0.5, 1, 0.5))}),
         "linear-gradient(90deg," + paradas + ")"},
        {"lineal hacia arriba", json::array({gradiente("GRADIENT_LINEAR", asas(0.5, 1, 0.5, 0))}),
         "linear-gradient(0deg," + paradas + ")"},
        {"lineal en diagonal", json::array({gradiente("GRADIENT_LINEAR", asas(0, 0, 1, 1))}),
         "linear-gradient(135deg," + paradas + ")"},
        {"lineal hacia la izquierda", json::array({gradiente("GRADIENT_LINEAR", asas(1, 0.5, 0, 0.5))}),
         "linear-gradient(-90deg," + paradas + ")"},
        {"lineal sin asas va hacia abajo", json::array({gradiente("GRADIENT_LINEAR")}),
         "linear-gradient(180deg," + paradas + ")"},
        {"lineal con asas absurdas", json::array({gradiente("GRADIENT_LINEAR", asas(1e308, 0, -1e308, 1))}),
         "linear-gradient(-90deg," + paradas + ")"},
        {"radial", json::array({gradiente("GRADIENT_RADIAL")}), "radial-gradient(" + paradas + ")"},
        {"angular se dibuja radial", json::array({gradiente("GRADIENT_ANGULAR")}), "radial-gradient(" + paradas + ")"},
        {"diamante se dibuja radial", json::array({gradiente("GRADIENT_DIAMOND")}), "radial-gradient(" + paradas + ")"},
        {"opacidad de la pintura en las paradas", json::array({gradienteTenue}),
         "radial-gradient(rgba(255,0,0,0.500) 0%,rgba(0,0,255,0.500) 100%)"},
        {"una sola parada se repite", json::array({unaParada}), "radial-gradient(#00ff00 33%,#00ff00 33%)"},
        {"sin paradas no hay capa", json::array({sinParadas}), std::nullopt},
        {"imagen cubre", json::array({imagen("abc")}), "url(data:image/png;base64,QUJD) center/cover no-repeat"},
        {"imagen ajustada", json::array({imagen("abc", "FIT")}),
         "url(data:image/png;base64,QUJD) center/contain no-repeat"},
        {"imagen sin dirección", json::array({imagen("otra")}), std::nullopt},
        {"imagen cuya dirección rompería el CSS", json::array({imagen("mala")}), std::nullopt},
        {"imagen sobre un sólido", json::array({solido(1, 0, 0), imagen("abc")}),
         "url(data:image/png;base64,QUJD) center/cover no-repeat," + rojo},
        {"tipo desconocido", json::array({{{"type", "EMOJI"}}}), std::nullopt},
        {"pinturas que no son objetos", json::array({1, "SOLID", nullptr}), std::nullopt},
    };
    const std::map<std::string, std::string> imagenes = {
        {"abc", "data:image/png;base64,QUJD"},
        {"mala", "data:image/png;base64,x) ;background:url(https://fuera.example/x"},
    };
    for (const auto& c : casos) EXPECT_EQ(Figma::relleno(c.pinturas, imagenes), c.esperado) << c.nombre;
}

}  // namespace
