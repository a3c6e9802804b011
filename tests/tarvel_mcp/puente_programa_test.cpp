// The built bridge against a stand-in of the application's server.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "ejecutar_prueba.h"
#include "tarvel_mcp/puente.h"
#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using prueba::PeticionHTTP;
using prueba::ServidorHTTPPrueba;

const std::string cerrada =
    "Sorvenia Code no está abierto. Pide al usuario que abra la app (y un diseño) y vuelve a intentarlo.";

class PuentePrograma : public ::testing::Test {
protected:
    void SetUp() override {
        std::string plantilla = (fs::temp_directory_path() / "puente-XXXXXX").string();
        ASSERT_NE(mkdtemp(plantilla.data()), nullptr);
        casa_ = plantilla;
    }
    void TearDown() override { fs::remove_all(casa_); }

    void escribirConexion(const std::string& contenido) {
        fs::create_directories(casa_ / ".local/share/SorveniaTarvel");
        std::ofstream(casa_ / ".local/share/SorveniaTarvel/mcp.json") << contenido;
    }
    void apuntarA(const ServidorHTTPPrueba& s, const std::string& token = "0123456789abcdef0123456789abcdef") {
        escribirConexion(R"({"puerto":)" + std::to_string(s.puerto()) + R"(,"token":")" + token + "\"}");
    }

    prueba::Salida correr(const std::string& entrada,
                          std::chrono::milliseconds limite = std::chrono::seconds(60)) {
        auto r = prueba::ejecutarPrograma(TARVEL_MCP_BIN, {}, entrada,
                                          {{"HOME", casa_.string()}, {"http_proxy", "http://127.0.0.1:9"}}, limite);
        EXPECT_EQ(r.estado, 0);
        EXPECT_EQ(r.errores, "");  // the bridge never writes to standard error
        return r;
    }

    static std::vector<Json> lineas(const std::string& salida) {
        std::vector<Json> r;
        std::istringstream flujo(salida);
        for (std::string linea; std::getline(flujo, linea);) r.push_back(Json::parse(linea));
        return r;
    }

    fs::path conexion() const { return casa_ / ".local/share/SorveniaTarvel/mcp.json"; }

    fs::path casa_;
};

const std::string entradaBasica =
    R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"x"}})" "\n"
    R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})" "\n"
    R"({"jsonrpc":"2.0","method":"notifications/initialized"})" "\n"
    R"({"jsonrpc":"2.0","id":null,"method":"tools/call","params":{"name":"ver_tarvel","arguments":{}}})" "\n";

TEST_F(PuentePrograma, ConLaAppCerradaTresLineas) {
    for (const char* fichero : {"", "no json", "[]", R"({"token":""})", R"({"token":"ab","puerto":70000})"}) {
        if (*fichero != '\0') escribirConexion(fichero);
        const auto r = correr(entradaBasica);
        const auto salida = lineas(r.salida);
        ASSERT_EQ(salida.size(), 3u) << fichero;
        EXPECT_EQ(salida[0]["result"]["protocolVersion"], "x");
        EXPECT_EQ(salida[1]["result"]["tools"].size(), 24u);
        EXPECT_TRUE(salida[2]["id"].is_null());
        EXPECT_EQ(salida[2]["result"]["isError"], true);
        EXPECT_EQ(salida[2]["result"]["content"][0]["text"], cerrada);
    }
}

