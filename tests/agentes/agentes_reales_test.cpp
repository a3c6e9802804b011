// The real claude and codex (pinned in tests/apoyo/agentes) against the
// scripted stand-in of their model APIs and the application's own MCP
// server, run with the command lines the application gives them (prompt on
// standard input, the MCP server named "tarvel"): the script makes each
// agent call two canvas tools on the route key's design and then end with a
// text; the server must see both calls with that key, the stand-in must get
// both results back, the output must hold the lines the application reads,
// and the application's line readers must make the expected events of them.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "centro/agente_lineas.h"
#include "centro/servidor_mcp.h"
#include "ejecutar_prueba.h"
#include "agentes_prueba.h"
#include "modelo_falso.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;

constexpr const char* clave = "ruta0123abcd";
constexpr const char* textoVer = "Tarvel: m1 «Inicio» · 390 × 844";
constexpr const char* textoCrear = "Mesa m2 «Contacto» creada.";
constexpr const char* textoFinal = "He añadido la sección de contacto.";

const json guion = {{"pasos",
                     {{{"herramienta", "ver_tarvel"}},
                      {{"texto", "Creo la sección."}, {"herramienta", "crear_mesa"}, {"argumentos", {{"nombre", "Contacto"}}}},
                      {{"texto", textoFinal}}}}};

std::vector<json> lineasJSON(const std::string& salida) {
    std::vector<json> lineas;
    std::size_t inicio = 0;
    while (inicio < salida.size()) {
        std::size_t fin = salida.find('\n', inicio);
        if (fin == std::string::npos) fin = salida.size();
        json linea = json::parse(salida.substr(inicio, fin - inicio), nullptr, false);
        if (!linea.is_discarded()) lineas.push_back(std::move(linea));
        inicio = fin + 1;
    }
    return lineas;
}

// The events the application reads from a run's output, one text each:
// "sesion <id>", "paso <tool> <input>", "hecho", "hecho con error",
// "texto <text>" (trailing line ends dropped), "fin <text>". The agents' own
// tool searches (which load deferred tools) are left out with their results:
// they are not the canvas's. A session id repeated on later lines is listed
// once. Every finished step must be one that started and is still open.
template <class Leer>
std::vector<std::string> eventosDe(const std::string& salida, Leer leer) {
    std::vector<EventoAgente> eventos;
    std::size_t inicio = 0;
    while (inicio < salida.size()) {
        std::size_t fin = salida.find('\n', inicio);
        if (fin == std::string::npos) fin = salida.size();
        leer(std::string_view(salida).substr(inicio, fin - inicio), [&](EventoAgente e) { eventos.push_back(std::move(e)); });
        inicio = fin + 1;
    }
    std::vector<std::string> vistos;
    std::set<std::string> abiertos, busquedas;
    for (const EventoAgente& e : eventos) {
        if (const auto* paso = std::get_if<EventoAgente::Paso>(&e.valor)) {
            if (paso->herramienta == "ToolSearch" || paso->herramienta == "tool_search") {
                busquedas.insert(paso->id);
                continue;
            }
            EXPECT_TRUE(abiertos.insert(paso->id).second) << "paso repetido " << paso->id;
            vistos.push_back("paso " + paso->herramienta + " " + paso->entrada.dump());
        } else if (const auto* hecho = std::get_if<EventoAgente::PasoHecho>(&e.valor)) {
            if (busquedas.contains(hecho->id)) continue;
            EXPECT_EQ(abiertos.erase(hecho->id), 1u) << "paso hecho sin empezar " << hecho->id;
            vistos.push_back(hecho->error ? "hecho con error" : "hecho");
        } else if (const auto* texto = std::get_if<EventoAgente::Texto>(&e.valor)) {
            std::string t = texto->texto;
            while (!t.empty() && t.back() == '\n') t.pop_back();
            vistos.push_back("texto " + t);
        } else if (const auto* sesion = std::get_if<EventoAgente::Sesion>(&e.valor)) {
            if (std::find(vistos.begin(), vistos.end(), "sesion " + sesion->id) == vistos.end())
                vistos.push_back("sesion " + sesion->id);
        } else if (const auto* final = std::get_if<EventoAgente::Fin>(&e.valor)) {
            vistos.push_back("fin " + final->texto);
        }
    }
    EXPECT_TRUE(abiertos.empty());
    return vistos;
}

class AgentesReales : public ::testing::Test {
protected:
    void SetUp() override {
        char plantilla[] = "/tmp/agentes-reales-XXXXXX";
        ASSERT_NE(mkdtemp(plantilla), nullptr);
        casa_ = plantilla;
        servidor_.ponerEjecutar([this](PeticionHerramienta p, AlTerminarHerramienta terminar) {
            const std::string texto = p.nombre == "ver_tarvel" ? textoVer : p.nombre == "crear_mesa" ? textoCrear : "?";
            {
                std::lock_guard bloqueo(mutex_);
                llamadas_.push_back(std::move(p));
            }
            terminar(json::array({{{"type", "text"}, {"text", texto}}}));
        });
        ASSERT_TRUE(servidor_.arrancar(std::nullopt).ok());
    }
    void TearDown() override {
        servidor_.parar();
        fs::remove_all(casa_);
    }

