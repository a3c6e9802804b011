#include "integraciones/conexion_agente.h"

#include <glib.h>

#include <filesystem>

#include "comun/conexion_tarvel.h"
#include "integraciones/escritura_cliente.h"

namespace sorvenia::ConexionAgente {
namespace {

const std::string& casa() {
    static const std::string c = ConexionTarvel::casa().string();
    return c;
}

std::string puente() { return ConexionTarvel::puente().string(); }

std::string sufijo(Agentes agente) {
    switch (agente) {
        // The desktop app has no Linux build; this is where its Linux
        // configuration folder would keep the extension.
        case Agentes::claudeApp: return "/.config/Claude/Claude Extensions/local.mcpb.sorvenia.sorvenia-tarvel";
        case Agentes::claudeCode: return "/.claude.json";
        case Agentes::codex: return "/.codex/config.toml";
        case Agentes::cursor: return "/.cursor/mcp.json";
        case Agentes::vscode: return "/.config/Code/User/mcp.json";
        case Agentes::opencode: return "/.config/opencode/opencode.json";
        case Agentes::otros: break;
    }
    return {};
}

std::string manualJsonGenerico() {
    return "{\n  \"mcpServers\": {\n    \"sorvenia-tarvel\": { \"command\": \"" + puente() + "\" }\n  }\n}";
}

// VS Code and OpenCode read other shapes than "mcpServers": their text is
// exactly what anadir writes into their files.
std::string manualComoFichero(Agentes agente) {
    auto [clave, valor] = *detalle::entradaJson(agente);
    return nlohmann::json{{clave, {{"sorvenia-tarvel", valor}}}}.dump(2);
}

}  // namespace

std::optional<std::string> ruta(Agentes agente) {
    if (agente == Agentes::otros) return std::nullopt;
    return casa() + sufijo(agente);
}

bool conectado(Agentes agente) {
    const auto r = ruta(agente);
    if (!r) return false;
    if (auto texto = EscrituraCliente::leer(*r); texto && g_utf8_validate(texto->data(), static_cast<gssize>(texto->size()), nullptr))
        return texto->find("sorvenia-tarvel") != std::string::npos;
    std::error_code ec;
    return agente == Agentes::claudeApp && std::filesystem::exists(std::filesystem::symlink_status(*r, ec));
}

std::string manual(Agentes agente) {
    switch (agente) {
        case Agentes::claudeApp: return std::string(detalle::sinClaudeApp);
        case Agentes::claudeCode: return "claude mcp add --scope user sorvenia-tarvel -- \"" + puente() + "\"";
        case Agentes::codex: return "[mcp_servers.sorvenia-tarvel]\ncommand = \"" + puente() + "\"";
        case Agentes::vscode:
        case Agentes::opencode: return manualComoFichero(agente);
        case Agentes::cursor:
        case Agentes::otros: break;
    }
    return manualJsonGenerico();
}

std::optional<std::pair<std::string, nlohmann::json>> detalle::entradaJson(Agentes agente) {
    using nlohmann::json;
    switch (agente) {
        case Agentes::claudeCode:
            return std::pair{"mcpServers", json{{"type", "stdio"}, {"command", puente()}, {"args", json::array()}}};
        case Agentes::cursor: return std::pair{"mcpServers", json{{"command", puente()}}};
        case Agentes::vscode: return std::pair{"servers", json{{"type", "stdio"}, {"command", puente()}}};
        case Agentes::opencode:
            return std::pair{"mcp", json{{"type", "local"}, {"command", json::array({puente()})}, {"enabled", true}}};
        case Agentes::claudeApp:
        case Agentes::codex:
        case Agentes::otros: break;
    }
    return std::nullopt;
}

}  // namespace sorvenia::ConexionAgente

namespace sorvenia {

nlohmann::json agentesConectados() {
    auto lista = nlohmann::json::array();
    for (Agentes a : todosLosAgentes)
        if (ConexionAgente::conectado(a)) lista.push_back(std::string(nombreVisible(a)));
    return lista;
}

}  // namespace sorvenia
