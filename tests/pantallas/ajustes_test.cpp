// The settings sheet with its real page in a real web view under Xvfb, the
// real Secret Service of the test session, and stand-in providers on
// 127.0.0.1: opened by the navigation on either tab, keys saved through the
// page (a rejected one stores nothing), the cards the home page and the
// editor get when the sheet closes, connections saved and tested against a
// stand-in MCP server, a font added through the chooser, and the bridge
// registered in the AI clients' files. Screenshots of both tabs stay in
// build/capturas/.
#include "app/presentador_ajustes.h"

#include <gtest/gtest.h>

#include <future>

#include "editor_doble.h"
#include "aislado.h"
#include "esperar_bucle.h"
#include "foto_prueba.h"
#include "cache_propia.h"
#include "centro/centro.h"
#include "cuenta/llavero.h"
#include "ejecutar_prueba.h"
#include "integraciones/conexiones.h"
#include "medios/fuentes.h"
#include "pantallas/gui/ajustes_hoja.h"
#include "pantallas/gui/ajustes_modelo.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/identidad.h"
#include "plataforma/navegador.h"
#include "plataforma/objeto_g.h"
#include "plataforma/preferencias.h"
#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using prueba::esperarHasta;
using prueba::ServidorHTTPPrueba;

// Off the main thread, where the keychain may be read.
std::optional<std::string> enLlavero(const std::string& cuenta) {
    return std::async(std::launch::async, [cuenta] { return Llavero::leer(cuenta); }).get();
}

json tarjeta(const json& tarjetas, const std::string& id) {
    for (const auto& t : tarjetas)
        if (t["id"] == id) return t;
    return {};
}

class AjustesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::unsetenv("XDG_DATA_DIRS");
        prueba::usarCachePropia();
        ::setenv("SORVENIA_RECURSOS", CARPETA_RECURSOS, 1);
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        // The real claude is the one the login shell finds (registering in
        // Claude Code runs "claude mcp add").
        fs::create_symlink(CLAUDE_BIN, prueba::raizAislada() / "path-login" / "claude");
        ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
    }

    void SetUp() override {
        std::map<std::string, std::string> hosts;
        for (const char* s : {"gemini", "openai", "elevenlabs", "pexels", "unsplash"})
            hosts[s] = "http://127.0.0.1:" + std::to_string(proveedor.puerto());
        ASSERT_TRUE(Preferencias::estandar().fijarMapaTextos("pruebas.hostsServicios", hosts));
        anterior_ = Navegador::usarAbridor([this](const std::string& uri) {
            abiertos.push_back(uri);
            return true;
        });
        presentador = std::make_unique<PresentadorAjustes>(nav, nullptr);
        Centro::compartido().editor = editor;
    }

    void TearDown() override {
        presentador.reset();
        Centro::compartido().editor.reset();
        Navegador::usarAbridor(anterior_);
    }

    const AjustesHoja& hoja() const { return *presentador->hoja(); }

    // The page's answer to a script (the body of an async function).
    json en(const std::string& guion) {
        auto r = prueba::esperarTarea(hoja().vista().llamar(guion));
        EXPECT_TRUE(r && r->ok()) << guion << (r && !r->ok() ? r->fallo().mensaje : "");
        return r && r->ok() ? **r : json();
    }
    bool esperarPagina(const std::string& condicion, std::chrono::milliseconds limite = std::chrono::seconds(20)) {
        return esperarHasta([&] { return en("return !!(" + condicion + ");") == true; }, limite);
    }
    std::string aviso() { return en("return document.getElementById('aviso').textContent;").get<std::string>(); }

    // The visible part of the sheet, as a person would see it.
    void capturar(const std::string& nombre) {
        bool hecho = false;
        Ref<GdkTexture> textura;
        struct Caja {
            bool* hecho;
            Ref<GdkTexture>* textura;
        } caja{&hecho, &textura};
        webkit_web_view_get_snapshot(
            hoja().vista().vistaWeb(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
            [](GObject* objeto, GAsyncResult* resultado, gpointer datos) {
                auto* c = static_cast<Caja*>(datos);
                GdkTexture* t = webkit_web_view_get_snapshot_finish(comoG<WebKitWebView>(objeto), resultado, nullptr);
                if (t != nullptr) *c->textura = Ref<GdkTexture>::adoptar(t);
                *c->hecho = true;
            },
            &caja);
        ASSERT_TRUE(esperarHasta([&] { return hecho; }));
        ASSERT_TRUE(textura);
        EXPECT_TRUE(gdk_texture_save_to_png(textura.get(), prueba::rutaCaptura(nombre).c_str()));
    }

    std::string respuesta = ServidorHTTPPrueba::respuesta(200, "{}");
    ServidorHTTPPrueba proveedor{[this](const prueba::PeticionHTTP&) { return respuesta; }};
    std::shared_ptr<Navegacion> nav = std::make_shared<Navegacion>();
    std::shared_ptr<prueba::EditorDoble> editor = std::make_shared<prueba::EditorDoble>("0123456789abcdef");
    std::unique_ptr<PresentadorAjustes> presentador;
    std::vector<std::string> abiertos;

private:
    Navegador::Abridor anterior_;
};

