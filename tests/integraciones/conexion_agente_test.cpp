#include "integraciones/conexion_agente.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "aislado.h"
#include "esperar_bucle.h"
#include "ayuda_clientes.h"
#include "comun/conexion_tarvel.h"
#include "cuenta/error_api.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using prueba::enCasa;
using prueba::escribirFichero;
using prueba::leerFichero;

// Read only inside tests: the home folder is the test's from then on.
std::string puenteRuta() { return ConexionTarvel::puente().string(); }
const std::string sufijoCopia = ".antes-sorvenia-tarvel";

std::string anadir(Agentes agente) {
    auto r = prueba::esperarTarea(ConexionAgente::anadir(agente), std::chrono::seconds(30));
    if (!r) throw std::runtime_error("anadir did not end");
    return *r;
}

json leerJson(const fs::path& ruta) { return json::parse(leerFichero(ruta)); }

class AnadirAgente : public ::testing::Test {
protected:
    void SetUp() override { prueba::vaciarCasa(); }
};

struct ClienteJson {
    Agentes agente;
    std::string relativa;
    std::string clave;
    json entrada;
};

std::vector<ClienteJson> clientesJson() {
    return {{Agentes::cursor, ".cursor/mcp.json", "mcpServers", {{"command", puenteRuta()}}},
            {Agentes::vscode, ".config/Code/User/mcp.json", "servers", {{"type", "stdio"}, {"command", puenteRuta()}}},
            {Agentes::opencode, ".config/opencode/opencode.json", "mcp",
             {{"type", "local"}, {"command", json::array({puenteRuta()})}, {"enabled", true}}}};
}

// An older entry is replaced; every other key and server stays; one backup
// of the original is made and kept through later changes.
TEST_F(AnadirAgente, JsonClientsReplaceTheirEntryAndKeepTheRest) {
    for (const auto& c : clientesJson()) {
        SCOPED_TRACE(std::string(texto(c.agente)));
        const fs::path ruta = enCasa(c.relativa);
        const json original = {{"tema", "oscuro"},
                               {"anidado", {{"a", json::array({1, 2})}}},
                               {c.clave, {{"otro", {{"command", "/usr/bin/otro"}}}, {"sorvenia-tarvel", {{"command", "/viejo"}}}}}};
        const std::string bytesOriginales = original.dump();
        escribirFichero(ruta, bytesOriginales);

        EXPECT_EQ(anadir(c.agente), "Conectado.");
        json esperado = original;
        esperado[c.clave]["sorvenia-tarvel"] = c.entrada;
        EXPECT_EQ(leerJson(ruta), esperado);
        EXPECT_EQ(leerFichero(ruta.string() + sufijoCopia), bytesOriginales);
        EXPECT_TRUE(ConexionAgente::conectado(c.agente));

        const std::string escrito = leerFichero(ruta);
        EXPECT_EQ(anadir(c.agente), "Ya estaba conectado.");
        EXPECT_EQ(leerFichero(ruta), escrito);

        // A second change leaves the first backup as it was.
        escribirFichero(ruta, json{{c.clave, {{"sorvenia-tarvel", "viejo"}}}}.dump());
        EXPECT_EQ(anadir(c.agente), "Conectado.");
        EXPECT_EQ(leerFichero(ruta.string() + sufijoCopia), bytesOriginales);
    }
}

TEST_F(AnadirAgente, MissingOrEmptyFileIsCreatedWithOnlyTheEntry) {
    for (const auto& c : clientesJson()) {
        SCOPED_TRACE(std::string(texto(c.agente)));
        const fs::path ruta = enCasa(c.relativa);
        const json esperado = {{c.clave, {{"sorvenia-tarvel", c.entrada}}}};
        prueba::vaciarCasa();
        EXPECT_EQ(anadir(c.agente), "Conectado.");
        EXPECT_EQ(leerJson(ruta), esperado);
        EXPECT_EQ(prueba::modo(ruta), 0600u);
        EXPECT_FALSE(fs::exists(ruta.string() + sufijoCopia));

        escribirFichero(ruta, "");
        EXPECT_EQ(anadir(c.agente), "Conectado.");
        EXPECT_EQ(leerJson(ruta), esperado);
    }
}

TEST_F(AnadirAgente, NonObjectContainerIsReplaced) {
    const fs::path ruta = enCasa(".cursor/mcp.json");
    escribirFichero(ruta, R"({"mcpServers": [1, 2], "x": null})");
    EXPECT_EQ(anadir(Agentes::cursor), "Conectado.");
    EXPECT_EQ(leerJson(ruta), (json{{"x", nullptr}, {"mcpServers", {{"sorvenia-tarvel", {{"command", puenteRuta()}}}}}}));
}