// Whatever someone leaves at the connection file's path, the bridge answers
// at once as with the application closed: a folder, a FIFO nobody writes,
// an endless device, or a link (even to a good file).
TEST_F(PuentePrograma, FicheroDeConexionQueNoEsUnFichero) {
    ServidorHTTPPrueba servidor([](const PeticionHTTP&) { return ServidorHTTPPrueba::respuesta(200, "{}"); });
    const fs::path bueno = casa_ / "bueno.json";
    std::ofstream(bueno) << R"({"puerto":)" << servidor.puerto() << R"(,"token":"ab"})";
    const std::vector<std::pair<const char*, std::function<void()>>> casos = {
        {"carpeta", [&] { fs::create_directories(conexion()); }},
        {"FIFO", [&] { ASSERT_EQ(mkfifo(conexion().c_str(), 0600), 0); }},
        {"/dev/zero", [&] { fs::create_symlink("/dev/zero", conexion()); }},
        {"enlace a un fichero bueno", [&] { fs::create_symlink(bueno, conexion()); }},
    };
    for (const auto& [nombre, crear] : casos) {
        SCOPED_TRACE(nombre);
        fs::create_directories(conexion().parent_path());
        fs::remove_all(conexion());
        crear();
        const auto salida = lineas(correr(entradaBasica, std::chrono::seconds(10)).salida);
        ASSERT_EQ(salida.size(), 3u);
        EXPECT_EQ(salida[2]["result"]["content"][0]["text"], cerrada);
    }
    EXPECT_TRUE(servidor.peticiones().empty());
}

// An answer larger than the bridge takes, with its length declared or not,
// is cut off while it arrives; the client gets one line, as with the app
// closed.
TEST_F(PuentePrograma, RespuestaEnormeSeCorta) {
    const std::string enorme = R"({"id":1,"t":")" + std::string(puente::limiteRespuesta, 'a') + "\"}";
    const std::vector<std::string> respuestas = {
        ServidorHTTPPrueba::respuesta(200, enorme),
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n" + enorme,
    };
    for (const auto& respuesta : respuestas) {
        ServidorHTTPPrueba servidor([&](const PeticionHTTP&) { return respuesta; });
        apuntarA(servidor);
        const auto r = correr(R"({"jsonrpc":"2.0","id":1,"method":"tools/call"})" "\n");
        const auto salida = lineas(r.salida);
        ASSERT_EQ(salida.size(), 1u);
        EXPECT_EQ(salida[0]["result"]["content"][0]["text"], cerrada);
    }
}

TEST_F(PuentePrograma, ReenviaAlServidorYDevuelveSuRespuesta) {
    ServidorHTTPPrueba servidor([](const PeticionHTTP& p) {
        if (!Json::parse(p.cuerpo).contains("id")) return ServidorHTTPPrueba::respuesta(202);
        return ServidorHTTPPrueba::respuesta(200, R"({"eco":)" + p.cuerpo + "}");
    });
    apuntarA(servidor);
    const auto r = correr(entradaBasica);
    const auto salida = lineas(r.salida);
    ASSERT_EQ(salida.size(), 3u);
    EXPECT_EQ(salida[0]["eco"]["id"], 1);
    EXPECT_EQ(salida[1]["eco"]["id"], 2);
    EXPECT_EQ(salida[2]["eco"]["method"], "tools/call");

    const auto peticiones = servidor.peticiones();
    ASSERT_EQ(peticiones.size(), 4u);
    std::istringstream entrada(entradaBasica);
    for (const auto& p : peticiones) {
        std::string linea;
        std::getline(entrada, linea);
        EXPECT_EQ(p.metodo, "POST");
        EXPECT_EQ(p.ruta, "/mcp/0123456789abcdef0123456789abcdef");
        EXPECT_EQ(p.cabeceras.at("content-type"), "application/json");
        EXPECT_EQ(p.cuerpo, linea);
    }
}

