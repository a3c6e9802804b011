// The Figma import against a stand-in of the Figma REST API and of its
// download host (tests/apoyo/dobles/figma_prueba.h): reading pasted links,
// the answers' statuses, the fixture file imported as pages (frames chosen,
// vectors exported, image fills fetched without the token and reduced,
// progress told), the frame and vector limits, and where the token is kept.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "cuenta/llavero.h"
#include "esperar_bucle.h"
#include "figma_prueba.h"
#include "fotos_prueba.h"
#include "medios/figma_enlace.h"
#include "medios/figma_html.h"
#include "medios/figma_importar.h"
#include "medios/figma_token.h"
#include "plataforma/cripto.h"
#include "servicio_local_prueba.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::FigmaPrueba;
using namespace std::chrono_literals;

struct Importacion {
    Resultado<std::vector<Figma::Marco>> paginas = Fallo{"sin terminar", ""};
    std::vector<std::string> progreso;
};

Figma::Destinos destinosDe(const FigmaPrueba& figma, double tiempo = 20) {
    return {figma.baseAPI(), figma.baseImagenes(), tiempo};
}

Importacion importar(const FigmaPrueba& figma, const std::string& enlace, double tiempo = 20,
                     std::string token = FigmaPrueba::token) {
    Importacion r;
    auto hecho =
        prueba::esperarTarea(Figma::importar(
                                 enlace, std::move(token), [&](const std::string& t) { r.progreso.push_back(t); },
                                 destinosDe(figma, tiempo)),
                             60s);
    if (hecho) r.paginas = std::move(*hecho);
    return r;
}

constexpr const char* svgDeDatos = "data:image/svg+xml;base64,";

std::string mensaje(const Importacion& i) { return i.paginas ? std::string("(sin fallo)") : i.paginas.fallo().mensaje; }

// A frame of `hijos` children at x = 1000 × n.
json marco(const std::string& id, const std::string& nombre, json hijos = json::array()) {
    return {{"id", id},
            {"name", nombre},
            {"type", "FRAME"},
            {"absoluteBoundingBox", {{"x", 0}, {"y", 0}, {"width", 100}, {"height", 100}}},
            {"children", std::move(hijos)}};
}

json archivoCon(json nodosDeLaPagina) {
    return {{"name", "Generado"},
            {"document",
             {{"id", "0:0"},
              {"type", "DOCUMENT"},
              {"children", json::array({{{"id", "0:1"}, {"type", "CANVAS"}, {"children", nodosDeLaPagina}}})}}}};
}

// The pixel size of a data: address's image.
std::pair<int, int> medidas(const std::string& direccion) {
    const auto coma = direccion.find(',');
    const auto bytes = desdeBase64(direccion.substr(coma + 1));
    if (!bytes) return {0, 0};
    GdkPixbufLoader* l = gdk_pixbuf_loader_new();
    gdk_pixbuf_loader_write(l, bytes->data(), bytes->size(), nullptr);
    gdk_pixbuf_loader_close(l, nullptr);
    std::pair<int, int> m{0, 0};
    if (GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(l)) m = {gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p)};
    g_object_unref(l);
    return m;
}