TEST_F(AjustesTest, ClavesDesdeLaPaginaYTarjetas) {
    nav->fijarAjustes(true);
    ASSERT_NE(presentador->hoja(), nullptr);
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#servicios li').length === 7"));
    EXPECT_EQ(en("return document.getElementById('integraciones').hidden;"), false);

    // Rejected: the provider's rejection sentence, and nothing in the keychain.
    respuesta = ServidorHTTPPrueba::respuesta(401, R"({"error":"invalid_api_key"})");
    en(R"(const li = document.querySelector('#servicios li[data-id="openai"]');
          li.querySelector('input').value = '  sk-mala ';
          li.querySelector('button.principal').click();)");
    ASSERT_TRUE(esperarPagina("document.getElementById('aviso').textContent.includes('no acepta')"));
    EXPECT_EQ(aviso(), "OpenAI no acepta esa clave. Cópiala otra vez de su web (sin espacios) y vuelve a pegarla.");
    EXPECT_EQ(en("return document.getElementById('aviso').className;"), "mal");
    EXPECT_EQ(enLlavero("servicio:openai"), std::nullopt);
    EXPECT_EQ(proveedor.peticiones().back().cabeceras.at("authorization"), "Bearer sk-mala");

    // Accepted: stored in the Secret Service, the row says so.
    respuesta = ServidorHTTPPrueba::respuesta(200, "{}");
    en(R"(const li = document.querySelector('#servicios li[data-id="openai"]');
          li.querySelector('input').value = 'sk-buena';
          li.querySelector('button.principal').click();)");
    ASSERT_TRUE(esperarPagina("document.getElementById('aviso').textContent.includes('la clave funciona')"));
    EXPECT_EQ(aviso(), "OpenAI conectado: la clave funciona");
    EXPECT_EQ(enLlavero("servicio:openai"), "sk-buena");
    ASSERT_TRUE(esperarPagina(
        R"(document.querySelector('#servicios li[data-id="openai"] .estado').textContent === 'Conectado')"));
    capturar("ajustes-integraciones.png");

    // Closing from the page: the sheet goes, the editor's page and the home
    // page's source of cards show the key as connected.
    editor->paginas.clear();
    en("document.getElementById('cerrar').click();");
    ASSERT_TRUE(esperarHasta([&] { return presentador->hoja() == nullptr; }));
    EXPECT_FALSE(nav->ajustes());
    ASSERT_FALSE(editor->paginas.empty());
    EXPECT_EQ(editor->paginas.back().first, "integraciones");
    EXPECT_EQ(tarjeta(editor->paginas.back().second, "openai")["estado"], "activo");
    EXPECT_EQ(tarjeta(nav->integraciones(), "openai")["estado"], "activo");
    EXPECT_EQ(tarjeta(nav->integraciones(), "pexels")["estado"], "conectar");

    // Removing it from a new sheet.
    nav->fijarAjustes(true);
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#servicios li').length === 7"));
    en(R"(document.querySelector('#servicios li[data-id="openai"] button.peligro').click();)");
    ASSERT_TRUE(esperarPagina("document.getElementById('aviso').textContent === 'OpenAI desconectado'"));
    EXPECT_EQ(enLlavero("servicio:openai"), std::nullopt);
}