TEST_F(PuentePrograma, CadaEstadoDelServidor) {
    const struct {
        std::string respuesta;
        std::string llamada;   // what a tools/call gets ("" = nothing written)
        bool initLocal;        // whether initialize is answered by the bridge itself
    } casos[] = {
        {ServidorHTTPPrueba::respuesta(200, R"({"jsonrpc":"2.0","id":1,"result":{}})"),
         R"({"jsonrpc":"2.0","id":1,"result":{}})", false},
        {ServidorHTTPPrueba::respuesta(200, ""), "", false},
        // Something else on the port: its page is not relayed.
        {ServidorHTTPPrueba::respuesta(200, "<html>\n<p>Hola</p>\n</html>", "text/html"), cerrada, true},
        // JSON written over several lines still reaches the client as one.
        {ServidorHTTPPrueba::respuesta(200, "{\n  \"jsonrpc\": \"2.0\",\n  \"id\": 1,\n  \"result\": {}\n}"),
         R"({  "jsonrpc": "2.0",  "id": 1,  "result": {}})", false},
        {ServidorHTTPPrueba::respuesta(202, "x"), "", false},
        {ServidorHTTPPrueba::respuesta(404, "no"),
         "Sorvenia Code ha rechazado la petición (HTTP 404). Si acabas de abrir o reiniciar la app, vuelve a intentarlo.",
         true},
        {ServidorHTTPPrueba::respuesta(413),
         "La petición es demasiado grande para Sorvenia Code (más de 16 MB). Mándala en trozos más pequeños.", true},
        {"esto no es HTTP\r\n\r\n", cerrada, true},
        {"", cerrada, true},  // the server closes without a word
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.respuesta);
        ServidorHTTPPrueba servidor([&](const PeticionHTTP&) { return caso.respuesta; });
        apuntarA(servidor);
        const auto llamada = correr(R"({"jsonrpc":"2.0","id":1,"method":"tools/call"})" "\n").salida;
        if (caso.llamada.empty()) {
            EXPECT_EQ(llamada, "");
        } else if (caso.llamada.front() == '{') {
            EXPECT_EQ(llamada, caso.llamada + "\n");
        } else {
            EXPECT_EQ(Json::parse(llamada)["result"]["content"][0]["text"], caso.llamada);
        }
        const auto init = correr(R"({"jsonrpc":"2.0","id":1,"method":"initialize"})" "\n").salida;
        if (caso.initLocal) {
            EXPECT_EQ(Json::parse(init)["result"]["serverInfo"]["name"], "sorvenia-tarvel");
        }
    }
}

// The connection file is read before every message, so a restarted app
// (new port, new token) is followed without restarting the bridge.
TEST_F(PuentePrograma, SigueALaAppCuandoSeReinicia) {
    ServidorHTTPPrueba segundo([](const PeticionHTTP& p) { return ServidorHTTPPrueba::respuesta(200, R"({"de":"segundo","ruta":")" + p.ruta + "\"}"); });
    ServidorHTTPPrueba primero([&](const PeticionHTTP&) {
        apuntarA(segundo, "nuevo");
        return ServidorHTTPPrueba::respuesta(200, R"({"de":"primero"})");
    });
    apuntarA(primero);
    const auto salida = lineas(correr(R"({"id":1,"method":"ping"})" "\n" R"({"id":2,"method":"ping"})" "\n").salida);
    ASSERT_EQ(salida.size(), 2u);
    EXPECT_EQ(salida[0]["de"], "primero");
    EXPECT_EQ(salida[1]["de"], "segundo");
    EXPECT_EQ(salida[1]["ruta"], "/mcp/nuevo");
}

TEST_F(PuentePrograma, MensajesGrandesYLineasRarasLleganIntactos) {
    ServidorHTTPPrueba servidor([](const PeticionHTTP& p) {
        return ServidorHTTPPrueba::respuesta(200, R"({"largo":)" + std::to_string(p.cuerpo.size()) + "}");
    });
    apuntarA(servidor);
    const std::string grande = R"({"id":1,"method":"tools/call","relleno":")" + std::string(5 << 20, 'a') + "\"}";
    const auto salida = lineas(correr("\n   \t\nbasura\n[1]\n" + grande + "\r\n" + R"({"id":2})").salida);
    ASSERT_EQ(salida.size(), 2u);
    EXPECT_EQ(salida[0]["largo"], grande.size());
    EXPECT_EQ(salida[1]["largo"], 8);  // the last line had no line feed and still counts
    ASSERT_EQ(servidor.peticiones().size(), 2u);
    EXPECT_EQ(servidor.peticiones()[0].cuerpo, grande);
}

}  // namespace
}  // namespace sorvenia
