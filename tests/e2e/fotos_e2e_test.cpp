// Photos and images through the real bridge of the test build, with every
// provider a stand-in on 127.0.0.1: the photo search without keys and with
// a Pexels key, the photos of a web page and of a page that never ends, an
// image generated with an OpenAI key and shown by the editor page, the
// sentence without keys, and photo placeholders beside a scene video. The
// contact sheet of one search is kept in build/capturas/ for a person.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <future>
#include <regex>

#include "foto_prueba.h"
#include "fotos_prueba.h"
#include "app_e2e.h"
#include "cliente_mcp.h"
#include "plataforma/cripto.h"
#include "plataforma/secretos.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;
using prueba::textoDe;
using Reloj = std::chrono::steady_clock;

void guardarClave(const std::string& servicio, const std::string& clave) {
    const auto hecho = std::async(std::launch::async, [&] {
                           return static_cast<bool>(guardarSecreto(prueba::idPruebas, "servicio:" + servicio, clave));
                       }).get();
    ASSERT_TRUE(hecho);
}
void borrarClave(const std::string& servicio) {
    std::async(std::launch::async, [&] { (void)borrarSecreto(prueba::idPruebas, "servicio:" + servicio); }).get();
}

std::pair<int, int> medidas(const std::string& jpeg) {
    GdkPixbufLoader* l = gdk_pixbuf_loader_new_with_type("jpeg", nullptr);
    gdk_pixbuf_loader_write(l, reinterpret_cast<const guchar*>(jpeg.data()), jpeg.size(), nullptr);
    gdk_pixbuf_loader_close(l, nullptr);
    std::pair<int, int> m{0, 0};
    if (GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(l)) m = {gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p)};
    g_object_unref(l);
    return m;
}

class FotosE2E : public prueba::AppE2E {
protected:
    void TearDown() override {
        for (const char* s : {"pexels", "unsplash", "openai", "fal", "gemini"}) borrarClave(s);
        AppE2E::TearDown();
    }

    // The customer signed in, every provider at the stand-in, a new design
    // open, the bridge initialised.
    void arrancar() {
        entrarComoCliente();
        arrancarCuentaLocal();
        json hosts;
        for (const char* s : {"pexels", "unsplash", "openverse", "commons", "openai", "fal", "gemini"})
            hosts[s] = proveedores.base();
        cambiarPreferencias({{"pruebas.hostsServicios", hosts}});
        arrancarAplicacion({"--nuevo", "web"});
        ASSERT_TRUE(esperarQue(
            [&] {
                const json v = valor("return (await window.tarvel.herramienta('ver_tarvel', {})).texto;", "editor");
                return v.is_string() && v.get<std::string>().find("«Página web»") != std::string::npos;
            },
            40s));
        ASSERT_TRUE(esperarQue([&] { return fs::exists(raiz_ / "home/.local/share/SorveniaTarvel/mcp.json"); }));
        mcp = std::make_unique<prueba::ClienteMCP>((raiz_ / "home/.sorvenia-tarvel/bin/tarvel").string(), entorno_);
        ASSERT_TRUE(mcp->pedir("initialize", {{"protocolVersion", "2025-06-18"},
                                              {"capabilities", json::object()},
                                              {"clientInfo", {{"name", "claude-code"}, {"version", "1.0"}}}}));
    }

    // Five free photos of a person, each thumbnail of another colour.
    void coleccionLibre() {
        json resultados = json::array();
        const std::uint32_t colores[] = {0xC0392B, 0x27AE60, 0x2980B9, 0x8E44AD, 0xF39C12};
        for (int i = 0; i < 5; ++i) {
            const std::string mini = "/mini/" + std::to_string(i) + ".jpg";
            proveedores.fijar(mini, prueba::ServidorHTTPPrueba::respuesta(
                                        200, prueba::imagenDe(600, 400, "jpeg", colores[i]), "image/jpeg"));
            resultados.push_back({{"url", "https://libre.example/persona-" + std::to_string(i) + ".jpg"},
                                  {"thumbnail", proveedores.base() + mini},
                                  {"width", 3000},
                                  {"height", 2000},
                                  {"source", "flickr"},
                                  {"creator", "Fotógrafa " + std::to_string(i + 1)}});
        }
        proveedores.fijarJson("/v1/images/", {{"results", resultados}});
    }

    prueba::Proveedores proveedores;
    std::unique_ptr<prueba::ClienteMCP> mcp;
};

