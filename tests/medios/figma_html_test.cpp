// Figma nodes as absolutely positioned HTML: geometry, text styles, boxes,
// strokes, effects, vectors and images, and trees that are hostile.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "medios/figma_html.h"

using nlohmann::json;
namespace Figma = sorvenia::Figma;
using Mapa = std::map<std::string, std::string>;

namespace {

json caja(double x, double y, double w, double h) { return {{"x", x}, {"y", y}, {"width", w}, {"height", h}}; }

json nodo(const char* tipo, const char* nombre, json box = caja(0, 0, 10, 10)) {
    return {{"type", tipo}, {"name", nombre}, {"absoluteBoundingBox", box}};
}

json solido(double r, double g, double b) { return {{"type", "SOLID"}, {"color", {{"r", r}, {"g", g}, {"b", b}}}}; }

std::size_t veces(const std::string& texto, const std::string& trozo) {
    std::size_t n = 0;
    for (auto p = texto.find(trozo); p != std::string::npos; p = texto.find(trozo, p + 1)) ++n;
    return n;
}

struct Conversion {
    Mapa svgs;
    Mapa imagenes;
    std::set<std::string> fuentes;
    std::string operator()(const json& n, Figma::R padre = {}) {
        return Figma::html(n, padre, svgs, imagenes, fuentes);
    }
};

TEST(FigmaFmt, TablaDeNumeros) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double x;
        const char* esperado;
    } casos[] = {
        {12.0, "12"},
        {12.5, "12.5"},
        {1.004, "1"},
        {2.25, "2.25"},
        {0.1 + 0.2, "0.3"},
        {9.999, "10"},
        {-3.0, "-3"},
        {-0.001, "0"},
        {-2.5, "-2.5"},
        {1e15, "1000000000000000"},
        {1e20, "100000000000000000000"},
        {-1e20, "-100000000000000000000"},
        {std::numeric_limits<double>::quiet_NaN(), "0"},
        {inf, "0"},
        {-inf, "0"},
    };
    for (const auto& c : casos) EXPECT_EQ(Figma::fmt(c.x), c.esperado) << c.x;
}

TEST(FigmaFmt, ElLocaleDelProcesoNoCambiaElPunto) {
    const std::string antes = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "es_ES.UTF-8") == nullptr) GTEST_SKIP() << "no es_ES.UTF-8 locale";
    const std::string texto = Figma::fmt(12.5);
    std::setlocale(LC_ALL, antes.c_str());
    EXPECT_EQ(texto, "12.5");
}

TEST(FigmaEsc, EscapaEnOrden) {
    EXPECT_EQ(Figma::esc("a<b> & \"c\" 'd'"), "a&lt;b&gt; &amp; &quot;c&quot; 'd'");
    EXPECT_EQ(Figma::esc("&lt;"), "&amp;lt;");
    EXPECT_EQ(Figma::esc(""), "");
}

TEST(FigmaRect, CajaAcotada) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* nombre;
        json n;
        Figma::R esperado;
    } casos[] = {
        {"caja normal", {{"absoluteBoundingBox", caja(1.5, -2, 30, 40)}}, {1.5, -2, 30, 40}},
        {"sin caja", {{"type", "FRAME"}}, {}},
        {"valores ausentes", {{"absoluteBoundingBox", {{"x", 5}}}}, {5, 0, 0, 0}},
        {"valores de texto", {{"absoluteBoundingBox", {{"x", "5"}, {"width", true}}}}, {}},
        {"enormes y negativos", {{"absoluteBoundingBox", caja(1e20, -1e20, -50, 1e300)}}, {1e6, -1e6, 0, 1e6}},
        {"no números", {{"absoluteBoundingBox", caja(nan, nan, nan, nan)}}, {}},
        {"el nodo no es objeto", json::array({1, 2}), {}},
    };
    for (const auto& c : casos) EXPECT_EQ(Figma::rect(c.n), c.esperado) << c.nombre;
}