// Comments, trailing commas, a top level that is not an object: the user's
// file is never rewritten, and the message names it.
TEST_F(AnadirAgente, BrokenJsonIsRefusedAndLeftAlone) {
    const std::vector<std::string> rotos = {"{\n  // mío\n  \"mcpServers\": {}\n}", R"({"mcpServers": {},})",
                                            "[1, 2]", "  ", "{\"a\": \"\xff\"}"};
    for (const auto& bytes : rotos) {
        SCOPED_TRACE(bytes);
        const fs::path ruta = enCasa(".cursor/mcp.json");
        escribirFichero(ruta, bytes);
        try {
            (void)anadir(Agentes::cursor);
            ADD_FAILURE() << "accepted";
        } catch (const ErrorAPI& e) {
            EXPECT_EQ(e.codigo, "config");
            EXPECT_EQ(e.status, 0);
            EXPECT_EQ(e.mensaje, "La configuración de " + ruta.string() +
                                     " no es un JSON válido: no la toco. Usa la instalación manual.");
        }
        EXPECT_EQ(leerFichero(ruta), bytes);
        EXPECT_FALSE(fs::exists(ruta.string() + sufijoCopia));
    }
}

// The file may hold other servers' keys: its mode survives the rewrite, and
// a dotfile manager's link stays a link.
TEST_F(AnadirAgente, RewriteKeepsModeAndSymbolicLink) {
    const fs::path ruta = enCasa(".config/Code/User/mcp.json");
    escribirFichero(ruta, R"({"servers": {"otro": {"env": {"CLAVE": "secreta"}}}})");
    for (unsigned m : {0600u, 0640u}) {
        ::chmod(ruta.c_str(), m);
        fs::remove(ruta.string() + sufijoCopia);
        escribirFichero(ruta, R"({"servers": {"otro": {"env": {"CLAVE": "secreta"}}}})");
        EXPECT_EQ(anadir(Agentes::vscode), "Conectado.");
        EXPECT_EQ(prueba::modo(ruta), m);
        EXPECT_EQ(prueba::modo(ruta.string() + sufijoCopia), m);
    }

    const fs::path real = enCasa("dotfiles/opencode.json");
    const fs::path enlace = enCasa(".config/opencode/opencode.json");
    escribirFichero(real, R"({"theme": "x"})");
    fs::create_directories(enlace.parent_path());
    fs::create_symlink("../../dotfiles/opencode.json", enlace);
    EXPECT_EQ(anadir(Agentes::opencode), "Conectado.");
    EXPECT_TRUE(fs::is_symlink(enlace));
    EXPECT_EQ(leerJson(real)["theme"], "x");
    EXPECT_EQ(leerJson(real)["mcp"]["sorvenia-tarvel"]["command"], json::array({puenteRuta()}));
}

TEST_F(AnadirAgente, CodexAppendsItsTableKeepingTheFileByteForByte) {
    const fs::path ruta = enCasa(".codex/config.toml");
    const std::string tabla = "[mcp_servers.sorvenia-tarvel]\ncommand = \"" + puenteRuta() + "\"\n";
    struct Caso {
        std::string antes;
        std::string despues;
    };
    const std::vector<Caso> casos = {
        {"model = \"o3\"  # sin salto final", "model = \"o3\"  # sin salto final\n\n" + tabla},
        {"[a]\r\nb = 1\n", "[a]\r\nb = 1\n\n" + tabla},
        {"", "\n" + tabla},
    };
    for (const auto& c : casos) {
        prueba::vaciarCasa();
        escribirFichero(ruta, c.antes);
        ::chmod(ruta.c_str(), 0600);
        EXPECT_EQ(anadir(Agentes::codex), "Añadido a Codex.");
        EXPECT_EQ(leerFichero(ruta), c.despues);
        EXPECT_EQ(prueba::modo(ruta), 0600u);
        EXPECT_EQ(leerFichero(ruta.string() + sufijoCopia), c.antes);
        // Now it names the table: nothing more is written.
        EXPECT_EQ(anadir(Agentes::codex), "Ya estaba conectado.");
        EXPECT_EQ(leerFichero(ruta), c.despues);
    }

    prueba::vaciarCasa();
    EXPECT_EQ(anadir(Agentes::codex), "Añadido a Codex.");
    EXPECT_EQ(leerFichero(ruta), "\n" + tabla);

    // Even a comment that names the table counts as set up.
    const std::string comentado = "# [mcp_servers.sorvenia-tarvel]\nmodel = \"o3\"";
    escribirFichero(ruta, comentado);
    EXPECT_EQ(anadir(Agentes::codex), "Ya estaba conectado.");
    EXPECT_EQ(leerFichero(ruta), comentado);
}

TEST_F(AnadirAgente, CodexFileThatIsNotTextIsRefused) {
    const fs::path ruta = enCasa(".codex/config.toml");
    const std::string bytes = "model = \"\xff\"\n";
    escribirFichero(ruta, bytes);
    EXPECT_THROW((void)anadir(Agentes::codex), ErrorAPI);
    EXPECT_EQ(leerFichero(ruta), bytes);
}