TEST_F(FotosE2E, BuscarFotosConYSinClave) {
    coleccionLibre();
    arrancar();
    const json r = mcp->herramienta("buscar_fotos", {{"consulta", "smiling woman portrait"}, {"cantidad", 5}});
    ASSERT_FALSE(r.value("isError", true)) << r;
    ASSERT_EQ(r["content"].size(), 2u) << r;
    EXPECT_EQ(r["content"][0]["type"], "image");
    EXPECT_EQ(r["content"][0]["mimeType"], "image/jpeg");
    const auto bytes = desdeBase64(r["content"][0]["data"].get<std::string>());
    ASSERT_TRUE(bytes);
    const std::string jpeg(bytes->begin(), bytes->end());
    EXPECT_EQ(medidas(jpeg), std::make_pair(1232, 556));
    std::ofstream(prueba::rutaCaptura("hoja-buscar-fotos.jpg"), std::ios::binary) << jpeg;
    const std::string texto = r["content"][1]["text"].get<std::string>();
    EXPECT_NE(texto.find("\n1. https://libre.example/persona-0.jpg — 3000×2000 · Openverse/flickr · Fotógrafa 1\n"),
              std::string::npos)
        << texto;
    EXPECT_NE(texto.find("\n5. https://libre.example/persona-4.jpg"), std::string::npos) << texto;
    EXPECT_NE(texto.find("(Sólo bancos gratuitos"), std::string::npos);
    EXPECT_TRUE(proveedores.a("/v1/search").empty());

    // With a Pexels key the bank is asked first, with the key.
    guardarClave("pexels", "clave-pexels");
    const std::size_t antes = proveedores.peticiones().size();
    const json r2 = mcp->herramienta("buscar_fotos", {{"consulta", "smiling woman portrait"}, {"cantidad", 5}});
    ASSERT_FALSE(r2.value("isError", true)) << r2;
    const auto pedidas = proveedores.peticiones();
    ASSERT_GT(pedidas.size(), antes);
    EXPECT_EQ(pedidas[antes].ruta.substr(0, 10), "/v1/search");
    EXPECT_EQ(pedidas[antes].cabeceras.at("authorization"), "clave-pexels");
    EXPECT_EQ(textoDe(r2).find("(Sólo bancos gratuitos"), std::string::npos);
}

TEST_F(FotosE2E, FotosDeUnaPaginaYDeUnaQueNoAcaba) {
    proveedores.fijar("/tienda/", prueba::ServidorHTTPPrueba::respuesta(
                                      200,
                                      R"(<meta property="og:image" content="/img/1200x630.jpg">)"
                                      R"(<img src="/logo.png"><img data-src="fotos/img/900x600.png">)",
                                      "text/html"));
    prueba::ServidorSinFin sinFin;
    arrancar();
    const json r = mcp->herramienta("buscar_fotos", {{"pagina", proveedores.base() + "/tienda/"}});
    ASSERT_EQ(r["content"].size(), 2u) << r;
    const std::string texto = r["content"][1]["text"].get<std::string>();
    EXPECT_NE(texto.find("1. " + proveedores.base() + "/img/1200x630.jpg — 1200×630 · 127.0.0.1\n"), std::string::npos)
        << texto;
    EXPECT_NE(texto.find("2. " + proveedores.base() + "/tienda/fotos/img/900x600.png — 900×600"), std::string::npos)
        << texto;
    EXPECT_EQ(texto.find("logo"), std::string::npos);

    const auto antes = Reloj::now();
    const json nada = mcp->herramienta("buscar_fotos", {{"pagina", sinFin.base() + "/"}});
    EXPECT_LT(Reloj::now() - antes, 15s);
    EXPECT_FALSE(nada.value("isError", true));
    EXPECT_EQ(textoDe(nada).rfind("No he encontrado fotos que se puedan usar en esa página", 0), 0u) << nada;
    EXPECT_LT(sinFin.enviados(), 64u * 1024u * 1024u);
}

