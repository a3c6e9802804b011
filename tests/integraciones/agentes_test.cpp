#include "integraciones/agentes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aislado.h"
#include "ayuda_clientes.h"
#include "integraciones/conexion_agente.h"

namespace sorvenia {
namespace {

using prueba::enCasa;
using prueba::escribirFichero;

TEST(Agentes, RawValuesNamesAndOrder) {
    const std::vector<std::pair<std::string, std::string>> esperado = {
        {"claudeApp", "Claude (app)"}, {"claudeCode", "Claude Code"}, {"codex", "Codex · ChatGPT"},
        {"cursor", "Cursor"},          {"vscode", "VS Code"},         {"opencode", "OpenCode"},
        {"otros", "Otros agentes"}};
    ASSERT_EQ(todosLosAgentes.size(), esperado.size());
    for (std::size_t i = 0; i < esperado.size(); ++i) {
        const Agentes a = todosLosAgentes[i];
        EXPECT_EQ(texto(a), esperado[i].first);
        EXPECT_EQ(nombreVisible(a), esperado[i].second);
        EXPECT_EQ(agenteDesde(esperado[i].first), a);
    }
    for (const char* otro : {"", "Cursor", "claude", "claudeapp", "otros "}) EXPECT_FALSE(agenteDesde(otro)) << otro;
}

TEST(Agentes, PathOfEachClientUnderTheHomeFolder) {
    const std::string casa = ConexionTarvel::casa().string();
    const std::vector<std::pair<Agentes, std::string>> casos = {
        {Agentes::claudeApp, "/.config/Claude/Claude Extensions/local.mcpb.sorvenia.sorvenia-tarvel"},
        {Agentes::claudeCode, "/.claude.json"},
        {Agentes::codex, "/.codex/config.toml"},
        {Agentes::cursor, "/.cursor/mcp.json"},
        {Agentes::vscode, "/.config/Code/User/mcp.json"},
        {Agentes::opencode, "/.config/opencode/opencode.json"}};
    for (const auto& [agente, sufijo] : casos) EXPECT_EQ(ConexionAgente::ruta(agente), casa + sufijo) << texto(agente);
    EXPECT_FALSE(ConexionAgente::ruta(Agentes::otros));
    EXPECT_EQ(casa, prueba::raizAislada() / "casa") << "the test must not look at the user's own home";
}

class Conectado : public ::testing::Test {
protected:
    void SetUp() override { prueba::vaciarCasa(); }
};

// What each kind of file says about whether the client is set up.
TEST_F(Conectado, EachKindOfFile) {
    struct Caso {
        const char* nombre;
        Agentes agente;
        std::string relativa;
        std::string contenido;
        bool esperado;
    };
    const std::vector<Caso> casos = {
        {"registrado", Agentes::cursor, ".cursor/mcp.json",
         R"({"mcpServers": {"sorvenia-tarvel": {"command": "/x"}}})", true},
        {"otros servidores", Agentes::cursor, ".cursor/mcp.json", R"({"mcpServers": {"otro": {"command": "/x"}}})",
         false},
        {"no es JSON pero lo nombra", Agentes::vscode, ".config/Code/User/mcp.json", "// sorvenia-tarvel\n{,", true},
        {"no es JSON", Agentes::opencode, ".config/opencode/opencode.json", "{ roto", false},
        {"no es UTF-8", Agentes::claudeCode, ".claude.json", std::string("\xff\xfe sorvenia-tarvel"), false},
        {"codex con la tabla", Agentes::codex, ".codex/config.toml",
         "model = \"o3\"\n\n[mcp_servers.sorvenia-tarvel]\ncommand = \"/x\"\n", true},
        {"codex sin la tabla", Agentes::codex, ".codex/config.toml", "model = \"o3\"\n[mcp_servers.otro]\n", false},
    };
    for (const auto& c : casos) {
        prueba::vaciarCasa();
        EXPECT_FALSE(ConexionAgente::conectado(c.agente)) << "absent: " << c.nombre;
        escribirFichero(enCasa(c.relativa), c.contenido);
        EXPECT_EQ(ConexionAgente::conectado(c.agente), c.esperado) << c.nombre;
    }
}

TEST_F(Conectado, ClaudeAppByItsExtensionFolderAndOtrosNever) {
    const std::filesystem::path carpeta = *ConexionAgente::ruta(Agentes::claudeApp);
    EXPECT_FALSE(ConexionAgente::conectado(Agentes::claudeApp));
    std::filesystem::create_directories(carpeta);
    EXPECT_TRUE(ConexionAgente::conectado(Agentes::claudeApp));
    // A folder counts only for the desktop app.
    std::filesystem::create_directories(enCasa(".cursor/mcp.json"));
    EXPECT_FALSE(ConexionAgente::conectado(Agentes::cursor));
    EXPECT_FALSE(ConexionAgente::conectado(Agentes::otros));
}

TEST_F(Conectado, ListForTheEditorInDeclaredOrder) {
    EXPECT_EQ(agentesConectados(), nlohmann::json::array());
    escribirFichero(enCasa(".config/Code/User/mcp.json"), R"({"servers": {"sorvenia-tarvel": {}}})");
    escribirFichero(enCasa(".codex/config.toml"), "[mcp_servers.sorvenia-tarvel]\n");
    escribirFichero(enCasa(".cursor/mcp.json"), R"({"mcpServers": {"otro": {}}})");
    escribirFichero(enCasa(".claude.json"), std::string("\xc3\x28 sorvenia-tarvel"));
    std::filesystem::create_directories(*ConexionAgente::ruta(Agentes::claudeApp));
    EXPECT_EQ(agentesConectados(), (nlohmann::json{"Claude (app)", "Codex · ChatGPT", "VS Code"}));
    escribirFichero(enCasa(".config/opencode/opencode.json"), "sorvenia-tarvel");
    escribirFichero(enCasa(".claude.json"), "{\"mcpServers\": {\"sorvenia-tarvel\": {}}}");
    EXPECT_EQ(agentesConectados(),
              (nlohmann::json{"Claude (app)", "Claude Code", "Codex · ChatGPT", "VS Code", "OpenCode"}));
}

}  // namespace
}  // namespace sorvenia
