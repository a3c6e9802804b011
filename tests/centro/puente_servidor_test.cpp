// The stdio bridge tarvel-mcp, unchanged, against a running ServidorMCP.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "centro/servidor_mcp.h"
#include "ejecutar_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

class PuenteYServidor : public ::testing::Test {
protected:
    void SetUp() override {
        std::string plantilla = (fs::temp_directory_path() / "puente-servidor-XXXXXX").string();
        ASSERT_NE(mkdtemp(plantilla.data()), nullptr);
        casa_ = plantilla;
        servidor_.ponerInstrucciones("Instrucciones del servidor.");
        servidor_.ponerAlInicializar([this](std::string nombre) {
            std::lock_guard bloqueo(mutex_);
            clientes_.push_back(std::move(nombre));
        });
        // Answers later, from a thread of its own, as the hub will.
        servidor_.ponerEjecutar([](PeticionHerramienta p, AlTerminarHerramienta terminar) {
            std::thread([p = std::move(p), terminar = std::move(terminar)] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                terminar(Json::array({{{"type", "text"}, {"text", "hecho: " + p.nombre + " " + p.argumentos.dump()}}}));
            }).detach();
        });
        ASSERT_TRUE(servidor_.arrancar(std::nullopt).ok());
        fs::create_directories(casa_ / ".local/share/SorveniaTarvel");
        std::ofstream(casa_ / ".local/share/SorveniaTarvel/mcp.json")
            << Json{{"puerto", servidor_.puerto()}, {"token", servidor_.token()}}.dump();
    }
    void TearDown() override { fs::remove_all(casa_); }

    std::vector<Json> correr(const std::string& entrada) {
        const auto r = prueba::ejecutarPrograma(TARVEL_MCP_BIN, {}, entrada, {{"HOME", casa_.string()}});
        EXPECT_EQ(r.estado, 0);
        EXPECT_EQ(r.errores, "");
        std::vector<Json> lineas;
        std::istringstream flujo(r.salida);
        for (std::string linea; std::getline(flujo, linea);) lineas.push_back(Json::parse(linea));
        return lineas;
    }

    fs::path casa_;
    ServidorMCP servidor_;
    std::mutex mutex_;
    std::vector<std::string> clientes_;
};

TEST_F(PuenteYServidor, UnaSesionCompleta) {
    const auto salida = correr(
        R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","clientInfo":{"name":"claude-ai"}}})" "\n"
        R"({"jsonrpc":"2.0","method":"notifications/initialized"})" "\n"
        R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})" "\n"
        R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"leer","arguments":{"id":"s1"}}})" "\n"
        R"({"jsonrpc":"2.0","id":"p","method":"ping"})" "\n");
    ASSERT_EQ(salida.size(), 4u);  // the notification gets nothing
    EXPECT_EQ(salida[0]["id"], 1);
    EXPECT_EQ(salida[0]["result"]["instructions"], "Instrucciones del servidor.");
    EXPECT_EQ(salida[1]["result"]["tools"].size(), 24u);
    EXPECT_EQ(salida[2], Json::parse(R"({"jsonrpc":"2.0","id":3,"result":{"content":[{"type":"text",)"
                                     R"("text":"hecho: leer {\"id\":\"s1\"}"}],"isError":false}})"));
    EXPECT_EQ(salida[3], Json::parse(R"({"jsonrpc":"2.0","id":"p","result":{}})"));
    std::lock_guard bloqueo(mutex_);
    EXPECT_EQ(clientes_, std::vector<std::string>{"claude-ai"});
}

// A line over 16 MB: the bridge must get the 413 to tell the agent why.
TEST_F(PuenteYServidor, LineaDemasiadoGrande) {
    const std::string grande = R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"escribir",)"
                               R"("arguments":{"html":")" + std::string(17'000'000, 'x') + "\"}}}\n";
    const auto salida = correr(grande + R"({"jsonrpc":"2.0","id":8,"method":"ping"})" "\n");
    ASSERT_EQ(salida.size(), 2u);
    EXPECT_EQ(salida[0]["id"], 7);
    EXPECT_EQ(salida[0]["result"]["isError"], true);
    EXPECT_EQ(salida[0]["result"]["content"][0]["text"],
              "La petición es demasiado grande para Sorvenia Code (más de 16 MB). Mándala en trozos más pequeños.");
    EXPECT_EQ(salida[1], Json::parse(R"({"jsonrpc":"2.0","id":8,"result":{}})"));
}

}  // namespace
}  // namespace sorvenia