    std::string urlMCP() const {
        return "http://127.0.0.1:" + std::to_string(servidor_.puerto()) + "/mcp/" + servidor_.token() + "/" + clave;
    }

    // Nothing of the machine's own configuration, and nothing that leaves
    // 127.0.0.1: no proxies, no updates, no telemetry or error reports.
    std::map<std::string, std::string> entornoComun() const {
        return {{"HOME", casa_.string()},
                {"XDG_CONFIG_HOME", ""},
                {"XDG_DATA_HOME", ""},
                {"XDG_CACHE_HOME", ""},
                {"CODEX_HOME", ""},
                {"CLAUDE_CONFIG_DIR", ""},
                {"http_proxy", ""},
                {"https_proxy", ""},
                {"HTTP_PROXY", ""},
                {"HTTPS_PROXY", ""},
                {"all_proxy", ""},
                {"ALL_PROXY", ""},
                {"NO_PROXY", "127.0.0.1,localhost"}};
    }

    // Both tools ran on the route key's design, in the script's order, and
    // their results went back to the model.
    void comprobarHerramientas(const prueba::ModeloFalso& modelo) {
        {
            std::lock_guard bloqueo(mutex_);
            ASSERT_EQ(llamadas_.size(), 2u);
            EXPECT_EQ(llamadas_[0].nombre, "ver_tarvel");
            EXPECT_EQ(llamadas_[1].nombre, "crear_mesa");
            EXPECT_EQ(llamadas_[1].argumentos, json({{"nombre", "Contacto"}}));
            for (const auto& llamada : llamadas_) EXPECT_EQ(llamada.clave, std::optional<std::string>(clave));
        }
        const auto resultados = modelo.resultados();
        ASSERT_EQ(resultados.size(), 2u);
        EXPECT_EQ(resultados[0].herramienta, "ver_tarvel");
        EXPECT_NE(resultados[0].texto.find(textoVer), std::string::npos) << resultados[0].texto;
        EXPECT_EQ(resultados[1].herramienta, "crear_mesa");
        EXPECT_NE(resultados[1].texto.find(textoCrear), std::string::npos) << resultados[1].texto;
        EXPECT_FALSE(resultados[0].error || resultados[1].error);
        EXPECT_EQ(modelo.pasosDados(), 3u);
    }

    fs::path casa_;
    ServidorMCP servidor_;
    std::mutex mutex_;
    std::vector<PeticionHerramienta> llamadas_;
};