TEST(FigmaEnlace, TablaDeEnlaces) {
    const std::string clave = "AbCdEf0123456789";
    struct Caso {
        std::string enlace;
        std::optional<Figma::Enlace> esperado;
    };
    const std::vector<Caso> casos = {
        {"https://www.figma.com/design/" + clave + "/Mi-web", Figma::Enlace{clave, std::nullopt}},
        {"  https://www.figma.com/file/" + clave + "/Mi-web?node-id=12-34&t=x \n", Figma::Enlace{clave, "12:34"}},
        {"https://figma.com/proto/" + clave + "?node-id=1%3A2", Figma::Enlace{clave, "1:2"}},
        {"https://www.figma.com/board/" + clave, Figma::Enlace{clave, std::nullopt}},
        {"https://www.figma.com/es/design/" + clave + "?node-id=", Figma::Enlace{clave, std::nullopt}},
        {"https://www.figma.com/design/" + clave + "?node-id", Figma::Enlace{clave, std::nullopt}},
        {"https://www.figma.com/design/" + clave + "?t=1&node-id=5-6&node-id=7-8", Figma::Enlace{clave, "5:6"}},
        {"https://www.figma.com/design/" + std::string(64, 'a'), Figma::Enlace{std::string(64, 'a'), std::nullopt}},
        {"https://www.figma.com/design/" + std::string(10, 'Z'), Figma::Enlace{std::string(10, 'Z'), std::nullopt}},
        // No Figma link.
        {"https://www.figma.org/design/" + clave, std::nullopt},
        {"https://www.FIGMA.com/design/" + clave, std::nullopt},
        {"https://www.figma.com.evil.net/design/" + clave, std::nullopt},
        {"https://www.figma.com/files/" + clave, std::nullopt},
        {"https://www.figma.com/Design/" + clave, std::nullopt},
        {"https://www.figma.com/design", std::nullopt},
        {"https://www.figma.com/design/", std::nullopt},
        {"https://www.figma.com/design/" + std::string(9, 'a'), std::nullopt},
        {"https://www.figma.com/design/" + std::string(65, 'a'), std::nullopt},
        {"https://www.figma.com/design/abc-def_ghi123", std::nullopt},
        {"www.figma.com/design/" + clave, std::nullopt},
        {"", std::nullopt},
        {"no es un enlace", std::nullopt},
    };
    for (const auto& c : casos) EXPECT_EQ(Figma::partir(c.enlace), c.esperado) << c.enlace;
    EXPECT_EQ(Figma::codificarId("12:34"), "12%3A34");
    EXPECT_EQ(Figma::codificarId("I1;2 &é"), "I1%3B2%20%26%C3%A9");
}

TEST(FigmaRespuesta, EstadosYCuerpos) {
    const std::string token =
        "Figma no acepta el token (o no tienes acceso a ese archivo). Revísalo en Ajustes → Conexiones → figma.";
    struct Caso {
        long status;
        std::string cuerpo;
        std::string error;  // "" when the answer is read
    };
    const std::vector<Caso> casos = {
        {200, R"({"document": {}})", ""},
        {204, "{}", ""},
        {401, "{}", token},
        {403, R"({"status": 403})", token},
        {404, "{}", "Ese archivo de Figma no existe o no está compartido con tu cuenta."},
        {429, "{}", "Figma dice que vamos demasiado rápido: espera un minuto y vuelve a probar."},
        {500, "{}", "Figma ha respondido con un error (500)."},
        {302, "{}", "Figma ha respondido con un error (302)."},
        {0, "", "Figma ha respondido con un error (0)."},
        {200, "[1, 2]", "Figma ha respondido con un error (200)."},
        {200, "\"texto\"", "Figma ha respondido con un error (200)."},
        {200, "<html>", "La respuesta de Figma no se puede leer: no es JSON válido."},
    };
    for (const auto& c : casos) {
        const auto r = Figma::leerRespuesta(c.status, c.cuerpo);
        EXPECT_EQ(r ? std::string() : r.fallo().mensaje, c.error) << c.status << " " << c.cuerpo;
    }
}

// Every failing status of the API ends the import with its sentence, after
// the first progress text and without any download.
TEST(FigmaImportar, EstadosDeErrorDeLaAPI) {
    const std::vector<std::pair<int, std::string>> casos = {
        {401, "Figma no acepta el token"},
        {403, "Figma no acepta el token"},
        {404, "Ese archivo de Figma no existe o no está compartido con tu cuenta."},
        {429, "Figma dice que vamos demasiado rápido: espera un minuto y vuelve a probar."},
        {500, "Figma ha respondido con un error (500)."},
        {502, "Figma ha respondido con un error (502)."},
    };
    for (const auto& [status, texto] : casos) {
        FigmaPrueba figma;
        figma.fallarCon(status);
        const auto r = importar(figma, figma.enlace());
        ASSERT_FALSE(r.paginas.ok()) << status;
        EXPECT_EQ(mensaje(r).rfind(texto, 0), 0u) << status << ": " << mensaje(r);
        EXPECT_EQ(r.progreso, std::vector<std::string>{"Leyendo el archivo de Figma…"});
        EXPECT_TRUE(figma.peticionesImagenes().empty());
    }

    // A wrong token is the stand-in's own 403.
    FigmaPrueba figma;
    EXPECT_EQ(mensaje(importar(figma, figma.enlace(), 20, "otro-token")).rfind("Figma no acepta el token", 0), 0u);

    // A bad link asks nothing.
    const auto malo = importar(figma, "https://example.com/design/" + std::string(FigmaPrueba::clave));
    EXPECT_EQ(mensaje(malo), "Eso no parece un enlace de Figma (https://www.figma.com/design/…).");
    EXPECT_TRUE(malo.progreso.empty());
    EXPECT_EQ(figma.peticionesAPI().size(), 1u);
}

