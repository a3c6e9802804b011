// The user's own MCP connections in a real claude run (pinned in
// tests/apoyo/agentes) against the stand-in model API: the run is built the
// way the application builds it, with the user's connection to the official
// SDK's reference MCP server (tests/apoyo/mcp_referencia), whose "echo" tool
// the model calls; and a second connection to a stand-in that records what
// claude sends it, so that the secret is seen arriving in its header while
// it never stands in the MCP configuration file or on the command line.
// The same for a real codex run, whose user connections go on its command
// line as configuration overrides that name the secret's variable only.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "puertos_prueba.h"
#include "servicio_local_prueba.h"
#include "proceso.h"
#include "aislado.h"
#include "agentes_prueba.h"
#include "centro/agente_orden.h"
#include "cuenta/llavero.h"
#include "ejecutar_prueba.h"
#include "integraciones/conexiones.h"
#include "modelo_falso.h"
#include "plataforma/identidad.h"
#include "puertos_prueba.h"
#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

using prueba::escucha;
using prueba::puertoLibre;

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;

Conexiones::Conexion http(std::string nombre, std::string url) {
    Conexiones::Conexion c;
    c.nombre = std::move(nombre);
    c.tipo = "mcp-http";
    c.url = std::move(url);
    return c;
}

TEST(ConexionesReales, ClaudeUsaLaConexionDelUsuarioYSuSecretoLlegaSoloPorElEntorno) {
    fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
    const auto llavero = std::make_shared<prueba::LlaveroEnMemoria>();
    const auto anterior = Llavero::usarAlmacen(llavero);

    const auto puerto = puertoLibre();
    prueba::Proceso referencia(MCP_REFERENCIA, {"streamableHttp"},
                               prueba::entornoCon({{"PORT", std::to_string(puerto)}}));
    for (int i = 0; i < 200 && !escucha(puerto); ++i) std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(escucha(puerto));
    prueba::ServidorHTTPPrueba espia(
        [](const prueba::PeticionHTTP&) { return prueba::ServidorHTTPPrueba::respuesta(404, ""); });

    ASSERT_EQ(Conexiones::guardar(http("referencia", "http://127.0.0.1:" + std::to_string(puerto) + "/mcp"),
                                  std::string("tok-ref")),
              std::nullopt);
    ASSERT_EQ(Conexiones::guardar(http("espia", "http://127.0.0.1:" + std::to_string(espia.puerto()) + "/mcp"),
                                  std::string("tok-espia")),
              std::nullopt);

    const fs::path casa = prueba::raizAislada() / "casa";
    const fs::path trabajo = prueba::raizAislada() / "trabajo";
    fs::create_directories(trabajo);
    Agente::Alrededor a;
    a.trabajo = trabajo;
    a.sistema = "Trabajas en el tarvel.";
    a.paraClaude = Conexiones::paraClaude();
    Agente::PeticionAgente p;
    p.peticion = "Repite hola con la herramienta de eco.";
    p.mcpURL = "http://127.0.0.1:9/mcp/sin/servidor";
    const auto orden = Agente::ordenClaude(p, a);
    ASSERT_TRUE(orden) << orden.fallo().mensaje;

    std::ifstream f(trabajo / "mcp.json");
    const std::string configuracion((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const json mcp = json::parse(configuracion);
    EXPECT_EQ(mcp["mcpServers"]["referencia"]["headers"]["Authorization"], "Bearer ${SORVENIA_CONEXION_REFERENCIA}");
    for (const std::string secreto : {"tok-ref", "tok-espia"}) {
        EXPECT_EQ(configuracion.find(secreto), std::string::npos);
        for (const auto& argumento : orden->argumentos) EXPECT_EQ(argumento.find(secreto), std::string::npos);
        EXPECT_EQ(orden->entrada.find(secreto), std::string::npos);
    }
    EXPECT_NE(orden->entrada.find("- MCP «referencia» (herramientas mcp__referencia__*)"), std::string::npos);

    prueba::ModeloFalso modelo(
        {{"pasos", {{{"herramienta", "echo"}, {"argumentos", {{"message", "hola"}}}}, {{"texto", "Listo."}}}}});
    std::map<std::string, std::string> entorno = {{"HOME", casa.string()},
                                                  {"XDG_CONFIG_HOME", ""},
                                                  {"CLAUDE_CONFIG_DIR", ""},
                                                  {"http_proxy", ""},
                                                  {"https_proxy", ""},
                                                  {"HTTP_PROXY", ""},
                                                  {"HTTPS_PROXY", ""},
                                                  {"NO_PROXY", "127.0.0.1,localhost"},
                                                  {"ANTHROPIC_BASE_URL", modelo.url()},
                                                  {"ANTHROPIC_API_KEY", "sk-ant-prueba"},
                                                  {"ANTHROPIC_AUTH_TOKEN", ""},
                                                  {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"},
                                                  {"DISABLE_AUTOUPDATER", "1"},
                                                  {"DISABLE_TELEMETRY", "1"},
                                                  {"DISABLE_ERROR_REPORTING", "1"}};
    for (const auto& [nombre, valor] : orden->entorno) entorno[nombre] = valor;
    const auto r = prueba::ejecutarPrograma(CLAUDE_BIN, orden->argumentos, orden->entrada, entorno, 120s);
    ASSERT_EQ(r.estado, 0) << r.errores << r.salida;

    // The model called the reference server's tool and got its answer.
    const auto resultados = modelo.resultados();
    ASSERT_EQ(resultados.size(), 1u) << r.salida;
    EXPECT_EQ(resultados[0].herramienta, "echo");
    EXPECT_NE(resultados[0].texto.find("hola"), std::string::npos) << resultados[0].texto;
    EXPECT_FALSE(resultados[0].error);
    // The other server got the secret in its header, from the environment.
    bool conSecreto = false;
    for (const auto& peticion : espia.peticiones())
        if (peticion.cabeceras.contains("authorization"))
            conSecreto = conSecreto || peticion.cabeceras.at("authorization") == "Bearer tok-espia";
    EXPECT_TRUE(conSecreto);

    Llavero::usarAlmacen(anterior);
}

TEST(ConexionesReales, CodexUsaLaConexionDelUsuarioYSuSecretoLlegaSoloPorElEntorno) {
    fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
    const auto llavero = std::make_shared<prueba::LlaveroEnMemoria>();
    const auto anterior = Llavero::usarAlmacen(llavero);
    std::error_code ec;
    fs::remove(Conexiones::fichero(), ec);

    const auto puerto = puertoLibre();
    prueba::Proceso referencia(MCP_REFERENCIA, {"streamableHttp"},
                               prueba::entornoCon({{"PORT", std::to_string(puerto)}}));
    for (int i = 0; i < 200 && !escucha(puerto); ++i) std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(escucha(puerto));
    prueba::ServidorHTTPPrueba espia(
        [](const prueba::PeticionHTTP&) { return prueba::ServidorHTTPPrueba::respuesta(404, ""); });
    ASSERT_EQ(Conexiones::guardar(http("referencia", "http://127.0.0.1:" + std::to_string(puerto) + "/mcp"),
                                  std::string("tok-ref")),
              std::nullopt);
    ASSERT_EQ(Conexiones::guardar(http("espia", "http://127.0.0.1:" + std::to_string(espia.puerto()) + "/mcp"),
                                  std::string("tok-espia")),
              std::nullopt);

    const fs::path casa = prueba::raizAislada() / "casa-codex";
    const fs::path trabajo = prueba::raizAislada() / "trabajo-codex";
    fs::create_directories(casa / ".codex");
    fs::create_directories(trabajo);
    prueba::ModeloFalso modelo(
        {{"pasos", {{{"herramienta", "echo"}, {"argumentos", {{"message", "hola"}}}}, {{"texto", "Listo."}}}}});
    std::ofstream(casa / ".codex/config.toml") << prueba::configuracionCodex(modelo.url());

    Agente::Alrededor a;
    a.trabajo = trabajo;
    a.sistema = "Trabajas en el tarvel.";
    a.paraCodex = Conexiones::paraCodex();
    Agente::PeticionAgente p;
    p.peticion = "Repite hola con la herramienta de eco.";
    p.mcpURL = "http://127.0.0.1:9/mcp/sin/servidor";
    const auto orden = Agente::ordenCodex(p, a);
    for (const std::string secreto : {"tok-ref", "tok-espia"}) {
        for (const auto& argumento : orden.argumentos) EXPECT_EQ(argumento.find(secreto), std::string::npos);
        EXPECT_EQ(orden.entrada.find(secreto), std::string::npos);
    }

    std::map<std::string, std::string> entorno = {{"HOME", casa.string()},
                                                  {"XDG_CONFIG_HOME", ""},
                                                  {"XDG_DATA_HOME", ""},
                                                  {"XDG_CACHE_HOME", ""},
                                                  {"CODEX_HOME", ""},
                                                  {"http_proxy", ""},
                                                  {"https_proxy", ""},
                                                  {"HTTP_PROXY", ""},
                                                  {"HTTPS_PROXY", ""},
                                                  {"all_proxy", ""},
                                                  {"ALL_PROXY", ""},
                                                  {"NO_PROXY", "127.0.0.1,localhost"},
                                                  {"MODELO_FALSO_API_KEY", "sk-prueba"},
                                                  {"OPENAI_API_KEY", ""}};
    for (const auto& [nombre, valor] : orden.entorno) entorno[nombre] = valor;
    const auto r = prueba::ejecutarPrograma(CODEX_BIN, orden.argumentos, orden.entrada, entorno, 120s);
    ASSERT_EQ(r.estado, 0) << r.errores << r.salida;

    // The stand-in model was offered the reference server's tool, in the
    // connection's namespace (codex may defer it behind its tool search:
    // then a later request carries it).
    const auto peticiones = modelo.peticiones();
    bool ofrecida = false;
    for (const auto& peticion : peticiones) {
        const json cuerpo = json::parse(peticion.cuerpo, nullptr, false);
        if (cuerpo.is_discarded()) continue;
        // The request's tools, and those a tool search handed back.
        json herramientas = cuerpo.value("tools", json::array());
        for (const json& item : cuerpo.value("input", json::array()))
            if (item.is_object() && item.value("type", "") == "tool_search_output")
                herramientas.push_back(item.value("tools", json::array()));
        const std::string texto = herramientas.dump();
        ofrecida = ofrecida || (texto.find("\"mcp__referencia") != std::string::npos &&
                                texto.find("\"name\":\"echo\"") != std::string::npos);
    }
    EXPECT_TRUE(ofrecida) << peticiones.size() << " peticiones";
    // codex called it and handed its answer back.
    const auto resultados = modelo.resultados();
    ASSERT_EQ(resultados.size(), 1u) << r.salida;
    EXPECT_EQ(resultados[0].herramienta, "echo");
    EXPECT_NE(resultados[0].texto.find("hola"), std::string::npos) << resultados[0].texto;
    EXPECT_FALSE(resultados[0].error);
    bool llamada = false;
    std::istringstream lineas(r.salida);
    for (std::string linea; std::getline(lineas, linea);) {
        const json l = json::parse(linea, nullptr, false);
        if (!l.is_object() || l.value("type", "") != "item.completed" || !l.contains("item")) continue;
        const json& item = l["item"];
        if (item.value("type", "") != "mcp_tool_call") continue;
        EXPECT_EQ(item.value("server", ""), "referencia") << item.dump();
        EXPECT_EQ(item.value("tool", ""), "echo") << item.dump();
        EXPECT_EQ(item.value("status", ""), "completed") << item.dump();
        llamada = true;
    }
    EXPECT_TRUE(llamada) << r.salida;
    // The other server got the secret in its header, from the environment.
    bool conSecreto = false;
    for (const auto& peticion : espia.peticiones())
        if (peticion.cabeceras.contains("authorization"))
            conSecreto = conSecreto || peticion.cabeceras.at("authorization") == "Bearer tok-espia";
    EXPECT_TRUE(conSecreto);

    Llavero::usarAlmacen(anterior);
}

}  // namespace
}  // namespace sorvenia