TEST_F(AjustesTest, ConexionesDesdeLaPagina) {
    respuesta = ServidorHTTPPrueba::respuesta(
        200, R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2025-06-18","serverInfo":{"name":"x"}}})");
    const std::string url = "http://127.0.0.1:" + std::to_string(proveedor.puerto()) + "/mcp";
    nav->fijarAjustes(true);
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#servicios li').length === 7"));
    en("const f = document.getElementById('form-conexion');"
       "document.getElementById('nueva-conexion').open = true;"
       "f.elements.nombre.value = 'Mi MCP'; f.elements.url.value = '  " +
       url +
       " ';"
       "f.elements.secreto.value = 'tok-9'; f.requestSubmit();");
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#conexiones li[data-id]').length === 1"));
    EXPECT_EQ(aviso(), "Conexión guardada. Tu IA la tendrá desde el próximo encargo.");
    const auto lista = Conexiones::lista();
    ASSERT_EQ(lista.size(), 1u);
    EXPECT_EQ(lista[0].nombre, "mi-mcp");
    EXPECT_EQ(lista[0].url, url);
    EXPECT_EQ(enLlavero("conexion:" + lista[0].id), "tok-9");

    en("document.querySelector('#conexiones li[data-id] button:nth-of-type(1)').click();");
    ASSERT_TRUE(esperarPagina("document.querySelector('[data-prueba]').textContent.startsWith('Funciona')"));
    EXPECT_EQ(proveedor.peticiones().back().cabeceras.at("authorization"), "Bearer tok-9");

    // A refused save answers with its reason and changes nothing.
    en("const f = document.getElementById('form-conexion');"
       "f.elements.nombre.value = 'otra'; f.elements.url.value = 'http://ejemplo.com/mcp'; f.requestSubmit();");
    ASSERT_TRUE(esperarPagina("document.getElementById('aviso').textContent.startsWith('La dirección')"));
    EXPECT_EQ(Conexiones::lista().size(), 1u);

    en("document.querySelector('#conexiones li[data-id] button.peligro').click();");
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#conexiones li[data-id]').length === 0"));
    EXPECT_TRUE(Conexiones::lista().empty());
    EXPECT_EQ(enLlavero("conexion:" + lista[0].id), std::nullopt);
}

