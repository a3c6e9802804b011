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
#include <optional>
#include <sstream>
#include <thread>

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

// The keychain in memory and no connections of earlier runs; the reference
// server listening, and two of the user's connections with their secrets:
// "referencia" to it, "espia" to a stand-in that records what arrives. The
// model's script calls the reference server's "echo" tool once.
class ConexionesReales : public ::testing::Test {
protected:
    void SetUp() override {
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        anterior_ = Llavero::usarAlmacen(std::make_shared<prueba::LlaveroEnMemoria>());
        std::error_code ec;
        fs::remove(Conexiones::fichero(), ec);

        const auto puerto = puertoLibre();
        referencia_.emplace(MCP_REFERENCIA, std::vector<std::string>{"streamableHttp"},
                            prueba::entornoCon({{"PORT", std::to_string(puerto)}}));
        ASSERT_TRUE(prueba::esperarEscucha(puerto));
        ASSERT_EQ(Conexiones::guardar(http("referencia", "http://127.0.0.1:" + std::to_string(puerto) + "/mcp"),
                                      std::string("tok-ref")),
                  std::nullopt);
        ASSERT_EQ(Conexiones::guardar(http("espia", "http://127.0.0.1:" + std::to_string(espia_.puerto()) + "/mcp"),
                                      std::string("tok-espia")),
                  std::nullopt);
    }
    void TearDown() override { Llavero::usarAlmacen(anterior_); }

    // The run's order, made the way the application makes it.
    static Agente::PeticionAgente peticion() {
        Agente::PeticionAgente p;
        p.peticion = "Repite hola con la herramienta de eco.";
        p.mcpURL = "http://127.0.0.1:9/mcp/sin/servidor";
        return p;
    }
    static Agente::Alrededor alrededor(const fs::path& trabajo) {
        fs::create_directories(trabajo);
        Agente::Alrededor a;
        a.trabajo = trabajo;
        a.sistema = "Trabajas en el tarvel.";
        return a;
    }

    // No secret stands in the text an agent is handed or shown.
    static void sinSecretos(const std::string& texto) {
        for (const std::string secreto : {"tok-ref", "tok-espia"})
            EXPECT_EQ(texto.find(secreto), std::string::npos) << texto;
    }

    // The agent called the reference server's tool and got its answer.
    void comprobarEco(const std::string& salida) const {
        const auto resultados = modelo_.resultados();
        ASSERT_EQ(resultados.size(), 1u) << salida;
        EXPECT_EQ(resultados[0].herramienta, "echo");
        EXPECT_NE(resultados[0].texto.find("hola"), std::string::npos) << resultados[0].texto;
        EXPECT_FALSE(resultados[0].error);
    }

    // The other server got the secret in its header, from the environment.
    bool espiaRecibioSuSecreto() const {
        for (const auto& p : espia_.peticiones())
            if (p.cabeceras.contains("authorization") && p.cabeceras.at("authorization") == "Bearer tok-espia")
                return true;
        return false;
    }

    std::shared_ptr<Llavero::Almacen> anterior_;
    std::optional<prueba::Proceso> referencia_;
    prueba::ServidorHTTPPrueba espia_{
        [](const prueba::PeticionHTTP&) { return prueba::ServidorHTTPPrueba::respuesta(404, ""); }};
    prueba::ModeloFalso modelo_{
        {{"pasos", {{{"herramienta", "echo"}, {"argumentos", {{"message", "hola"}}}}, {{"texto", "Listo."}}}}}};
};

TEST_F(ConexionesReales, ClaudeUsaLaConexionDelUsuarioYSuSecretoLlegaSoloPorElEntorno) {
    const fs::path trabajo = prueba::raizAislada() / "trabajo";
    auto a = alrededor(trabajo);
    a.paraClaude = Conexiones::paraClaude();
    const auto orden = Agente::ordenClaude(peticion(), a);
    ASSERT_TRUE(orden) << orden.fallo().mensaje;

    std::ifstream f(trabajo / "mcp.json");
    const std::string configuracion((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const json mcp = json::parse(configuracion);
    EXPECT_EQ(mcp["mcpServers"]["referencia"]["headers"]["Authorization"], "Bearer ${SORVENIA_CONEXION_REFERENCIA}");
    sinSecretos(configuracion);
    for (const auto& argumento : orden->argumentos) sinSecretos(argumento);
    sinSecretos(orden->entrada);
    EXPECT_NE(orden->entrada.find("- MCP «referencia» (herramientas mcp__referencia__*)"), std::string::npos);

    std::map<std::string, std::string> entorno = {{"HOME", (prueba::raizAislada() / "casa").string()},
                                                  {"XDG_CONFIG_HOME", ""},
                                                  {"CLAUDE_CONFIG_DIR", ""},
                                                  {"http_proxy", ""},
                                                  {"https_proxy", ""},
                                                  {"HTTP_PROXY", ""},
                                                  {"HTTPS_PROXY", ""},
                                                  {"NO_PROXY", "127.0.0.1,localhost"},
                                                  {"ANTHROPIC_BASE_URL", modelo_.url()},
                                                  {"ANTHROPIC_API_KEY", "sk-ant-prueba"},
                                                  {"ANTHROPIC_AUTH_TOKEN", ""},
                                                  {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"},
                                                  {"DISABLE_AUTOUPDATER", "1"},
                                                  {"DISABLE_TELEMETRY", "1"},
                                                  {"DISABLE_ERROR_REPORTING", "1"}};
    for (const auto& [nombre, valor] : orden->entorno) entorno[nombre] = valor;
    const auto r = prueba::ejecutarPrograma(CLAUDE_BIN, orden->argumentos, orden->entrada, entorno, 120s);
    ASSERT_EQ(r.estado, 0) << r.errores << r.salida;

    comprobarEco(r.salida);
    EXPECT_TRUE(espiaRecibioSuSecreto());
}

TEST_F(ConexionesReales, CodexUsaLaConexionDelUsuarioYSuSecretoLlegaSoloPorElEntorno) {
    const fs::path casa = prueba::raizAislada() / "casa-codex";
    fs::create_directories(casa / ".codex");
    std::ofstream(casa / ".codex/config.toml") << prueba::configuracionCodex(modelo_.url());

    auto a = alrededor(prueba::raizAislada() / "trabajo-codex");
    a.paraCodex = Conexiones::paraCodex();
    const auto orden = Agente::ordenCodex(peticion(), a);
    for (const auto& argumento : orden.argumentos) sinSecretos(argumento);
    sinSecretos(orden.entrada);

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
    const auto peticiones = modelo_.peticiones();
    bool ofrecida = false;
    for (const auto& p : peticiones) {
        const json cuerpo = json::parse(p.cuerpo, nullptr, false);
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
    comprobarEco(r.salida);
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
    EXPECT_TRUE(espiaRecibioSuSecreto());
}

}  // namespace
}  // namespace sorvenia