TEST(FigmaImportar, UnaAPIQueNoContestaAcabaATiempo) {
    FigmaPrueba figma;
    figma.retrasar(10s);
    const auto antes = std::chrono::steady_clock::now();
    const auto r = importar(figma, figma.enlace(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - antes, 8s);
    EXPECT_EQ(mensaje(r), "El servidor ha tardado demasiado en contestar.");
}

TEST(FigmaImportar, ElArchivoDePruebaComoPaginas) {
    FigmaPrueba figma;
    const std::string estrella = FigmaPrueba::ficheroFixtura("estrella.svg");
    figma.svg("1:4", estrella);
    figma.svg("1:9", FigmaPrueba::ficheroFixtura("logo.svg"));
    figma.imagen("foto-grande", prueba::imagenDe(3000, 2000, "png", 0x00897B));
    figma.imagen("oculta", prueba::imagenDe(10, 10, "png"));
    figma.imagen("dentro-de-vector", prueba::imagenDe(10, 10, "png"));

    const auto r = importar(figma, figma.enlace());
    ASSERT_TRUE(r.paginas.ok()) << mensaje(r);
    EXPECT_EQ(r.progreso, (std::vector<std::string>{"Leyendo el archivo de Figma…", "Trayendo 2 iconos y vectores…",
                                                    "Trayendo 1 imagen…", "Montando las páginas…"}));

    // The visible frames of both pages, in order; the loose rectangle and
    // the hidden frame are no pages.
    ASSERT_EQ(r.paginas->size(), 2u);
    const auto& inicio = r.paginas->at(0);
    const auto& contacto = r.paginas->at(1);
    EXPECT_EQ(inicio.nombre, "Inicio");
    EXPECT_EQ(contacto.nombre, "Contacto");
    EXPECT_EQ(std::make_pair(inicio.ancho, inicio.alto), std::make_pair(400.0, 300.0));

    // What was asked: the listing, the two subtrees at once, the visible
    // vectors' export, the fills' addresses.
    const auto listado = figma.a("/v1/files/" + std::string(FigmaPrueba::clave));
    ASSERT_EQ(listado.size(), 1u);
    EXPECT_NE(listado[0].ruta.find("depth=2"), std::string::npos);
    const auto nodos = figma.a("/v1/files/" + std::string(FigmaPrueba::clave) + "/nodes");
    ASSERT_EQ(nodos.size(), 1u);
    EXPECT_EQ(FigmaPrueba::ids(nodos[0]), (std::vector<std::string>{"1:1", "3:1"}));
    const auto exportaciones = figma.a("/v1/images/" + std::string(FigmaPrueba::clave));
    ASSERT_EQ(exportaciones.size(), 1u);
    EXPECT_NE(exportaciones[0].ruta.find("format=svg"), std::string::npos);
    EXPECT_EQ(FigmaPrueba::ids(exportaciones[0]), (std::vector<std::string>{"1:4", "1:9"}));
    for (const auto& p : figma.peticionesAPI()) EXPECT_EQ(p.cabeceras.at("x-figma-token"), FigmaPrueba::token);

    // Downloads: the two SVGs and the one visible fill outside a vector, none
    // carrying the token.
    std::vector<std::string> bajadas;
    for (const auto& p : figma.peticionesImagenes()) {
        bajadas.push_back(p.ruta);
        EXPECT_FALSE(p.cabeceras.contains("x-figma-token")) << p.ruta;
    }
    std::ranges::sort(bajadas);
    EXPECT_EQ(bajadas, (std::vector<std::string>{"/img/foto%2Dgrande", "/svg/1%3A4.svg", "/svg/1%3A9.svg"}));

    // The page: the fonts' sheet, the frame's box and background, the SVG,
    // the reduced image, the escaped texts.
    const std::string& h = inicio.html;
    EXPECT_EQ(h.rfind("<style>@import url('https://fonts.googleapis.com/css2?family=Inter:wght@100..900&"
                      "display=swap');</style><div data-nombre=\"Inicio\" style=\"position:relative;width:400px;"
                      "height:300px;overflow:hidden;background:#e53935;border-radius:8px\">",
                      0),
              0u)
        << h.substr(0, 400);
    EXPECT_NE(h.find("data:image/svg+xml;base64," +
                     base64(std::span(reinterpret_cast<const std::uint8_t*>(estrella.data()), estrella.size()))),
              std::string::npos);
    EXPECT_NE(h.find("Olas &amp; &lt;tablas&gt;"), std::string::npos);
    EXPECT_NE(h.find("data-nombre=\"Título &lt;b&gt; &quot;&amp;&quot;\""), std::string::npos);
    EXPECT_EQ(h.find("<tablas>"), std::string::npos);
    // (Found by hand: a backtracking pattern over a long data address runs
    // out of stack.)
    const auto desde = h.find("url(data:image/");
    ASSERT_NE(desde, std::string::npos);
    const auto hasta = h.find(')', desde);
    ASSERT_NE(hasta, std::string::npos);
    EXPECT_EQ(medidas(h.substr(desde + 4, hasta - desde - 4)), std::make_pair(1600, 1067));
    EXPECT_EQ(contacto.html.find("<style>"), std::string::npos);
    EXPECT_NE(contacto.html.find("background:#fdd835"), std::string::npos);
    EXPECT_NE(contacto.html.find("border-radius:50%"), std::string::npos);
}

// A link to a node imports that node's frame, or the frames inside it.
TEST(FigmaImportar, EnlaceAUnNodo) {
    FigmaPrueba figma;
    const auto contacto = importar(figma, figma.enlace("3:1"));
    ASSERT_TRUE(contacto.paginas.ok()) << mensaje(contacto);
    ASSERT_EQ(contacto.paginas->size(), 1u);
    EXPECT_EQ(contacto.paginas->front().nombre, "Contacto");
    ASSERT_EQ(figma.peticionesAPI().size(), 1u);
    EXPECT_EQ(figma.peticionesAPI()[0].ruta, "/v1/files/" + std::string(FigmaPrueba::clave) + "/nodes?ids=3%3A1");

    const auto pagina = importar(figma, figma.enlace("0:1"));
    ASSERT_TRUE(pagina.paginas.ok()) << mensaje(pagina);
    ASSERT_EQ(pagina.paginas->size(), 1u);
    EXPECT_EQ(pagina.paginas->front().nombre, "Inicio");

    EXPECT_EQ(mensaje(importar(figma, figma.enlace("1:2"))),
              "No hay marcos (frames) que importar en ese enlace. Enlaza un marco o una página con marcos.");
    EXPECT_EQ(mensaje(importar(figma, figma.enlace("99:99"))),
              "No hay marcos (frames) que importar en ese enlace. Enlaza un marco o una página con marcos.");
}

TEST(FigmaImportar, SinMarcosVisibles) {
    json suelto = marco("2:1", "Suelto");
    suelto["type"] = "RECTANGLE";
    json oculto = marco("2:2", "Oculto");
    oculto["visible"] = false;
    json lienzo = marco("2:3", "Lienzo");
    lienzo["type"] = "CANVAS";
    FigmaPrueba figma(archivoCon(json::array({suelto, oculto, lienzo, {{"id", "2:4"}, {"type", 7}}})));
    EXPECT_EQ(mensaje(importar(figma, figma.enlace())),
              "No hay marcos (frames) que importar en ese enlace. Enlaza un marco o una página con marcos.");
    EXPECT_TRUE(figma.a("/v1/files/" + std::string(FigmaPrueba::clave) + "/nodes").empty());
}

TEST(FigmaImportar, VeinticincoMarcosDanVeintePaginas) {
    json marcos = json::array();
    for (int i = 1; i <= 25; ++i) marcos.push_back(marco("5:" + std::to_string(i), "Marco " + std::to_string(i)));
    marcos[3]["type"] = "COMPONENT";
    marcos[4]["type"] = "SECTION";
    FigmaPrueba figma(archivoCon(marcos));
    const auto r = importar(figma, figma.enlace());
    ASSERT_TRUE(r.paginas.ok()) << mensaje(r);
    ASSERT_EQ(r.paginas->size(), 20u);
    EXPECT_EQ(r.paginas->front().nombre, "Marco 1");
    EXPECT_EQ(r.paginas->back().nombre, "Marco 20");
    const auto nodos = figma.a("/v1/files/" + std::string(FigmaPrueba::clave) + "/nodes");
    ASSERT_EQ(nodos.size(), 1u);
    const auto ids = FigmaPrueba::ids(nodos[0]);
    ASSERT_EQ(ids.size(), 20u);
    EXPECT_EQ(ids.front(), "5:1");
    EXPECT_EQ(ids.back(), "5:20");
}

TEST(FigmaImportar, CuatrocientosCincuentaVectoresEnTandas) {
    json vectores = json::array();
    for (int i = 0; i < 450; ++i)
        vectores.push_back(
            {{"id", "7:" + std::to_string(i)},
             {"name", "Icono"},
             {"type", i % 2 == 0 ? "VECTOR" : "STAR"},
             {"absoluteBoundingBox", {{"x", i % 30 * 10}, {"y", i / 30 * 10}, {"width", 8}, {"height", 8}}}});
    FigmaPrueba figma(archivoCon(json::array({marco("6:1", "Iconos", vectores)})));
    const auto r = importar(figma, figma.enlace());
    ASSERT_TRUE(r.paginas.ok()) << mensaje(r);
    EXPECT_EQ(r.progreso, (std::vector<std::string>{"Leyendo el archivo de Figma…", "Trayendo 450 iconos y vectores…",
                                                    "Montando las páginas…"}));
    const auto tandas = figma.a("/v1/images/" + std::string(FigmaPrueba::clave));
    ASSERT_EQ(tandas.size(), 5u);
    std::size_t siguiente = 0;
    for (const auto& t : tandas) {
        const auto ids = FigmaPrueba::ids(t);
        ASSERT_EQ(ids.size(), 80u);
        for (const auto& id : ids) EXPECT_EQ(id, "7:" + std::to_string(siguiente++));
    }
    EXPECT_EQ(figma.peticionesImagenes().size(), 400u);
    // The exported ones are drawn from their SVG; the rest get none.
    const std::string& h = r.paginas->front().html;
    std::size_t svgs = 0;
    for (auto p = h.find(svgDeDatos); p != std::string::npos; p = h.find(svgDeDatos, p + 1)) ++svgs;
    EXPECT_EQ(svgs, 400u);
}

// A failed download drops its asset only; an SVG that is no UTF-8 text is
// dropped too (the page's messages are JSON).
TEST(FigmaImportar, UnaDescargaFallidaSoloQuitaLoSuyo) {
    FigmaPrueba figma;
    figma.svg("1:4", std::string("<svg>\xff\xfe</svg>"));
    figma.imagen("foto-grande", "esto no es una imagen");
    const auto r = importar(figma, figma.enlace());
    ASSERT_TRUE(r.paginas.ok()) << mensaje(r);
    const std::string& h = r.paginas->front().html;
    EXPECT_EQ(h.find("\xff"), std::string::npos);
    EXPECT_EQ(h.find("data:image/png"), std::string::npos);
    EXPECT_EQ(h.find("data:image/jpeg"), std::string::npos);
    // The logo's export is there, the star's is not.
    std::size_t svgs = 0;
    for (auto p = h.find(svgDeDatos); p != std::string::npos; p = h.find(svgDeDatos, p + 1)) ++svgs;
    EXPECT_EQ(svgs, 1u);
}

// Downloads go to https addresses only (the test build's stand-in host
// aside): an export address of another kind is never fetched.
TEST(FigmaImportar, SoloSeDescargaDeDireccionesSeguras) {
    const Figma::Destinos produccion;
    const Figma::Destinos pruebas{"http://127.0.0.1:1", "http://127.0.0.1:2", 60};
    const std::vector<std::tuple<std::string, bool, bool>> casos = {
        {"https://s3-alpha.figma.com/img/ab/cd", true, true},
        {"http://s3-alpha.figma.com/img/ab/cd", false, false},
        {"file:///etc/passwd", false, false},
        {"ftp://figma.com/x", false, false},
        {"http://127.0.0.1:2/svg/1.svg", false, true},
        {"http://127.0.0.1:2", false, false},
        {"http://127.0.0.1:20/svg/1.svg", false, false},
        {"", false, false},
    };
    for (const auto& [url, enProduccion, enPruebas] : casos) {
        EXPECT_EQ(Figma::descargable(url, produccion), enProduccion) << url;
        EXPECT_EQ(Figma::descargable(url, pruebas), enPruebas) << url;
    }

    // Without the stand-in host allowed, the import asks for the exports but
    // downloads nothing and still makes its pages.
    FigmaPrueba figma;
    Figma::Destinos sinDescargas = destinosDe(figma);
    sinDescargas.imagenes.clear();
    auto r = prueba::esperarTarea(Figma::importar(
                                      figma.enlace(), FigmaPrueba::token, [](const std::string&) {}, sinDescargas),
                                  60s);
    ASSERT_TRUE(r && r->ok());
    EXPECT_EQ((*r)->size(), 2u);
    EXPECT_EQ(figma.a("/v1/images/" + std::string(FigmaPrueba::clave)).size(), 1u);
    EXPECT_TRUE(figma.peticionesImagenes().empty());
    EXPECT_EQ((*r)->front().html.find("data:image"), std::string::npos);
}

// The token lives with the user's connection named "figma", whatever its id.
TEST(FigmaToken, CuentaDeLaConexion) {
    using C = std::vector<Figma::ConexionGuardada>;
    const std::vector<std::pair<C, std::string>> casos = {
        {{}, "conexion:figma"},
        {{{"a1", "github"}}, "conexion:figma"},
        {{{"f-9c2e", "figma"}}, "conexion:f-9c2e"},
        {{{"x", "figma"}, {"figma", "otra"}}, "conexion:figma"},
        {{{"x", "figma"}, {"y", "figma"}}, "conexion:x"},
    };
    for (const auto& [conexiones, cuenta] : casos) EXPECT_EQ(Figma::cuentaToken(conexiones), cuenta);

    auto llavero = std::make_shared<prueba::LlaveroEnMemoria>();
    const auto anterior = Llavero::usarAlmacen(llavero);
    EXPECT_EQ(Figma::token({{"f-9c2e", "figma"}}), std::nullopt);
    ASSERT_TRUE(Llavero::guardar("figd-guardado", "conexion:f-9c2e"));
    EXPECT_EQ(Figma::token({{"f-9c2e", "figma"}}), "figd-guardado");
    ASSERT_TRUE(Llavero::guardar("", "conexion:figma"));
    EXPECT_EQ(Figma::token({}), std::nullopt);
    Llavero::usarAlmacen(anterior);
}

TEST(FigmaPagina, LosHijosDeUnMarcoCompartenElPresupuestoDeLaPagina) {
    // Twenty vectors straight under the frame, all naming one 8 MiB export:
    // the page stays within its budget however the frame spreads them.
    json marco = {{"type", "FRAME"}, {"name", "iconos"},
                  {"absoluteBoundingBox", {{"x", 0}, {"y", 0}, {"width", 100}, {"height", 100}}}};
    for (int i = 0; i < 20; ++i)
        marco["children"].push_back({{"type", "VECTOR"}, {"name", "v"}, {"id", "1:1"},
                                     {"absoluteBoundingBox", {{"x", 0}, {"y", 0}, {"width", 10}, {"height", 10}}}});
    const Figma::Marco pagina = Figma::pagina(marco, {{"1:1", std::string(8u << 20u, 'a')}}, {});
    std::size_t vectores = 0;
    for (auto p = pagina.html.find("data-nombre=\"v\""); p != std::string::npos;
         p = pagina.html.find("data-nombre=\"v\"", p + 1))
        ++vectores;
    EXPECT_EQ(vectores, 20u);
    // The last export may pass the budget once; twenty of them would not.
    EXPECT_LT(pagina.html.size(), 2 * Figma::presupuestoRecursos);
}

}  // namespace
}  // namespace sorvenia