TEST(FigmaEsVector, TablaDeTipos) {
    const json arcoParcial = {{"startingAngle", 0}, {"endingAngle", 3.14}, {"innerRadius", 0}};
    const json arcoCompleto = {{"startingAngle", 0}, {"endingAngle", 6.2832}, {"innerRadius", 0}};
    const json anillo = {{"startingAngle", 0}, {"endingAngle", 6.2832}, {"innerRadius", 0.5}};
    const json degradado = {{"type", "GRADIENT_LINEAR"}};
    const struct {
        const char* nombre;
        json n;
        bool esperado;
    } casos[] = {
        {"vector", {{"type", "VECTOR"}}, true},
        {"operación booleana", {{"type", "BOOLEAN_OPERATION"}}, true},
        {"estrella", {{"type", "STAR"}}, true},
        {"línea", {{"type", "LINE"}}, true},
        {"polígono", {{"type", "REGULAR_POLYGON"}}, true},
        {"rectángulo", {{"type", "RECTANGLE"}}, false},
        {"marco", {{"type", "FRAME"}}, false},
        {"texto", {{"type", "TEXT"}}, false},
        {"sin tipo", json::object(), false},
        {"tipo en minúsculas", {{"type", "vector"}}, false},
        {"elipse sólida", {{"type", "ELLIPSE"}, {"fills", {solido(1, 0, 0)}}}, false},
        {"elipse sin rellenos", {{"type", "ELLIPSE"}}, false},
        {"elipse con degradado", {{"type", "ELLIPSE"}, {"fills", {degradado}}}, true},
        {"elipse con relleno sin tipo", {{"type", "ELLIPSE"}, {"fills", {json::object()}}}, true},
        {"elipse sólida con arco parcial",
         {{"type", "ELLIPSE"}, {"fills", {solido(1, 0, 0)}}, {"arcData", arcoParcial}},
         true},
        {"elipse sólida con arco completo",
         {{"type", "ELLIPSE"}, {"fills", {solido(1, 0, 0)}}, {"arcData", arcoCompleto}},
         false},
        {"anillo", {{"type", "ELLIPSE"}, {"arcData", anillo}}, true},
        {"arco sin ángulos es completo", {{"type", "ELLIPSE"}, {"arcData", json::object()}}, false},
    };
    for (const auto& c : casos) EXPECT_EQ(Figma::esVector(c.n), c.esperado) << c.nombre;
}

TEST(FigmaHtml, NodoOcultoNoDaNadaNiSusHijos) {
    Conversion convertir;
    json marco = nodo("FRAME", "oculto");
    marco["visible"] = false;
    json texto = nodo("TEXT", "dentro");
    texto["style"] = {{"fontFamily", "Inter"}};
    marco["children"] = json::array({texto});
    EXPECT_EQ(convertir(marco), "");
    EXPECT_TRUE(convertir.fuentes.empty());

    json padre = nodo("FRAME", "padre");
    padre["children"] = json::array({marco, nodo("RECTANGLE", "visible")});
    const std::string html = convertir(padre);
    EXPECT_EQ(veces(html, "<div"), 2u) << html;
    EXPECT_EQ(html.find("oculto"), std::string::npos) << html;
}

TEST(FigmaHtml, TextoConTodosSusEstilos) {
    Conversion convertir;
    json t = nodo("TEXT", "Título \"<uno>\"", caja(15, 30, 100, 20));
    t["characters"] = "<b>Hola</b> & adiós\n";
    t["style"] = {{"fontFamily", "Inter"},
                  {"fontSize", 16},
                  {"fontWeight", 700},
                  {"lineHeightPx", 19.36},
                  {"letterSpacing", 0.5},
                  {"italic", true},
                  {"textAlignHorizontal", "CENTER"},
                  {"textCase", "UPPER"},
                  {"textDecoration", "UNDERLINE"},
                  {"textAutoResize", "WIDTH_AND_HEIGHT"}};
    t["fills"] = json::array({solido(1, 0, 0)});
    EXPECT_EQ(convertir(t, {10, 20, 500, 500}),
              "<p data-nombre=\"Título &quot;&lt;uno&gt;&quot;\" style=\"position:absolute;left:5px;top:10px;"
              "width:100px;height:20px;font-family:'Inter',system-ui,sans-serif;font-size:16px;font-weight:700;"
              "line-height:19.36px;letter-spacing:0.5px;margin:0;white-space:pre-wrap;font-style:italic;"
              "text-align:center;text-transform:uppercase;text-decoration:underline;color:#ff0000;"
              "width:max-content\">&lt;b&gt;Hola&lt;/b&gt; &amp; adiós\n</p>");
    EXPECT_EQ(convertir.fuentes, std::set<std::string>{"Inter"});
}