TEST_F(FotosE2E, ImagenGeneradaYMarcadoresJuntoAUnaEscena) {
    const std::string png = prueba::imagenDe(64, 36, "png", 0xE67E22);
    proveedores.fijarJson(
        "/v1/images/generations",
        {{"data",
          json::array({{{"b64_json", base64({reinterpret_cast<const std::uint8_t*>(png.data()), png.size()})}}})}});
    proveedores.fijarJson("/v1/search",
                          {{"photos", json::array({{{"src",
                                                     {{"large2x", "https://images.example/surf-grande.jpg"},
                                                      {"medium", "https://images.example/surf.jpg"}}}}})}});
    arrancar();

    // Without keys: the sentence that tells where a key goes.
    const json sin = mcp->herramienta("generar_imagen", {{"prompt", "un faro"}});
    EXPECT_TRUE(sin.value("isError", false));
    EXPECT_EQ(textoDe(sin),
              "Para generar imágenes conecta Gemini, fal.ai u OpenAI con tu clave (IA e integraciones). "
              "Usa foto:palabras mientras tanto.");

    guardarClave("openai", "clave-openai");
    const json r = mcp->herramienta("generar_imagen", {{"prompt", "un faro"}, {"ancho", 1920}, {"alto", 1080}});
    ASSERT_FALSE(r.value("isError", true)) << r;
    std::smatch m;
    const std::string texto = textoDe(r);
    ASSERT_TRUE(
        std::regex_match(texto, m, std::regex(R"re(Imagen generada\. Úsala con src="(recurso:generada-\d+)")re")))
        << texto;
    const std::string referencia = m[1];
    const auto pedida = proveedores.a("/v1/images/generations").at(0);
    EXPECT_EQ(pedida.cabeceras.at("authorization"), "Bearer clave-openai");
    EXPECT_EQ(json::parse(pedida.cuerpo)["size"], "1536x1024");

    // The page shows the stored picture where the design names it.
    guardarClave("pexels", "clave-pexels");
    const std::string creada =
        textoDe(mcp->herramienta("crear_mesa", {{"nombre", "Faro"}, {"ancho", 1200}, {"web", true}}));
    std::smatch mesa;
    ASSERT_TRUE(std::regex_search(creada, mesa, std::regex("Mesa creada: (\\S+) «Faro»"))) << creada;
    const json escrito = mcp->herramienta(
        "escribir",
        {{"id", mesa[1].str()},
         {"modo", "dentro"},
         {"html", "<img id=\"generada\" src=\"" + referencia +
                      "\"><img id=\"foto\" src=\"foto:surf\">"
                      "<video data-escena=\"ola\" src=\"escenas/ola.mp4\" poster=\"escenas/ola.jpg\"></video>"}});
    ASSERT_FALSE(escrito.value("isError", true)) << escrito;
    EXPECT_TRUE(esperarQue([&] {
        return valor(
                   "for (const f of document.querySelectorAll('iframe')) { const i = f.contentDocument && "
                   "f.contentDocument.getElementById('generada'); if (i) return i.complete && i.naturalWidth; } "
                   "return 0;",
                   "editor") == 64;
    })) << "la imagen generada no se ve en la página";

    // The photo placeholder took the bank's photo; the scene kept its paths.
    const std::string leido = textoDe(mcp->herramienta("leer", {{"id", mesa[1].str()}}));
    EXPECT_NE(leido.find("src=\"https://images.example/surf-grande.jpg\""), std::string::npos) << leido;
    EXPECT_NE(leido.find("src=\"escenas/ola.mp4\""), std::string::npos) << leido;
    EXPECT_NE(leido.find("poster=\"escenas/ola.jpg\""), std::string::npos) << leido;
    EXPECT_NE(leido.find("src=\"" + referencia + "\""), std::string::npos) << leido;
    EXPECT_TRUE(capturar("editor", "imagen-generada-editor.png", "editor"));
}

}  // namespace
}  // namespace sorvenia

namespace sorvenia {
namespace {

// The page's artboard snapshot: a rectangle inside the view comes back as a
// JPEG of its size; one too thin or reaching past the view's edge gets no
// answer at all.
TEST_F(FotosE2E, FotoDeUnaMesa) {
    arrancar();
    valor("window.__fotos = []; window.tarvel.fotoMesa = (d) => window.__fotos.push(d); return 1;", "editor");
    auto pedir = [&](int req, const std::string& rect) {
        valor(
            "document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'fotoMesa', "
            "req: " +
                std::to_string(req) + ", rect: " + rect + "})})); return 1;",
            "editor");
    };
    pedir(1, "{x: 10, y: 10, w: 3.9, h: 100}");
    pedir(2, "{x: window.innerWidth - 100, y: 10, w: 101, h: 100}");
    pedir(3, "{x: 20, y: 30, w: 200, h: 100}");
    ASSERT_TRUE(esperarQue([&] { return valor("return window.__fotos.length;", "editor") == 1; }));
    std::this_thread::sleep_for(1500ms);
    const json fotos = valor("return window.__fotos;", "editor");
    ASSERT_EQ(fotos.size(), 1u) << fotos;
    EXPECT_EQ(fotos[0]["req"], 3);
    const std::string src = fotos[0]["src"].get<std::string>();
    const std::string prefijo = "data:image/jpeg;base64,";
    ASSERT_EQ(src.rfind(prefijo, 0), 0u) << src.substr(0, 40);
    const auto bytes = desdeBase64(src.substr(prefijo.size()));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(medidas(std::string(bytes->begin(), bytes->end())), std::make_pair(200, 100));
}

}  // namespace
}  // namespace sorvenia