class AnadirClaudeCode : public AnadirAgente {
protected:
    void SetUp() override {
        AnadirAgente::SetUp();
        // The first place claude is looked for: the home's ~/.local/bin.
        fs::create_directories(bin_);
        fs::create_symlink(prueba::apoyoBin("claude"), bin_ / "claude");
        setenv("SORVENIA_REGISTRO_IAS", registro_.c_str(), 1);
    }
    void TearDown() override { unsetenv("SORVENIA_REGISTRO_IAS"); }

    fs::path bin_ = enCasa(".local/bin");
    fs::path registro_ = enCasa("registro");
    fs::path ruta_ = enCasa(".claude.json");
    json entrada_ = {{"type", "stdio"}, {"command", puenteRuta()}, {"args", json::array()}};
};

TEST_F(AnadirClaudeCode, RegistersThroughTheCommandLine) {
    EXPECT_EQ(anadir(Agentes::claudeCode), "Conectado.");
    const std::string llamada = (bin_ / "claude").string();
    EXPECT_EQ(leerFichero(registro_), llamada + " mcp remove --scope user sorvenia-tarvel\n" + llamada +
                                          " mcp add --scope user sorvenia-tarvel -- " + puenteRuta() + "\n");
    EXPECT_FALSE(fs::exists(ruta_));
}

TEST_F(AnadirClaudeCode, FailingCommandFallsBackToTheFile) {
    escribirFichero(bin_ / "claude.mcp", "falla\n");
    escribirFichero(ruta_, R"({"numStartups": 3, "mcpServers": {"otro": {"command": "x"}}})");
    EXPECT_EQ(anadir(Agentes::claudeCode), "Conectado.");
    EXPECT_EQ(leerJson(ruta_), (json{{"numStartups", 3},
                                     {"mcpServers", {{"otro", {{"command", "x"}}}, {"sorvenia-tarvel", entrada_}}}}));
    EXPECT_TRUE(fs::exists(ruta_.string() + sufijoCopia));
}

TEST_F(AnadirClaudeCode, IdenticalEntryRunsNothing) {
    escribirFichero(ruta_, json{{"mcpServers", {{"sorvenia-tarvel", entrada_}}}}.dump());
    EXPECT_EQ(anadir(Agentes::claudeCode), "Ya estaba conectado.");
    EXPECT_FALSE(fs::exists(registro_));
    // A different entry (an older bridge) goes to the command line.
    escribirFichero(ruta_, R"({"mcpServers": {"sorvenia-tarvel": {"command": "/viejo"}}})");
    EXPECT_EQ(anadir(Agentes::claudeCode), "Conectado.");
    EXPECT_TRUE(fs::exists(registro_));
}

TEST_F(AnadirAgente, ClaudeAppAndOtrosWriteNothing) {
    const std::string aviso = anadir(Agentes::claudeApp);
    EXPECT_NE(aviso.find("no está disponible en Linux"), std::string::npos) << aviso;
    EXPECT_NE(aviso.find("Claude Code"), std::string::npos) << aviso;
    EXPECT_EQ(anadir(Agentes::otros), "Copia la configuración de abajo.");
    EXPECT_TRUE(fs::is_empty(ConexionTarvel::casa()));
}

TEST(ManualAgente, TextsForEachClient) {
    EXPECT_EQ(ConexionAgente::manual(Agentes::claudeCode),
              "claude mcp add --scope user sorvenia-tarvel -- \"" + puenteRuta() + "\"");
    EXPECT_EQ(ConexionAgente::manual(Agentes::codex), "[mcp_servers.sorvenia-tarvel]\ncommand = \"" + puenteRuta() + "\"");
    const std::string generico =
        "{\n  \"mcpServers\": {\n    \"sorvenia-tarvel\": { \"command\": \"" + puenteRuta() + "\" }\n  }\n}";
    EXPECT_EQ(ConexionAgente::manual(Agentes::cursor), generico);
    EXPECT_EQ(ConexionAgente::manual(Agentes::otros), generico);
    EXPECT_EQ(ConexionAgente::manual(Agentes::claudeApp), anadir(Agentes::claudeApp));
}

// VS Code and OpenCode read other shapes: the text to paste is what anadir
// writes into a new file for them.
TEST_F(AnadirAgente, ManualTextMatchesWhatAnadirWrites) {
    for (const auto& c : clientesJson()) {
        SCOPED_TRACE(std::string(texto(c.agente)));
        const std::string manual = ConexionAgente::manual(c.agente);
        EXPECT_NE(manual.find(puenteRuta()), std::string::npos);
        EXPECT_NE(manual.back(), '\n');
        (void)anadir(c.agente);
        EXPECT_EQ(json::parse(manual), leerJson(enCasa(c.relativa)));
    }
}

}  // namespace
}  // namespace sorvenia
