// Agent runs from an open design with the real claude and codex (pinned in
// tests/apoyo/agentes) against the scripted stand-in of their model APIs:
// the real editor page in a WebKitGTK view under Xvfb, the local account
// service, and the hub's own MCP server, which routes the agents' tool
// calls to this design by its route key. The user's request in the chat
// makes the agent look at the canvas, add a mesa, write a section, take a
// capture and finish; the page shows the section, the chat gets the events
// in order, the job is listed while the agent works, the next request
// resumes the agent's session, and the design reaches the account.
// The agents run through the application's own runner.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "cuenta_prueba.h"
#include "diseno_prueba.h"
#include "pagina_prueba.h"
#include "esperar_bucle.h"
#include "navegacion/navegacion.h"
#include "centro/agente.h"
#include "centro/centro.h"
#include "centro/trabajos.h"
#include "editor/gui/editor_abierto.h"
#include "agentes_prueba.h"
#include "modelo_falso.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;
namespace fs = std::filesystem;
using namespace std::chrono_literals;


// The application's runner, noting what each run was asked.
struct Lanzador {
    std::vector<Agente::PeticionAgente> peticiones;
};

class AgentesRealesEditor : public prueba::CuentaPrueba, public ::testing::WithParamInterface<const char*> {
protected:
    // A home, a login PATH with the real claude and codex, and nothing that
    // leaves 127.0.0.1.
    static void SetUpTestSuite() {
        static prueba::CarpetaTemporal raiz;
        const fs::path r = raiz.ruta();
        for (const char* c : {"casa/.codex", "config", "datos", "path-login", "npm"}) fs::create_directories(r / c);
        fs::create_symlink(CLAUDE_BIN, r / "path-login/claude");
        fs::create_symlink(CODEX_BIN, r / "path-login/codex");
        ::setenv("HOME", (r / "casa").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (r / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (r / "datos").c_str(), 1);
        ::setenv("SHELL", (fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/shell-login").c_str(), 1);
        ::setenv("SORVENIA_PATH_LOGIN", ((r / "path-login").string() + ":/usr/bin:/bin").c_str(), 1);
        ::setenv("npm_config_prefix", (r / "npm").c_str(), 1);
        for (const char* v : {"CLAUDECODE", "CODEX_HOME", "CLAUDE_CONFIG_DIR", "http_proxy", "https_proxy",
                              "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "OPENAI_API_KEY",
                              "ANTHROPIC_AUTH_TOKEN"})
            ::unsetenv(v);
        for (const char* v : {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "DISABLE_AUTOUPDATER", "DISABLE_TELEMETRY",
                              "DISABLE_ERROR_REPORTING"})
            ::setenv(v, "1", 1);
        ::setenv("ANTHROPIC_API_KEY", "sk-ant-prueba", 1);
        ::setenv("MODELO_FALSO_API_KEY", "sk-prueba", 1);
        ASSERT_TRUE(iniciarGtk());
    }

    void SetUp() override {
        prueba::CuentaPrueba::SetUp();
        anaConectada();
        cuenta_ = crear();
        ASSERT_TRUE(cuenta_->cliente());
        Centro::compartido().arrancar(cuenta_, nav_);
        ASSERT_TRUE(esperarHasta([] { return Centro::compartido().mcp().puerto() != 0; }, 20s));
        ::setenv("ANTHROPIC_BASE_URL", modelo_.url().c_str(), 1);
        escribirConfiguracionCodex();
    }

    void TearDown() override {
        if (editor_) {
            editor_->cerrar();
            esperarHasta([&] { return !editor_->agenteEnMarcha(); });
            Trabajos::compartido().visto(editor_->clave());
            editor_ = nullptr;
        }
        prueba::CuentaPrueba::TearDown();
    }

    void escribirConfiguracionCodex() const {
        std::ofstream(fs::path(std::getenv("HOME")) / ".codex/config.toml") << prueba::configuracionCodex(modelo_.url());
    }

    std::string guardarEnLaCuenta(const json& doc) {
        const auto r = servicio.pedirComoAna("POST", "accion=guardar", json({{"nombre", "Barbería"}, {"doc", doc}}).dump());
        EXPECT_EQ(r.status, 200) << r.cuerpo;
        return json::parse(r.cuerpo).at("diseno").at("id").get<std::string>();
    }

    void abrir(const std::string& id) {
        cuenta_->usarCarpetaCopias(carpeta.ruta() / "copias");
        auto lanzador = lanzador_;
        editor_ = EditorAbierto::crear([lanzador](Agente::PeticionAgente p, auto proceso, EventosAgente eventos) {
            lanzador->peticiones.push_back(p);
        return Agente::lanzar(std::move(p), std::move(proceso), std::move(eventos));
        });
        editor_->webEditor();
        editor_->preparar(cuenta_, nav_, id, std::nullopt);
        ASSERT_TRUE(esperarHasta([&] { return editor_->listo() || editor_->errorCarga(); }, 30s));
        ASSERT_FALSE(editor_->errorCarga()) << *editor_->errorCarga();
        pagina("window.__chat = []; const o = window.tarvel.chat;\n"
               "window.tarvel.chat = d => { window.__chat.push(d); return o.call(window.tarvel, d); };\n"
               "return true;");
    }

    json pagina(const std::string& cuerpo, json args = json::object()) {
        const auto r = esperarTarea(editor_->web()->llamar(cuerpo, std::move(args)));
        return r && r->ok() ? **r : json("sin respuesta");
    }
    std::vector<json> chat() {
        const json l = pagina("return window.__chat || [];");
        return l.is_array() ? std::vector<json>(l.begin(), l.end()) : std::vector<json>{};
    }
    std::size_t cuantos(const std::string& tipo) {
        const auto c = chat();
        return static_cast<std::size_t>(std::ranges::count_if(c, [&](const json& m) { return m.value("tipo", "") == tipo; }));
    }
    void pedir(const std::string& texto, const std::string& ia) {
        pagina("window.tarvel.pedir({texto: t, ia: i}); return 1;", {{"t", texto}, {"i", ia}});
    }
    std::string herramienta(const std::string& nombre, const json& args = json::object()) {
        const json r = pagina("const r = await window.tarvel.herramienta(n, a); return r.texto;", {{"n", nombre}, {"a", args}});
        return r.is_string() ? r.get<std::string>() : "";
    }

    std::shared_ptr<Cuenta> cuenta_;
    std::shared_ptr<Navegacion> nav_ = std::make_shared<Navegacion>();
    std::shared_ptr<EditorAbierto> editor_;
    prueba::ModeloFalso modelo_{prueba::guionContacto()};
    std::shared_ptr<Lanzador> lanzador_ = std::make_shared<Lanzador>();
};

TEST_P(AgentesRealesEditor, ElAgenteConstruyeLaSeccionYRetomaLaSesion) {
    const std::string ia = GetParam();
    const std::string id = guardarEnLaCuenta(prueba::disenoGuardado());
    abrir(id);
    pedir("Añade una sección de contacto.", ia);

    // Mid-run (the final text is held back): the job is listed as working,
    // and the editor with its chat is photographed for a person to look at.
    const auto pasosHechos = [&] {
        std::set<std::string> sesiones;
        const auto r = prueba::resumenDelChat(chat(), sesiones);
        return static_cast<std::size_t>(std::ranges::count(r, "pasoHecho"));
    };
    ASSERT_TRUE(esperarHasta([&] { return pasosHechos() >= prueba::herramientasContacto.size(); }, 90s))
        << chat().size() << " mensajes: " << json(chat()).dump();
    ASSERT_TRUE(editor_->agenteEnMarcha());
    {
        const auto& info = Trabajos::compartido().info();
        const auto trabajo = info.find(editor_->clave());
        ASSERT_NE(trabajo, info.end());
        EXPECT_EQ(trabajo->second.estado, "trabajando");
        EXPECT_EQ(trabajo->second.modo, "diseno");
    }
    const auto png = esperarTarea(editor_->web()->instantanea(1400, FormatoImagen::png));
    ASSERT_TRUE(png && png->ok());
    EXPECT_TRUE(prueba::guardarFoto(**png, "editor-agente-" + ia + ".png"));

    ASSERT_TRUE(esperarHasta([&] { return cuantos("termina") == 1; }, 60s)) << json(chat()).dump();
    EXPECT_FALSE(editor_->agenteEnMarcha());
    EXPECT_EQ(Trabajos::compartido().info().count(editor_->clave()), 0u) << "an editor on screen shows the end itself";

    // The chat got every step, in order, and the end.
    std::set<std::string> sesiones;
    EXPECT_EQ(prueba::resumenDelChat(chat(), sesiones),
              (std::vector<std::string>{"empieza", "paso mcp__tarvel__ver_tarvel", "pasoHecho", "texto",
                                        "paso mcp__tarvel__crear_mesa", "pasoHecho", "paso mcp__tarvel__escribir",
                                        "pasoHecho", "paso mcp__tarvel__captura", "pasoHecho",
                                        "paso mcp__tarvel__terminar", "pasoHecho", "texto", "fin", "termina"}));
    EXPECT_EQ(chat().back(), json({{"tipo", "termina"}, {"codigo", 0}, {"parado", false}}));
    ASSERT_EQ(sesiones.size(), 1u);
    const std::string sesion = *sesiones.begin();

    // The tools really ran on this design, and their results went back.
    const auto resultados = modelo_.resultados();
    std::vector<std::string> vueltas;
    for (const auto& r : resultados) vueltas.push_back(r.herramienta + (r.error ? " con error" : ""));
    EXPECT_EQ(vueltas, prueba::herramientasContacto);
    // The saved design has one mesa «Contacto»; the agent added another.
    const std::string vista = herramienta("ver_tarvel");
    std::size_t contactos = 0;
    for (auto p = vista.find("«Contacto»"); p != std::string::npos; p = vista.find("«Contacto»", p + 1)) ++contactos;
    EXPECT_EQ(contactos, 2u) << vista;
    EXPECT_NE(herramienta("leer", {{"id", "m1"}}).find("Pide cita en el 600 123 456."), std::string::npos)
        << herramienta("leer", {{"id", "m1"}});

    // The design reaches the account with the new section.
    const fs::path guardado = servicio.datos() / "clientes/1/disenos" / (id + ".json");
    EXPECT_TRUE(esperarHasta(
        [&] {
            std::ifstream f(guardado);
            const std::string texto((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            return texto.find("Pide cita en el 600 123 456.") != std::string::npos;
        },
        30s))
        << guardado;

    // The next request resumes the session: the agent sends the first
    // conversation along with the new request.
    const std::size_t antes = modelo_.peticiones().size();
    pedir("¿Sigues ahí?", ia);
    ASSERT_TRUE(esperarHasta([&] { return cuantos("termina") == 2; }, 90s)) << json(chat()).dump();
    ASSERT_EQ(lanzador_->peticiones.size(), 2u);
    EXPECT_FALSE(lanzador_->peticiones[0].sesion);
    EXPECT_EQ(lanzador_->peticiones[1].sesion, std::optional(sesion));
    const auto peticiones = modelo_.peticiones();
    ASSERT_GT(peticiones.size(), antes);
    EXPECT_NE(peticiones.back().cuerpo.find("Añade una sección de contacto."), std::string::npos);
    EXPECT_NE(peticiones.back().cuerpo.find("¿Sigues ahí?"), std::string::npos);
    EXPECT_EQ(chat().back(), json({{"tipo", "termina"}, {"codigo", 0}, {"parado", false}}));
}

INSTANTIATE_TEST_SUITE_P(ClaudeYCodex, AgentesRealesEditor, ::testing::Values("claude", "codex"));

}  // namespace
}  // namespace sorvenia
