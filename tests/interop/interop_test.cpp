// A standard MCP client, the official SDK's, against a real ServidorMCP:
// once over Streamable HTTP straight to the endpoint, once over stdio through
// the bridge program, as outside AI clients reach the application.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "centro/arranque_centro.h"
#include "centro/servidor_mcp.h"
#include "ejecutar_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

class ClienteEstandar : public ::testing::Test {
protected:
    void SetUp() override {
        std::string plantilla = (fs::temp_directory_path() / "interop-mcp-XXXXXX").string();
        ASSERT_NE(mkdtemp(plantilla.data()), nullptr);
        casa_ = plantilla;
        servidor_.ponerInstrucciones("Instrucciones de la prueba.");
        servidor_.ponerAlInicializar([this](std::string nombre) {
            std::lock_guard bloqueo(mutex_);
            clientes_.push_back(std::move(nombre));
        });
        servidor_.ponerEjecutar([this](PeticionHerramienta p, AlTerminarHerramienta terminar) {
            {
                std::lock_guard bloqueo(mutex_);
                llamadas_.push_back(p.nombre + " " + p.argumentos.dump());
            }
            terminar(Json::array({{{"type", "text"}, {"text", "leído " + p.argumentos.value("id", "?")}}}));
        });
        ASSERT_TRUE(servidor_.arrancar(std::nullopt).ok());
        ASSERT_TRUE(escribirConexion(casa_ / ".local/share/SorveniaTarvel/mcp.json", servidor_.puerto(),
                                     servidor_.token()));
    }
    void TearDown() override { fs::remove_all(casa_); }

    // Runs the SDK client in `modo` and gives the JSON line it printed.
    Json correrCliente(const std::string& modo) {
        const auto r = prueba::ejecutarPrograma(NODE_BIN, {CLIENTE_INTEROP, modo}, "",
                                                {{"HOME", casa_.string()},
                                                 {"MCP_PUERTO", std::to_string(servidor_.puerto())},
                                                 {"MCP_TOKEN", servidor_.token()},
                                                 {"MCP_PUENTE", TARVEL_MCP_BIN},
                                                 {"NODE_OPTIONS", ""}},
                                                std::chrono::seconds(45));
        EXPECT_EQ(r.estado, 0) << r.errores;
        EXPECT_EQ(r.errores, "");
        std::istringstream flujo(r.salida);
        std::string linea, ultima;
        while (std::getline(flujo, linea))
            if (!linea.empty()) ultima = linea;
        const Json visto = Json::parse(ultima, nullptr, false);
        EXPECT_TRUE(visto.is_object()) << r.salida;
        return visto.is_object() ? visto : Json::object();
    }

    // What both transports must show the client, and what the server must
    // have seen of it.
    void comprobarSesion(Json visto, const std::string& nombreCliente) {
        EXPECT_EQ(visto.value("servidor", ""), "sorvenia-tarvel");
        EXPECT_EQ(visto.value("instrucciones", ""), "Instrucciones de la prueba.");
        EXPECT_EQ(visto["capacidades"], Json::parse(R"({"tools":{}})"));
        const Json& nombres = visto["herramientas"];
        ASSERT_TRUE(nombres.is_array());
        ASSERT_EQ(nombres.size(), 24u);
        EXPECT_EQ(nombres.front(), "ver_tarvel");
        EXPECT_EQ(nombres.back(), "enfocar");
        EXPECT_EQ(visto["pong"], Json::object());
        EXPECT_EQ(visto["erroresAparte"], Json::array());
        EXPECT_EQ(visto["llamada"], Json::parse(R"({"content":[{"type":"text","text":"leído s1"}],"isError":false})"));
        std::lock_guard bloqueo(mutex_);
        EXPECT_EQ(clientes_, std::vector<std::string>{nombreCliente});
        EXPECT_EQ(llamadas_, std::vector<std::string>{R"(leer {"id":"s1"})"});
    }

    fs::path casa_;
    ServidorMCP servidor_;
    std::mutex mutex_;
    std::vector<std::string> clientes_;
    std::vector<std::string> llamadas_;
};

TEST_F(ClienteEstandar, StreamableHTTPDirecto) {
    Json visto = correrCliente("http");
    comprobarSesion(visto, "interop-http");
    // The client's requests as the server answered them, in sorted order:
    // after "notifications/initialized" (202) the client asks for a stream
    // of its own with a GET, alongside its next POSTs; 405 tells it there
    // is none, which it takes as no error.
    std::vector<std::string> intercambios;
    for (const auto& i : visto["intercambios"]) intercambios.push_back(i.get<std::string>());
    std::sort(intercambios.begin(), intercambios.end());
    EXPECT_EQ(intercambios, (std::vector<std::string>{"GET 405", "POST 200", "POST 200", "POST 200", "POST 200",
                                                      "POST 202"}));
}

TEST_F(ClienteEstandar, StdioPorElPuente) { comprobarSesion(correrCliente("stdio"), "interop-stdio"); }

}  // namespace
}  // namespace sorvenia