TEST(FigmaHtml, ValoresDeEstiloDelTexto) {
    const struct {
        json estilo;
        json rellenos;
        const char* esperado;
    } casos[] = {
        {{{"textAlignHorizontal", "RIGHT"}}, nullptr, "text-align:right"},
        {{{"textAlignHorizontal", "JUSTIFIED"}}, nullptr, "text-align:justify"},
        {{{"textCase", "LOWER"}}, nullptr, "text-transform:lowercase"},
        {{{"textCase", "TITLE"}}, nullptr, "text-transform:capitalize"},
        {{{"textDecoration", "STRIKETHROUGH"}}, nullptr, "text-decoration:line-through"},
        {json::object(), nullptr, "font-family:system-ui,sans-serif"},
        {{{"fontWeight", 450.6}}, nullptr, "font-weight:451"},
        {json::object(), json::array({{{"type", "SOLID"}, {"visible", false}, {"color", {{"r", 1}}}}, solido(0, 0, 1)}),
         "color:#0000ff"},
        {json::object(), json::array({{{"type", "SOLID"}, {"opacity", 0.5}, {"color", {{"r", 1}}}}}),
         "color:rgba(255,0,0,0.500)"},
    };
    for (const auto& c : casos) {
        Conversion convertir;
        json t = nodo("TEXT", "t");
        t["style"] = c.estilo;
        if (!c.rellenos.is_null()) t["fills"] = c.rellenos;
        const std::string html = convertir(t);
        EXPECT_NE(html.find(c.esperado), std::string::npos) << c.estilo.dump() << "\n" << html;
    }
}

TEST(FigmaHtml, ElNombreDeUnaFuenteNoInyectaCss) {
    Conversion convertir;
    json t = nodo("TEXT", "t");
    t["style"] = {{"fontFamily", "Inter',x;}</p><script>alert(1)</script>\"'"}};
    const std::string html = convertir(t);
    EXPECT_NE(html.find("font-family:'Interxpscriptalert1script',system-ui"), std::string::npos) << html;
    EXPECT_EQ(html.find("<script"), std::string::npos) << html;
    EXPECT_EQ(convertir.fuentes, std::set<std::string>{"Interxpscriptalert1script"});

    json acentos = nodo("TEXT", "t");
    acentos["style"] = {{"fontFamily", "  Noto Sans JP  "}};
    convertir(acentos);
    EXPECT_TRUE(convertir.fuentes.contains("Noto Sans JP"));
}

TEST(FigmaHtml, MarcoConAutoLayoutColocaASusHijosPorSusCajas) {
    Conversion convertir;
    json marco = nodo("FRAME", "fila", caja(100, 200, 300, 50));
    marco["layoutMode"] = "HORIZONTAL";
    marco["itemSpacing"] = 10;
    marco["paddingLeft"] = 8;
    marco["clipsContent"] = true;
    marco["fills"] = json::array({solido(1, 1, 1)});
    marco["cornerRadius"] = 12;
    json a = nodo("RECTANGLE", "a", caja(108, 210, 40, 30));
    json b = nodo("RECTANGLE", "b", caja(158, 210, 40, 30));
    json c = nodo("RECTANGLE", "c", caja(168, 215, 5.5, 5.5));
    b["children"] = json::array({c});
    marco["children"] = json::array({a, b});
    EXPECT_EQ(convertir(marco, {100, 200, 300, 50}),
              "<div data-nombre=\"fila\" style=\"position:absolute;left:0px;top:0px;width:300px;height:50px;"
              "background:#ffffff;border-radius:12px;overflow:hidden\">"
              "<div data-nombre=\"a\" style=\"position:absolute;left:8px;top:10px;width:40px;height:30px\"></div>"
              "<div data-nombre=\"b\" style=\"position:absolute;left:58px;top:10px;width:40px;height:30px\">"
              "<div data-nombre=\"c\" style=\"position:absolute;left:10px;top:5px;width:5.5px;height:5.5px\"></div>"
              "</div></div>");
}

struct CasoCaja {
    const char* nombre;
    json extra;
    std::vector<std::string> contiene;
    std::vector<std::string> noContiene;
};

