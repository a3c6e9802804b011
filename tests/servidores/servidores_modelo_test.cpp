// The servers screen's model in a real web view whose page records every
// call it receives, in the screen's test mode (server 0 is this computer):
// which messages are turned away, the local terminal with its greeting
// under a fresh id, keystrokes, and the refusals that need no server.

#include "servidores/gui/servidores_modelo.h"

#include <gtest/gtest.h>

#include <regex>

#include "esperar_bucle.h"
#include "ias/modelos.h"
#include "plataforma/argumentos.h"
#include "plataforma/cripto.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;
using namespace std::chrono_literals;

const char* paginaQueApunta =
    "<!doctype html><script>window.llamadas = [];"
    "window.servidores = new Proxy({}, {get: (_, f) => (d) => { window.llamadas.push({f, d}); }});</script>";

std::string decodificar(const std::string& b64) {
    const auto b = desdeBase64(b64);
    return b ? std::string(b->begin(), b->end()) : std::string();
}

class ServidoresModeloTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Argumentos::fijar({"sorvenia-tarvel-pruebas", "--servidores-prueba"}); }
    void SetUp() override {
        ASSERT_TRUE(iniciarGtk());
        vista_ = std::make_unique<WebVista>("servidores");
        vista_->cargarHTML(paginaQueApunta, "file:///servidores.html");
        ASSERT_TRUE(esperarHasta([&] { return llamadas().is_array(); }));
        modelo_ = std::make_shared<ServidoresModelo>();
        modelo_->fijarWeb(vista_.get());
    }
    void TearDown() override {
        modelo_->cerrarTodo();
        modelo_->fijarWeb(nullptr);
    }
    json llamadas() {
        const auto r = esperarTarea(vista_->llamar("return window.llamadas;"));
        return r && *r ? **r : json();
    }
    // The calls so far whose function is `f`.
    json de(const std::string& f) {
        json r = json::array();
        for (const auto& l : llamadas())
            if (l["f"] == f) r.push_back(l["d"]);
        return r;
    }

    std::unique_ptr<WebVista> vista_;
    std::shared_ptr<ServidoresModelo> modelo_;
};

TEST(ServidoresModeloTexto, LlamadaConBytesRotosReparados) {
    EXPECT_EQ(ServidoresModelo::textoLlamada("aviso", {{"texto", std::string("a\xff")}}),
              "window.servidores && window.servidores.aviso({\"texto\":\"a\xef\xbf\xbd\"})");
}

TEST_F(ServidoresModeloTest, MensajesMalFormadosNoHacenNada) {
    for (const json& m : {json("listo"), json({{"tipo", 5}}), json({{"tipo", "desconocido"}}),
                          json({{"tipo", "teclas"}, {"tid", "no-existe"}, {"b64", "YQ=="}}),
                          json({{"tipo", "tam"}, {"tid", "no-existe"}}), json({{"tipo", "cerrarTerminal"}}),
                          json({{"tipo", "borrar"}, {"servidor", 1}, {"ruta", "etc"}}),
                          json({{"tipo", "borrar"}, {"servidor", 1}, {"ruta", "//"}}),
                          json({{"tipo", "borrar"}, {"servidor", 1}, {"ruta", "/.."}}),
                          json({{"tipo", "enlace"}, {"url", "file:///etc/passwd"}}),
                          // Nothing to stop or forget; no AI tool known before the list.
                          json({{"tipo", "parar"}}), json({{"tipo", "olvidar"}, {"servidor", 7}}),
                          json({{"tipo", "modelo"}, {"modelo", "claude-haiku-5-5"}})})
        modelo_->recibir(m);
    esperarHasta([] { return false; }, 300ms);
    EXPECT_EQ(llamadas(), json::array());
    EXPECT_EQ(IAsLocales::modelo("claude"), "");
}

// Before the list has found a signed-in claude, the administrator's chat
// starts nothing and says why.
TEST_F(ServidoresModeloTest, ChatSinClaudeConectado) {
    modelo_->recibir({{"tipo", "chat"}, {"servidor", 7}, {"ip", "203.0.113.7"}, {"texto", "hola"}});
    ASSERT_TRUE(esperarHasta([&] { return !de("chat").empty(); }));
    EXPECT_EQ(de("chat"), json::array({{{"tipo", "error"},
                                        {"texto",
                                         "Para hablar con tu servidor hace falta Claude conectado (la app "
                                         "de Claude)."}}}));
    EXPECT_EQ(modelo_->chat().enMarcha(), 0U);
}

TEST_F(ServidoresModeloTest, CarpetasDelSistemaNoSeBorranSeEscribanComoSeEscriban) {
    for (const char* ruta : {"/etc/", "//etc", "/usr/../etc", "/./root/"})
        modelo_->recibir({{"tipo", "borrar"}, {"servidor", 1}, {"ruta", ruta}});
    ASSERT_TRUE(esperarHasta([&] { return de("aviso").size() == 4; }));
    for (const auto& a : de("aviso")) EXPECT_EQ(a["texto"], "Esa carpeta es del sistema: no se borra desde aquí.");
    EXPECT_EQ(de("archivos"), json::array());  // no command ran, nothing refreshed
}

TEST_F(ServidoresModeloTest, ModoDePruebaAccesoEstadoYTerminalLocal) {
    modelo_->recibir({{"tipo", "acceso"}, {"servidor", 0}});
    modelo_->recibir({{"tipo", "estado"}, {"servidor", 0}});
    ASSERT_TRUE(esperarHasta([&] { return !de("acceso").empty() && !de("estado").empty(); }));
    EXPECT_EQ(de("acceso")[0], json({{"servidor", 0}, {"ok", true}}));
    EXPECT_EQ(de("estado")[0], json({{"servidor", 0}, {"error", "El modo de prueba no tiene estado."}}));

    // No "tid", no size: a fresh id, 20 × 5, and the greeting typed in.
    modelo_->recibir({{"tipo", "abrirTerminal"}, {"servidor", 0}});
    std::string salida, tid;
    ASSERT_TRUE(esperarHasta(
        [&] {
            salida.clear();
            for (const auto& d : de("datos")) {
                tid = d["tid"];
                salida += decodificar(d["b64"]);
            }
            return salida.find("columnas: 20 · filas: 5") != std::string::npos;
        },
        20s))
        << salida;
    EXPECT_NE(salida.find("Hola desde Sorvenia Code"), std::string::npos);
    EXPECT_TRUE(std::regex_match(
        tid, std::regex("[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}")))
        << tid;

    // Keystrokes in Base64; anything else is dropped.
    modelo_->recibir({{"tipo", "teclas"}, {"tid", tid}, {"b64", "no es base64!"}});
    modelo_->recibir({{"tipo", "teclas"},
                      {"tid", tid},
                      {"b64", base64(std::span(reinterpret_cast<const std::uint8_t*>("echo tecla-$((40+2))\r"), 21))}});
    ASSERT_TRUE(esperarHasta(
        [&] {
            std::string todo;
            for (const auto& d : de("datos")) todo += decodificar(d["b64"]);
            return todo.find("tecla-42") != std::string::npos;
        },
        20s));

    EXPECT_EQ(modelo_->terminalesAbiertas(), 1U);
    modelo_->recibir({{"tipo", "cerrarTerminal"}, {"tid", tid}});
    EXPECT_EQ(modelo_->terminalesAbiertas(), 0U);
}

}  // namespace
}  // namespace sorvenia
