#include "centro/centro.h"

#include <gtest/gtest.h>
#include <glib.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <filesystem>
#include <fstream>
#include <thread>

#include "centro/arranque_centro.h"
#include "centro/modo_agente.h"
#include "comun/conexion_tarvel.h"
#include "ejecutar_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Json = nlohmann::json;

unsigned modo(const fs::path& p) {
    struct stat st {};
    stat(p.c_str(), &st);
    return st.st_mode & 07777u;
}

std::string leer(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct CarpetaPrueba {
    fs::path ruta;
    CarpetaPrueba() {
        std::string plantilla = (fs::temp_directory_path() / "centro-XXXXXX").string();
        ruta = mkdtemp(plantilla.data());
    }
    ~CarpetaPrueba() { fs::remove_all(ruta); }
};

TEST(ArranqueCentro, FicheroDeConexionCompactoYPrivado) {
    CarpetaPrueba c;
    const fs::path fichero = c.ruta / "a/b/mcp.json";
    ASSERT_TRUE(escribirConexion(fichero, 39847, "0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(leer(fichero), R"({"puerto":39847,"token":"0123456789abcdef0123456789abcdef"})");
    EXPECT_EQ(modo(fichero), 0600u);
    // A later start replaces the whole file, and the bridge accepts it.
    ASSERT_TRUE(escribirConexion(fichero, 40001, "ab"));
    EXPECT_EQ(Json::parse(leer(fichero)), (Json{{"puerto", 40001}, {"token", "ab"}}));
    EXPECT_EQ(ConexionTarvel::interpretar(leer(fichero)), (ConexionTarvel::Conexion{40001, "ab"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(c.ruta / "a/b"), fs::directory_iterator{}), 1);
}

// Another local user who can write in the folder plants links at the names
// a writer might use for its new file: none is followed, nothing is written
// through them, and the file that ends up in place is a regular private one.
TEST(ArranqueCentro, ElFicheroNuevoNoSigueEnlacesPlantados) {
    CarpetaPrueba c;
    const fs::path carpeta = c.ruta / "app";
    fs::create_directories(carpeta);
    const fs::path victima = c.ruta / "victima";
    std::ofstream(victima) << "intacto";
    for (const char* nombre : {"mcp.json.nuevo", "mcp.json.tmp", ".mcp.json.nuevo", "mcp.json~"})
        fs::create_symlink(victima, carpeta / nombre);

    ASSERT_TRUE(escribirConexion(carpeta / "mcp.json", 39847, "ab"));
    EXPECT_EQ(leer(victima), "intacto");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(carpeta / "mcp.json")));
    EXPECT_EQ(modo(carpeta / "mcp.json"), 0600u);
    EXPECT_EQ(ConexionTarvel::leer(carpeta / "mcp.json"), (ConexionTarvel::Conexion{39847, "ab"}));
    // Nothing but the file and the planted links is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(carpeta), fs::directory_iterator{}), 5);
}

TEST(ArranqueCentro, ElPuenteSoloSeCopiaSiCambia) {
    CarpetaPrueba c;
    const fs::path origen = c.ruta / "tarvel-mcp", destino = c.ruta / "casa/.sorvenia-tarvel/bin/tarvel";
    copiarPuente(origen, destino);  // nothing shipped: nothing installed
    EXPECT_FALSE(fs::exists(destino));

    std::ofstream(origen) << "programa v1";
    copiarPuente(origen, destino);
    EXPECT_EQ(leer(destino), "programa v1");
    EXPECT_EQ(modo(destino), 0755u);

    const auto antes = fs::last_write_time(destino);
    std::this_thread::sleep_for(20ms);
    copiarPuente(origen, destino);
    EXPECT_EQ(fs::last_write_time(destino), antes);

    std::ofstream(origen) << "programa v2";
    copiarPuente(origen, destino);
    EXPECT_EQ(leer(destino), "programa v2");

    fs::remove(origen);
    copiarPuente(origen, destino);
    EXPECT_EQ(leer(destino), "programa v2");
}

TEST(ArranqueCentro, NombresDeLosClientes) {
    const std::pair<const char*, const char*> casos[] = {
        {"claude-code", "Claude Code"}, {"Claude Desktop", "Claude"},        {"my codex client", "Codex"},
        {"Visual Studio Code", "VS Code"}, {"opencode", "OpenCode"},        {"", "Agente"},
        {"Mi Agente", "Mi Agente"},     {"My-Claude-Code-Client", "Claude Code"}, {"vscode-claude", "Claude"},
        {"GitHub Copilot", "Copilot"},  {"cursor-vscode", "Cursor"},
    };
    for (const auto& [nombre, bonito] : casos) EXPECT_EQ(nombreBonito(nombre), bonito) << nombre;
}

TEST(ArranqueCentro, InstruccionesDelModoAgente) {
    // The exact texts: 5,042 bytes, and 5,127 with the closing reminder.
    EXPECT_EQ(textoModoAgente().size(), 5042u);
    EXPECT_EQ(instruccionesCentro().size(), 5127u);
    EXPECT_EQ(instruccionesCentro().rfind(textoModoAgente() + "\n\nAntes de diseñar", 0), 0u);
}

bool bombearHasta(const std::function<bool()>& listo) {
    const auto fin = std::chrono::steady_clock::now() + 10s;
    while (!listo()) {
        if (std::chrono::steady_clock::now() > fin) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(2ms);
    }
    return true;
}

// The whole road of an outside client: the hub starts, leaves the connection
// file, and the real bridge reaches its server.
TEST(Centro, ArrancaYElPuenteLoEncuentra) {
    fs::remove(ConexionTarvel::fichero());
    Centro& centro = Centro::compartido();
    centro.arrancar({}, {});
    ASSERT_TRUE(bombearHasta([] { return fs::exists(ConexionTarvel::fichero()); }));
    const auto conexion = ConexionTarvel::leer();
    ASSERT_TRUE(conexion.has_value());
    EXPECT_EQ(conexion->puerto, centro.mcp().puerto());
    EXPECT_EQ(conexion->token, centro.mcp().token());
    EXPECT_EQ(modo(ConexionTarvel::fichero()), 0600u);

    centro.arrancar({}, {});  // a second call starts nothing
    EXPECT_EQ(centro.mcp().puerto(), conexion->puerto);

    // The bridge runs in another thread so that this one keeps the main
    // context turning for the tool call.
    prueba::Salida salida;
    std::thread puente([&] {
        salida = prueba::ejecutarPrograma(
            TARVEL_MCP_BIN, {},
            R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"clientInfo":{"name":"claude-code"}}})" "\n"
            R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"leer","arguments":{}}})" "\n",
            {{"HOME", ConexionTarvel::casa().string()}});
    });
    std::atomic<bool> fin{false};
    std::thread vigia([&] {
        puente.join();
        fin = true;
    });
    ASSERT_TRUE(bombearHasta([&] { return fin.load(); }));
    vigia.join();

    std::istringstream lineas(salida.salida);
    std::string init, llamada;
    std::getline(lineas, init);
    std::getline(lineas, llamada);
    EXPECT_EQ(Json::parse(init)["result"]["instructions"], instruccionesCentro());
    const Json resultado = Json::parse(llamada)["result"];
    EXPECT_EQ(resultado["isError"], true);
    EXPECT_EQ(resultado["content"][0]["text"],
              "No hay ningún diseño abierto en Sorvenia Code. Usa la herramienta disenos para abrir uno (abrir=id) o "
              "crear uno (nuevo=nombre).");
    ASSERT_TRUE(bombearHasta([&] { return centro.clienteExterno() == "Claude Code"; }));
    centro.alTerminar();
    EXPECT_EQ(centro.mcp().puerto(), 0);
}

}  // namespace
}  // namespace sorvenia