TEST(FigmaHtml, TablaDeCajas) {
    const json azul = solido(0, 0, 1);
    json azulOculto = azul;
    azulOculto["visible"] = false;
    const json sombra = {{"type", "DROP_SHADOW"},
                         {"visible", true},
                         {"offset", {{"x", 0}, {"y", 4}}},
                         {"radius", 8},
                         {"color", {{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0.25}}}};
    const json interior = {{"type", "INNER_SHADOW"},
                           {"offset", {{"x", 1}, {"y", 2}}},
                           {"radius", 3},
                           {"spread", 4},
                           {"color", {{"r", 1}, {"g", 1}, {"b", 1}}}};
    json sombraOculta = sombra;
    sombraOculta["visible"] = false;
    const CasoCaja casos[] = {
        {"trazo interior",
         {{"strokes", {azul}}, {"strokeWeight", 2}},
         {"box-shadow:inset 0 0 0 2px #0000ff"},
         {"outline"}},
        {"trazo centrado también es interior",
         {{"strokes", {azul}}, {"strokeWeight", 1.5}, {"strokeAlign", "CENTER"}},
         {"box-shadow:inset 0 0 0 1.5px #0000ff"},
         {}},
        {"trazo exterior",
         {{"strokes", {azul}}, {"strokeWeight", 2}, {"strokeAlign", "OUTSIDE"}},
         {"outline:2px solid #0000ff"},
         {"box-shadow"}},
        {"trazo oculto", {{"strokes", {azulOculto}}, {"strokeWeight", 2}}, {}, {"box-shadow", "outline"}},
        {"trazo sin grosor", {{"strokes", {azul}}}, {}, {"box-shadow", "outline"}},
        {"trazo y sombras en una declaración",
         {{"strokes", {azul}}, {"strokeWeight", 1}, {"effects", {sombra, interior, sombraOculta}}},
         {"box-shadow:inset 0 0 0 1px #0000ff,0px 4px 8px 0px rgba(0,0,0,0.250),inset 1px 2px 3px 4px #ffffff"},
         {}},
        {"desenfoques",
         {{"effects", {{{"type", "LAYER_BLUR"}, {"radius", 5}}, {{"type", "BACKGROUND_BLUR"}, {"radius", 10}}}}},
         {"filter:blur(5px)", "backdrop-filter:blur(10px)", "-webkit-backdrop-filter:blur(10px)"},
         {"box-shadow"}},
        {"opacidad", {{"opacity", 0.5}}, {"opacity:0.5"}, {}},
        {"opacidad plena no se escribe", {{"opacity", 1}}, {}, {"opacity"}},
        {"radios de cada esquina",
         {{"cornerRadius", 3}, {"rectangleCornerRadii", {1, 2, 3.5, 4}}},
         {"border-radius:1px 2px 3.5px 4px"},
         {"border-radius:3px"}},
        {"radios incompletos usan el radio",
         {{"cornerRadius", 3}, {"rectangleCornerRadii", {1, 2}}},
         {"border-radius:3px"},
         {}},
        {"recorta su contenido", {{"clipsContent", true}}, {"overflow:hidden"}, {}},
        {"no recorta", {{"clipsContent", false}}, {}, {"overflow"}},
        {"girado se coloca por su caja",
         {{"rotation", 0.785398}, {"absoluteBoundingBox", caja(-20.5, 10, 141.4, 141.4)}},
         {"left:-20.5px;top:10px;width:141.4px;height:141.4px"},
         {"rotate", "transform"}},
        {"imagen que cubre",
         {{"fills", {{{"type", "IMAGE"}, {"imageRef", "foto"}}}}},
         {"background:url(data:image/png;base64,iVBOR) center/cover no-repeat"},
         {}},
        {"imagen ajustada sobre color",
         {{"fills", {azul, {{"type", "IMAGE"}, {"imageRef", "foto"}, {"scaleMode", "FIT"}}}}},
         {"background:url(data:image/png;base64,iVBOR) center/contain no-repeat,linear-gradient(#0000ff,#0000ff)"},
         {}},
        {"imagen que no llegó", {{"fills", {{{"type", "IMAGE"}, {"imageRef", "perdida"}}}}}, {}, {"background"}},
    };
    for (const auto& c : casos) {
        Conversion convertir;
        convertir.imagenes["foto"] = "data:image/png;base64,iVBOR";
        json n = nodo("RECTANGLE", "r");
        n.update(c.extra);
        const std::string html = convertir(n);
        for (const auto& s : c.contiene) EXPECT_NE(html.find(s), std::string::npos) << c.nombre << "\n" << html;
        for (const auto& s : c.noContiene) EXPECT_EQ(html.find(s), std::string::npos) << c.nombre << "\n" << html;
    }
}

