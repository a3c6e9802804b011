#include "editor/gui/herramienta_editor.h"

#include <gtest/gtest.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <chrono>
#include <string>
#include <vector>

#include "servicio_local_prueba.h"
#include "esperar_bucle.h"
#include "comun/herramientas_tarvel.h"
#include "cuenta/llavero.h"
#include "editor/gui/renderizador.h"
#include "plataforma/cripto.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/identidad.h"
#include "plataforma/objeto_g.h"
#include "plataforma/preferencias.h"
#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

// A page that answers every tool call with `respuesta`, and a log of what
// the editor did, in order.
struct PaginaFalsa {
    Resultado<Json> respuesta = Json::object();
    std::vector<std::string> registro;
    Json ultimaLlamada;

    PuertaEditor puerta() {
        PuertaEditor p;
        p.js = [this](const std::string& funcion, const Json& argumento) {
            registro.push_back("js " + funcion + " " + argumento.dump());
        };
        p.llamar = [this](std::string cuerpo, Json argumentos) -> Tarea<Resultado<Json>> {
            registro.push_back("pagina " + argumentos["nombre"].get<std::string>());
            ultimaLlamada = {{"cuerpo", cuerpo}, {"argumentos", argumentos}};
            co_return respuesta;
        };
        p.id = "d1";
        return p;
    }
};

Json llamar(PuertaEditor puerta, std::string nombre, Json args, std::optional<std::string> externo = std::nullopt) {
    auto r = prueba::esperarTarea(
        herramientaEnEditor(std::move(puerta), Renderizador::compartido(), std::move(nombre), std::move(args),
                            std::move(externo)),
        60s);
    return r.value_or(Json());
}

Json texto(const std::string& t, bool error) { return Json::array({{{"type", "text"}, {"text", t}, {"error", error}}}); }

class HerramientaEditor : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()); }
};

TEST_F(HerramientaEditor, SinPaginaNoHaceNada) {
    PaginaFalsa pagina;
    PuertaEditor puerta = pagina.puerta();
    puerta.llamar = nullptr;
    EXPECT_EQ(llamar(puerta, "leer", Json::object(), "Claude Code"), texto("El editor no está abierto.", true));
    EXPECT_TRUE(pagina.registro.empty());
}

TEST_F(HerramientaEditor, RespuestasDeLaPagina) {
    const struct {
        Resultado<Json> respuesta;
        Json items;
    } casos[] = {
        {Json{{"texto", "Escrito."}, {"error", false}}, texto("Escrito.", false)},
        {Json{{"texto", ""}}, texto("", false)},
        {Json{{"error", true}}, texto("hecho", true)},
        {Json{{"texto", 5}, {"error", "sí"}}, texto("hecho", false)},
        {Json::array({1}), texto("hecho", false)},
        {Json{{"html", 7}}, texto("hecho", false)},  // a screenshot answer without markup
        {Fallo{"ReferenceError: x", ""}, texto("Error en el tarvel: ReferenceError: x", true)},
    };
    for (const auto& caso : casos) {
        PaginaFalsa pagina;
        pagina.respuesta = caso.respuesta;
        EXPECT_EQ(llamar(pagina.puerta(), "captura", {{"id", "m1"}}), caso.items);
        EXPECT_EQ(pagina.ultimaLlamada["cuerpo"], "return await window.tarvel.herramienta(nombre, args);");
        EXPECT_EQ(pagina.ultimaLlamada["argumentos"], (Json{{"nombre", "captura"}, {"args", {{"id", "m1"}}}}));
    }
}

// The outside client's notice reaches the page before the tool runs.
TEST_F(HerramientaEditor, AvisoDelClienteDeFuera) {
    PaginaFalsa pagina;
    llamar(pagina.puerta(), "terminar", Json::object(), "Claude Code");
    llamar(pagina.puerta(), "leer", Json::object());  // the application's own agent: no notice
    EXPECT_EQ(pagina.registro,
              (std::vector<std::string>{
                  R"(js agenteExterno {"herramienta":"terminar","nombre":"Claude Code","terminar":true})",
                  "pagina terminar", "pagina leer"}));
}