TEST_F(AgentesReales, ClaudeLlamaALasHerramientasYDevuelveSusResultados) {
    prueba::ModeloFalso modelo(guion);
    const fs::path trabajo = casa_ / "trabajo";
    fs::create_directories(trabajo);
    std::ofstream(trabajo / "mcp.json") << json{{"mcpServers", {{"tarvel", {{"type", "http"}, {"url", urlMCP()}}}}}};
    auto entorno = entornoComun();
    entorno.insert({{"ANTHROPIC_BASE_URL", modelo.url()},
                    {"ANTHROPIC_API_KEY", "sk-ant-prueba"},
                    {"ANTHROPIC_AUTH_TOKEN", ""},
                    {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"},
                    {"DISABLE_AUTOUPDATER", "1"},
                    {"DISABLE_TELEMETRY", "1"},
                    {"DISABLE_ERROR_REPORTING", "1"},
                    {"MAX_MCP_OUTPUT_TOKENS", "60000"}});
    const auto r = prueba::ejecutarPrograma(
        CLAUDE_BIN,
        {"-p", "--effort", "high", "--output-format", "stream-json", "--include-partial-messages", "--verbose",
         "--mcp-config", (trabajo / "mcp.json").string(), "--strict-mcp-config", "--setting-sources", "project,local",
         "--append-system-prompt", "Trabajas en el tarvel.", "--allowedTools", "mcp__tarvel__ver_tarvel",
         "mcp__tarvel__crear_mesa"},
        "Añade una sección de contacto.", entorno, 120s);
    ASSERT_EQ(r.estado, 0) << r.errores << r.salida;
    comprobarHerramientas(modelo);

    for (const auto& p : modelo.peticiones()) EXPECT_EQ(p.ruta.rfind("/v1/messages", 0), 0u) << p.ruta;

    // The stream: init with the session, the two tool calls and their
    // results, and the final result with the script's text.
    const auto lineas = lineasJSON(r.salida);
    ASSERT_FALSE(lineas.empty()) << r.salida;
    EXPECT_EQ(lineas.front().value("type", ""), "system");
    EXPECT_EQ(lineas.front().value("subtype", ""), "init");
    const std::string sesion = lineas.front().value("session_id", "");
    EXPECT_FALSE(sesion.empty());
    std::vector<std::string> llamadas, resultados;
    for (const json& l : lineas) {
        if (!l.contains("message") || !l["message"].contains("content") || !l["message"]["content"].is_array()) continue;
        for (const json& bloque : l["message"]["content"]) {
            if (bloque.value("type", "") == "tool_use") llamadas.push_back(bloque.value("name", ""));
            if (bloque.value("type", "") == "tool_result") resultados.push_back(bloque.dump());
        }
    }
    // ToolSearch may come first when claude defers the MCP tools.
    std::erase(llamadas, "ToolSearch");
    EXPECT_EQ(llamadas, (std::vector<std::string>{"mcp__tarvel__ver_tarvel", "mcp__tarvel__crear_mesa"}));
    ASSERT_GE(resultados.size(), 2u);
    EXPECT_NE(resultados.back().find("Contacto"), std::string::npos) << resultados.back();
    const json& fin = lineas.back();
    EXPECT_EQ(fin.value("type", ""), "result");
    EXPECT_EQ(fin.value("subtype", ""), "success");
    EXPECT_EQ(fin.value("result", ""), textoFinal);
    EXPECT_EQ(fin.value("session_id", ""), sesion);

    // What the application's reader makes of that output.
    EXPECT_EQ(eventosDe(r.salida, Agente::leerLineaClaude),
              (std::vector<std::string>{"sesion " + sesion, "paso mcp__tarvel__ver_tarvel {}", "hecho",
                                        "texto Creo la sección.", R"(paso mcp__tarvel__crear_mesa {"nombre":"Contacto"})",
                                        "hecho", std::string("texto ") + textoFinal, std::string("fin ") + textoFinal}));
}

TEST_F(AgentesReales, CodexLlamaALasHerramientasYDevuelveSusResultados) {
    prueba::ModeloFalso modelo(guion);
    fs::create_directories(casa_ / ".codex");
    std::ofstream(casa_ / ".codex/config.toml") << prueba::configuracionCodex(modelo.url());
    auto entorno = entornoComun();
    entorno.insert({{"MODELO_FALSO_API_KEY", "sk-prueba"}, {"OPENAI_API_KEY", ""}});
    const fs::path trabajo = casa_ / "trabajo";
    fs::create_directories(trabajo);
    const auto r = prueba::ejecutarPrograma(CODEX_BIN,
                                            {"exec", "--json", "--skip-git-repo-check", "-s", "read-only", "-C",
                                             trabajo.string(), "-c", "mcp_servers.tarvel.url=\"" + urlMCP() + "\"", "-c",
                                             "mcp_servers.tarvel.default_tools_approval_mode=\"approve\""},
                                            "Añade una sección de contacto.", entorno, 120s);
    ASSERT_EQ(r.estado, 0) << r.errores << r.salida;
    comprobarHerramientas(modelo);

    for (const auto& p : modelo.peticiones()) EXPECT_EQ(p.ruta, "/v1/responses");

    const auto lineas = lineasJSON(r.salida);
    ASSERT_FALSE(lineas.empty()) << r.salida;
    EXPECT_EQ(lineas.front().value("type", ""), "thread.started");
    EXPECT_FALSE(lineas.front().value("thread_id", "").empty());
    std::vector<std::string> herramientas;
    std::string mensaje;
    for (const json& l : lineas) {
        EXPECT_NE(l.value("type", ""), "error") << l.dump();
        if (l.value("type", "") != "item.completed" || !l.contains("item")) continue;
        const json& item = l["item"];
        EXPECT_NE(item.value("type", ""), "error") << item.dump();
        if (item.value("type", "") == "mcp_tool_call") {
            EXPECT_EQ(item.value("server", ""), "tarvel");
            EXPECT_EQ(item.value("status", ""), "completed") << item.dump();
            herramientas.push_back(item.value("tool", ""));
        }
        if (item.value("type", "") == "agent_message") mensaje = item.value("text", "");
    }
    EXPECT_EQ(herramientas, (std::vector<std::string>{"ver_tarvel", "crear_mesa"}));
    EXPECT_EQ(mensaje, textoFinal);
    EXPECT_EQ(lineas.back().value("type", ""), "turn.completed");

    // Codex reports no end of its own: the runner adds it after the exit.
    EXPECT_EQ(eventosDe(r.salida, Agente::leerLineaCodex),
              (std::vector<std::string>{"sesion " + lineas.front().value("thread_id", ""),
                                        "paso mcp__tarvel__ver_tarvel {}", "hecho", "texto Creo la sección.",
                                        R"(paso mcp__tarvel__crear_mesa {"nombre":"Contacto"})", "hecho",
                                        std::string("texto ") + textoFinal}));
}

}  // namespace
}  // namespace sorvenia