TEST(FigmaHtml, ElipsesYVectores) {
    Conversion convertir;
    const std::string svg = "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\"><script>x</script></svg>";
    convertir.svgs = {{"1:1", svg}, {"1:2", svg}, {"1:3", svg}};

    json circulo = nodo("ELLIPSE", "círculo");
    circulo["id"] = "1:1";
    circulo["fills"] = json::array({solido(1, 0, 0)});
    const std::string css = convertir(circulo);
    EXPECT_NE(css.find("border-radius:50%"), std::string::npos) << css;
    EXPECT_NE(css.find("background:#ff0000"), std::string::npos) << css;
    EXPECT_EQ(css.find("<img"), std::string::npos) << css;

    json flecha = nodo("VECTOR", "flecha", caja(5, 6, 7, 8));
    flecha["id"] = "1:2";
    flecha["children"] = json::array({nodo("RECTANGLE", "dentro")});
    const std::string img = convertir(flecha);
    EXPECT_TRUE(
        img.starts_with("<img data-nombre=\"flecha\" style=\"position:absolute;left:5px;top:6px;width:7px;"
                        "height:8px\" alt=\"\" src=\"data:image/svg+xml;base64,"))
        << img;
    EXPECT_TRUE(img.ends_with("\">")) << img;
    EXPECT_NE(img.find("PD94bWwgdmVyc2lvbj0iMS4wIj8+PHN2ZyB4bWxucz0iaHR0cDovL3d3dy53My5vcmcvMjAwMC9zdmciPjxzY3JpcHQ+"
                       "eDwvc2NyaXB0Pjwvc3ZnPg=="),
              std::string::npos)
        << img;
    EXPECT_EQ(img.find("<script"), std::string::npos);
    EXPECT_EQ(img.find("dentro"), std::string::npos) << "a vector's children are in its export";

    json arco = nodo("ELLIPSE", "arco");
    arco["id"] = "1:3";
    arco["fills"] = json::array({solido(1, 0, 0)});
    arco["arcData"] = {{"startingAngle", 0}, {"endingAngle", 3.14}, {"innerRadius", 0}};
    EXPECT_TRUE(convertir(arco).starts_with("<img")) << convertir(arco);

    // Without its export a vector is still a positioned box.
    json sinExportar = nodo("STAR", "estrella");
    sinExportar["id"] = "9:9";
    EXPECT_TRUE(convertir(sinExportar).starts_with("<div data-nombre=\"estrella\"")) << convertir(sinExportar);
}

TEST(FigmaHtml, NumerosAbsurdosSeAcotan) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Conversion convertir;
    json n = nodo("RECTANGLE", "r", caja(1e20, nan, -50, 1e300));
    n["opacity"] = -3;
    n["cornerRadius"] = 1e308;
    n["strokes"] = json::array({solido(1e20, -1, nan)});
    n["strokeWeight"] = 1e300;
    n["effects"] = {{{"type", "DROP_SHADOW"}, {"offset", {{"x", -1e99}, {"y", nan}}}, {"radius", -5}, {"spread", 1e9}}};
    const std::string html = convertir(n, {-1e20, 0, 0, 0});
    EXPECT_NE(html.find("left:2000000px;top:0px;width:0px;height:1000000px"), std::string::npos) << html;
    EXPECT_NE(html.find("opacity:0;"), std::string::npos) << html;
    EXPECT_NE(html.find("border-radius:1000000px"), std::string::npos) << html;
    EXPECT_NE(html.find("inset 0 0 0 10000px #ff0000"), std::string::npos) << html;
    EXPECT_NE(html.find("-1000000px 0px 0px 10000px transparent"), std::string::npos) << html;

    json t = nodo("TEXT", "t");
    t["style"] = {{"fontSize", 1e20}, {"fontWeight", -7}, {"lineHeightPx", nan}, {"letterSpacing", -1e30}};
    const std::string texto = convertir(t);
    EXPECT_NE(texto.find("font-size:10000px;font-weight:1;line-height:0px;letter-spacing:-10000px"), std::string::npos)
        << texto;
}

TEST(FigmaHtml, AnidamientoEnormeNoDesbordaLaPila) {
    json raiz = nodo("FRAME", "hoja");
    for (int i = 0; i < 100000; ++i) {
        json padre = nodo("FRAME", "n");
        padre["children"] = json::array();
        padre["children"].push_back(std::move(raiz));
        raiz = std::move(padre);
    }
    Conversion convertir;
    const std::string html = convertir(raiz);
    EXPECT_EQ(veces(html, "<div"), 101u);
    EXPECT_EQ(veces(html, "<div"), veces(html, "</div>"));
}

TEST(FigmaHtml, UnRecursoRepetidoNoAgrandaLaPaginaSinLimite) {
    Conversion convertir;
    convertir.svgs["1:1"] = std::string(8u << 20u, 'a');
    json marco = nodo("FRAME", "iconos");
    for (int i = 0; i < 20; ++i) {
        json v = nodo("VECTOR", "v");
        v["id"] = "1:1";
        marco["children"].push_back(v);
    }
    const std::string html = convertir(marco);
    // Every vector still has its place; those past the budget are empty boxes.
    EXPECT_EQ(veces(html, "data-nombre=\"v\""), 20u);
    EXPECT_LT(html.size(), std::size_t{100u << 20u});
    EXPECT_GE(veces(html, "<img"), 8u);
}

}  // namespace