TEST_F(HerramientaEditor, GenerarImagenNoLlegaALaPagina) {
    PaginaFalsa pagina;
    const Json r = llamar(pagina.puerta(), "generar_imagen", {{"prompt", "barber"}});
    EXPECT_EQ(r[0]["error"], true);
    EXPECT_NE(r[0]["text"].get<std::string>().find(" Usa foto:palabras mientras tanto."), std::string::npos);
    EXPECT_TRUE(pagina.registro.empty());
}

// A picture that comes back as bytes is stored in the design and the agent
// gets its reference; an address is handed over as it is. The image service
// is a stand-in on 127.0.0.1, the keychain in memory.
TEST_F(HerramientaEditor, GenerarImagenGuardaLosBytesComoRecurso) {
    fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
    auto llavero = std::make_shared<prueba::LlaveroEnMemoria>();
    const auto anterior = Llavero::usarAlmacen(llavero);
    std::string respuesta = prueba::ServidorHTTPPrueba::respuesta(200, R"({"data": [{"b64_json": "iVBORw0KGgo="}]})");
    prueba::ServidorHTTPPrueba servicio([&](const prueba::PeticionHTTP&) { return respuesta; });
    const std::string base = "http://127.0.0.1:" + std::to_string(servicio.puerto());
    ASSERT_TRUE(Preferencias::estandar().fijarMapaTextos("pruebas.hostsServicios", {{"openai", base}, {"fal", base}}));
    Llavero::guardar("k-openai", "servicio:openai");

    PaginaFalsa pagina;
    PuertaEditor puerta = pagina.puerta();
    std::vector<std::string> guardadas;
    puerta.recurso = [&](const std::string& src) {
        guardadas.push_back(src);
        return std::string("recurso:generada-123");
    };
    // "ancho" given as a text counts as absent: 1600 × 1000, landscape.
    EXPECT_EQ(llamar(puerta, "generar_imagen", {{"prompt", "barber"}, {"ancho", "900"}}),
              Json::array({{{"type", "text"}, {"text", "Imagen generada. Úsala con src=\"recurso:generada-123\""}}}));
    EXPECT_EQ(guardadas, std::vector<std::string>{"data:image/png;base64,iVBORw0KGgo="});
    ASSERT_EQ(servicio.peticiones().size(), 1u);
    EXPECT_EQ(Json::parse(servicio.peticiones()[0].cuerpo)["size"], "1536x1024");
    EXPECT_TRUE(pagina.registro.empty());

    // fal answers with an address: no resource, the address itself.
    Llavero::guardar("k-fal", "servicio:fal");
    respuesta = prueba::ServidorHTTPPrueba::respuesta(200, R"({"images": [{"url": "https://v3.fal.media/x.jpg"}]})");
    EXPECT_EQ(
        llamar(puerta, "generar_imagen", {{"prompt", "barber"}}),
        Json::array({{{"type", "text"}, {"text", "Imagen generada. Úsala con src=\"https://v3.fal.media/x.jpg\""}}}));
    EXPECT_EQ(guardadas.size(), 1u);

    // The service's failure, with the way out for the agent.
    respuesta = prueba::ServidorHTTPPrueba::respuesta(403, R"({"detail": "Invalid key"})");
    EXPECT_EQ(llamar(puerta, "generar_imagen", {{"prompt", "barber"}}),
              texto("fal.ai (403): Invalid key Usa foto:palabras mientras tanto.", true));
    Llavero::usarAlmacen(anterior);
}

// Of the tools the hub passes on, the page's reach the page and the
// editor's own never do, as the catalogue says.
TEST_F(HerramientaEditor, SoloLasHerramientasDeLaPaginaLleganALaPagina) {
    using HerramientasTarvel::Responde;
    for (const auto& h : HerramientasTarvel::lista()) {
        const auto nombre = h.at("name").get<std::string>();
        const Responde quien = HerramientasTarvel::quienResponde(nombre);
        if (quien == Responde::centro) continue;
        PaginaFalsa pagina;
        llamar(pagina.puerta(), nombre, Json::object());
        const auto esperado =
            quien == Responde::pagina ? std::vector<std::string>{"pagina " + nombre} : std::vector<std::string>{};
        EXPECT_EQ(pagina.registro, esperado) << nombre;
    }
}

// The account's photo service as the editor hands it over: it fills the
// "foto:playa" placeholder and notes what it was given.
Tarea<std::string> fotosFalsas(std::shared_ptr<std::vector<std::string>> recibidos, std::string html) {
    recibidos->push_back(html);
    const std::string marcador = "foto:playa";
    if (const auto p = html.find(marcador); p != std::string::npos)
        html.replace(p, marcador.size(), "https://cuenta.example/fotos/1.svg");
    co_return html;
}

// Placeholders in the markup a tool writes reach the page resolved: the
// logo from the icon CDN, the photo from the account (no photo-bank key in
// this keychain).
TEST_F(HerramientaEditor, EscribirLlegaConPlaceholdersResueltos) {
    const auto anterior = Llavero::usarAlmacen(std::make_shared<prueba::LlaveroEnMemoria>());
    auto recibidos = std::make_shared<std::vector<std::string>>();
    PaginaFalsa pagina;
    PuertaEditor puerta = pagina.puerta();
    puerta.fotos = [recibidos](std::string html) { return fotosFalsas(recibidos, std::move(html)); };
    const Json args = {{"html", R"(<img src="foto:playa"><img src = "logo:Notion">)"}, {"donde", "final"}};
    EXPECT_EQ(llamar(puerta, "escribir", args), texto("hecho", false));
    Llavero::usarAlmacen(anterior);

    EXPECT_EQ(pagina.ultimaLlamada["argumentos"],
              (Json{{"nombre", "escribir"},
                    {"args",
                     {{"html", R"(<img src="https://cuenta.example/fotos/1.svg">)"
                               R"(<img src="https://cdn.simpleicons.org/notion">)"},
                      {"donde", "final"}}}}));
    EXPECT_EQ(*recibidos,
              std::vector<std::string>{R"(<img src="foto:playa"><img src="https://cdn.simpleicons.org/notion">)"});
}

std::pair<int, int> tamanoPng(const std::string& base64Png) {
    const auto bytes = desdeBase64(base64Png);
    if (!bytes) return {0, 0};
    auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    gdk_pixbuf_loader_write(cargador.get(), bytes->data(), bytes->size(), nullptr);
    gdk_pixbuf_loader_close(cargador.get(), nullptr);
    GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(cargador.get());
    return p ? std::pair{gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p)} : std::pair{0, 0};
}

// The page gives the markup and its size; the picture is at most 1000 px
// wide and keeps the proportion of the layout.
TEST_F(HerramientaEditor, CapturaComoImagenPng) {
    const std::string html = R"(<div style="height:2000px;background:#0a0"></div>)";
    const struct {
        Json respuesta;
        std::pair<int, int> tamano;
    } casos[] = {
        {{{"html", html}, {"w", 2400}, {"h", 600}}, {1000, 250}},
        {{{"html", html}, {"w", 500}, {"h", 300}}, {500, 300}},
        {{{"html", html}, {"w", "ancho"}, {"h", 720}}, {1000, 500}},  // 1440 wide when "w" is no integer
    };
    for (const auto& caso : casos) {
        PaginaFalsa pagina;
        pagina.respuesta = caso.respuesta;
        const Json r = llamar(pagina.puerta(), "captura", Json::object());
        ASSERT_EQ(r[0]["type"], "image") << r.dump().substr(0, 200);
        EXPECT_EQ(r[0]["mimeType"], "image/png");
        EXPECT_EQ(tamanoPng(r[0]["data"]), caso.tamano) << caso.respuesta.dump().substr(0, 80);
    }
    PaginaFalsa vacia;
    vacia.respuesta = Json{{"html", html}, {"w", 0}, {"h", 300}};
    EXPECT_EQ(llamar(vacia.puerta(), "captura", Json::object()), texto("No se ha podido sacar la captura.", true));
}

}  // namespace
}  // namespace sorvenia