TEST_F(AjustesTest, FuentesDesdeElSelector) {
    std::error_code ec;
    fs::remove_all(Fuentes::carpeta(), ec);
    nav->fijarAjustes(true);
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#servicios li').length === 7"));
    // The chooser answers with one real font file.
    const_cast<AjustesHoja&>(hoja()).modelo().fijarElegirFuentes(
        []() -> Tarea<std::optional<std::vector<std::string>>> {
            co_return std::vector<std::string>{"/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"};
        });
    editor->paginas.clear();
    en("document.getElementById('anadir-fuentes').click();");
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#fuentes li[data-familia]').length === 1"));
    EXPECT_EQ(aviso(), "Añadidas 1 fuente de 1 familia: DejaVu Serif.");
    ASSERT_FALSE(editor->paginas.empty());
    EXPECT_EQ(editor->paginas.back().first, "fuentes");
    EXPECT_EQ(editor->paginas.back().second.at(0)["familia"], "DejaVu Serif");
    // The page shows the family in its own face, loaded through "fuente:".
    ASSERT_TRUE(
        esperarPagina("[...document.fonts].some(f => f.status === 'loaded' && f.family.startsWith('fuente-usuario'))"));

    // A cancelled chooser answers nothing.
    const_cast<AjustesHoja&>(hoja()).modelo().fijarElegirFuentes(
        []() -> Tarea<std::optional<std::vector<std::string>>> { co_return std::nullopt; });
    en("document.getElementById('aviso').textContent = '';"
       "document.getElementById('anadir-fuentes').click();");
    esperarHasta([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_EQ(aviso(), "");

    en("document.querySelector('#fuentes li[data-familia] button').click();");
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#fuentes li[data-familia]').length === 0"));
    EXPECT_TRUE(Fuentes::lista().empty());
}

TEST_F(AjustesTest, PestanaDeAgentes) {
    nav->fijarAgentes(true);
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#lista-agentes li').length === 7"));
    EXPECT_EQ(en("return document.getElementById('agentes').hidden;"), false);
    EXPECT_EQ(en("return document.getElementById('integraciones').hidden;"), true);
    EXPECT_EQ(
        en("return [...document.querySelectorAll('#lista-agentes li strong')].map(e => e.textContent);"),
        json({"Claude (app)", "Claude Code", "Codex · ChatGPT", "Cursor", "VS Code", "OpenCode", "Otros agentes"}));
    en(R"(document.querySelector('#lista-agentes li[data-id="cursor"] button').click();)");
    ASSERT_TRUE(esperarPagina("document.getElementById('aviso').textContent.includes('Reinicia Cursor')"));
    EXPECT_TRUE(fs::exists(fs::path(std::getenv("HOME")) / ".cursor" / "mcp.json"));
    ASSERT_TRUE(esperarPagina(
        R"(document.querySelector('#lista-agentes li[data-id="cursor"] .estado').textContent === 'Conectado')"));
    capturar("ajustes-agentes.png");

    // "abrir" only takes web addresses.
    en("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'abrir', url: "
       "'file:///etc/passwd'})}));"
       "document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'abrir', url: "
       "'https://platform.openai.com/api-keys'})}));");
    ASSERT_TRUE(esperarHasta([&] { return !abiertos.empty(); }));
    EXPECT_EQ(abiertos, std::vector<std::string>{"https://platform.openai.com/api-keys"});

    // Lowering the flag closes the sheet.
    nav->fijarAgentes(false);
    EXPECT_EQ(presentador->hoja(), nullptr);
}

// The five clients with files, registered from the page; then the real
// claude and codex command lines list the bridge.
TEST_F(AjustesTest, LosClientesRegistradosLoMuestranSusCLIs) {
    nav->fijarAgentes(true);
    ASSERT_TRUE(esperarPagina("document.querySelectorAll('#lista-agentes li').length === 7"));
    const std::pair<const char*, const char*> clientes[] = {{"claudeCode", "Abre Claude Code"},
                                                            {"codex", "Reinicia Codex o ChatGPT."},
                                                            {"cursor", "Reinicia Cursor"},
                                                            {"vscode", "Reinicia VS Code"},
                                                            {"opencode", "Reinicia OpenCode."}};
    for (const auto& [id, despues] : clientes) {
        en("document.getElementById('aviso').textContent = '';"
           "document.querySelector('#lista-agentes li[data-id=\"" +
           std::string(id) + "\"] button').click();");
        ASSERT_TRUE(esperarPagina("document.getElementById('aviso').textContent !== ''", std::chrono::seconds(60)));
        EXPECT_NE(aviso().find(despues), std::string::npos) << id << ": " << aviso();
        EXPECT_EQ(en("return document.getElementById('aviso').className;"), "") << id << ": " << aviso();
        ASSERT_TRUE(esperarPagina("document.querySelector('#lista-agentes li[data-id=\"" + std::string(id) +
                                  "\"] .estado').textContent === 'Conectado'"));
    }
    const fs::path casa = std::getenv("HOME");
    for (const char* fichero :
         {".cursor/mcp.json", ".config/Code/User/mcp.json", ".config/opencode/opencode.json", ".codex/config.toml"})
        EXPECT_TRUE(fs::exists(casa / fichero)) << fichero;
    capturar("ajustes-agentes-conectados.png");

    const std::map<std::string, std::string> entorno = {{"HOME", casa.string()},
                                                        {"CLAUDE_CONFIG_DIR", ""},
                                                        {"CODEX_HOME", ""},
                                                        {"DISABLE_AUTOUPDATER", "1"},
                                                        {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"}};
    const auto claude = prueba::ejecutarPrograma(CLAUDE_BIN, {"mcp", "list"}, "", entorno, std::chrono::seconds(60));
    EXPECT_NE(claude.salida.find("sorvenia-tarvel"), std::string::npos) << claude.salida << claude.errores;
    const auto codex = prueba::ejecutarPrograma(CODEX_BIN, {"mcp", "list"}, "", entorno, std::chrono::seconds(60));
    EXPECT_NE(codex.salida.find("sorvenia-tarvel"), std::string::npos) << codex.salida << codex.errores;
}

}  // namespace
}  // namespace sorvenia
