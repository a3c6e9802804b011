// The test build, end to end, with the real claude and codex (pinned in
// tests/apoyo/agentes) against the scripted stand-in of their model APIs:
// a signed-in customer opens a design of the local account service, asks in
// the editor's chat for a contact section, and the agent, run by the
// application, looks at the canvas, adds a mesa, writes the section, takes a
// capture and finishes. The page shows the section, the chat gets the
// events in order, the job is listed while the agent works and not after,
// the next request resumes the session, and the design reaches the account.
// A screenshot of the editor mid-run stays in build/capturas/.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "app_e2e.h"
#include "diseno_prueba.h"
#include "agentes_prueba.h"
#include "modelo_falso.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;

constexpr const char* idDiseno = "00112233445566bb";

class AgentesE2E : public prueba::AppE2E, public ::testing::WithParamInterface<const char*> {
protected:
    // The real agents on the login PATH the application sees, talking to
    // the stand-in, and nothing that leaves 127.0.0.1.
    void prepararAgentes() {
        const fs::path bin = raiz_ / "path-login";
        fs::create_directories(bin);
        fs::create_symlink(CLAUDE_BIN, bin / "claude");
        fs::create_symlink(CODEX_BIN, bin / "codex");
        const std::map<std::string, std::string> cambios = {
            {"SHELL", (fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/shell-login").string()},
            {"SORVENIA_PATH_LOGIN", bin.string() + ":/usr/bin:/bin"},
            {"ANTHROPIC_BASE_URL", modelo_.url()},
            {"ANTHROPIC_API_KEY", "sk-ant-prueba"},
            {"MODELO_FALSO_API_KEY", "sk-prueba"},
            {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"},
            {"DISABLE_AUTOUPDATER", "1"},
            {"DISABLE_TELEMETRY", "1"},
            {"DISABLE_ERROR_REPORTING", "1"}};
        const std::set<std::string> fuera = {"CLAUDECODE", "CODEX_HOME", "CLAUDE_CONFIG_DIR", "http_proxy",
                                             "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                                             "OPENAI_API_KEY", "ANTHROPIC_AUTH_TOKEN"};
        std::erase_if(entorno_, [&](const std::string& e) {
            const std::string nombre = e.substr(0, e.find('='));
            return cambios.contains(nombre) || fuera.contains(nombre);
        });
        for (const auto& [nombre, valor] : cambios) entorno_.push_back(nombre + "=" + valor);

        fs::create_directories(raiz_ / "home/.codex");
        std::ofstream(raiz_ / "home/.codex/config.toml") << prueba::configuracionCodex(modelo_.url());
    }

    // Every call of the page's chat and job functions, from now on.
    bool escuchar() {
        return valor("window.__chat = []; window.__trabajos = [];\n"
                     "for (const [f, lista] of [['chat', window.__chat], ['trabajos', window.__trabajos]]) {\n"
                     "  const o = window.tarvel[f]; window.tarvel[f] = d => { lista.push(d); return o.call(window.tarvel, d); }; }\n"
                     "return true;",
                     "editor") == json(true);
    }
    std::vector<json> llamadas(const std::string& lista) {
        const json l = valor("return window." + lista + " || [];", "editor");
        return l.is_array() ? std::vector<json>(l.begin(), l.end()) : std::vector<json>{};
    }
    void pedir(const std::string& texto, const std::string& ia) {
        valor("window.tarvel.pedir({texto: " + json(texto).dump() + ", ia: " + json(ia).dump() + "}); return 1;",
              "editor");
    }

    std::size_t cuantos(const std::string& tipo) {
        std::set<std::string> s;
        const auto r = prueba::resumenDelChat(llamadas("__chat"), s);
        return static_cast<std::size_t>(std::ranges::count(r, tipo));
    }

    prueba::ModeloFalso modelo_{prueba::guionContacto()};
};

TEST_P(AgentesE2E, ElAgenteDeLaAplicacionConstruyeLaSeccion) {
    const std::string ia = GetParam();
    entrarComoCliente();
    guardarDiseno({{"id", idDiseno},
                   {"nombre", "Barbería Ercilla"},
                   {"version", 1},
                   {"creado", "2026-12-01 10:00:00"},
                   {"modificado", "2026-12-01 10:00:00"},
                   {"doc", prueba::disenoGuardado()}});
    arrancarCuentaLocal();
    prepararAgentes();
    arrancarAplicacion({"--abrir", idDiseno});
    ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("«Contacto»") != std::string::npos; }, 40s))
        << herramienta("ver_tarvel");
    ASSERT_TRUE(escuchar());
    pedir("Añade una sección de contacto.", ia);

    // Mid-run: every step done, the final text held back.
    ASSERT_TRUE(esperarQue([&] { return cuantos("pasoHecho") >= prueba::herramientasContacto.size(); }, 120s))
        << json(llamadas("__chat")).dump();
    EXPECT_TRUE(capturar("ventana", "e2e-agente-" + ia + ".png", "editor"));
    ASSERT_TRUE(esperarQue([&] { return cuantos("termina") == 1; }, 60s)) << json(llamadas("__chat")).dump();

    std::set<std::string> sesiones;
    EXPECT_EQ(prueba::resumenDelChat(llamadas("__chat"), sesiones),
              (std::vector<std::string>{"empieza", "paso mcp__tarvel__ver_tarvel", "pasoHecho", "texto",
                                        "paso mcp__tarvel__crear_mesa", "pasoHecho", "paso mcp__tarvel__escribir",
                                        "pasoHecho", "paso mcp__tarvel__captura", "pasoHecho",
                                        "paso mcp__tarvel__terminar", "pasoHecho", "texto", "fin", "termina"}));
    EXPECT_EQ(llamadas("__chat").back(), json({{"tipo", "termina"}, {"codigo", 0}, {"parado", false}}));
    ASSERT_EQ(sesiones.size(), 1u);

    // The job was listed as working, and is not once the run is over.
    const auto trabajos = llamadas("__trabajos");
    EXPECT_TRUE(std::ranges::any_of(trabajos, [](const json& lista) {
        return lista.is_array() && std::ranges::any_of(lista, [](const json& t) { return t.value("estado", "") == "trabajando"; });
    })) << json(trabajos).dump();
    ASSERT_FALSE(trabajos.empty());
    EXPECT_FALSE(std::ranges::any_of(trabajos.back(), [](const json& t) { return t.value("estado", "") == "trabajando"; }))
        << trabajos.back();

    // The tools ran on this design and their results went back.
    std::vector<std::string> vueltas;
    for (const auto& r : modelo_.resultados()) vueltas.push_back(r.herramienta + (r.error ? " con error" : ""));
    EXPECT_EQ(vueltas, prueba::herramientasContacto);
    EXPECT_NE(herramienta("leer", {{"id", "m1"}}).find("Pide cita en el 600 123 456."), std::string::npos);

    // Saved in the account.
    const fs::path guardado = raiz_ / "cuenta-local/clientes/1/disenos" / (std::string(idDiseno) + ".json");
    EXPECT_TRUE(esperarQue([&] { return prueba::leer(guardado).value_or("").find("Pide cita en el 600 123 456.") !=
                                        std::string::npos; }, 30s));

    // The next request resumes the session.
    const std::size_t antes = modelo_.peticiones().size();
    pedir("¿Sigues ahí?", ia);
    ASSERT_TRUE(esperarQue([&] { return cuantos("termina") == 2; }, 120s)) << json(llamadas("__chat")).dump();
    const auto peticiones = modelo_.peticiones();
    ASSERT_GT(peticiones.size(), antes);
    EXPECT_NE(peticiones.back().cuerpo.find("Añade una sección de contacto."), std::string::npos);
    EXPECT_NE(peticiones.back().cuerpo.find("¿Sigues ahí?"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(ClaudeYCodex, AgentesE2E, ::testing::Values("claude", "codex"));

}  // namespace
}  // namespace sorvenia
