#pragma once
// Registering the application's stdio bridge in the AI clients around it,
// under the server name "sorvenia-tarvel"; telling whether a client already
// has it; and the text for setting a client up by hand. Stateless: the only
// state is in the clients' own files, read again at every call.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "integraciones/agentes.h"
#include "plataforma/tarea.h"

namespace sorvenia::ConexionAgente {

// The client's configuration under the home folder (for claudeApp the folder
// of its installed desktop extension); nothing for otros.
std::optional<std::string> ruta(Agentes agente);

// Whether the client's configuration text names "sorvenia-tarvel"; for
// claudeApp, whether its extension folder exists.
bool conectado(Agentes agente);

// What the user pastes or does to register the bridge by hand.
std::string manual(Agentes agente);

// Registers the bridge in the client and gives a Spanish status text. Runs
// on the main thread; only the claude command runs off it. Throws ErrorAPI
// "config" for a client file it refuses to touch and std::runtime_error
// (a Spanish sentence) for a failed backup, folder or write.
Tarea<std::string> anadir(Agentes agente);

namespace detalle {

// The Claude desktop app has no Linux build: anadir and manual both say so.
inline constexpr std::string_view sinClaudeApp =
    "La aplicación de escritorio de Claude no está disponible en Linux. Usa Claude Code, o copia la "
    "configuración de «Otros agentes» en tu cliente.";

// The container key of the client's JSON file and the entry stored under
// "sorvenia-tarvel" inside it (cursor, vscode, opencode, and claudeCode's
// fallback); nothing for the other clients.
std::optional<std::pair<std::string, nlohmann::json>> entradaJson(Agentes agente);

// Puts `valor` under clave → "sorvenia-tarvel" of the JSON file at `ruta`,
// keeping everything else; "Conectado." or "Ya estaba conectado.".
std::string jsonConServidor(const std::string& ruta, const std::string& clave, const nlohmann::json& valor);

// Appends the bridge's table to Codex's TOML file, the rest kept byte for byte.
std::string tomlCodex(const std::string& ruta);

// Runs "claude mcp remove" and "claude mcp add" with the first claude found;
// (false, "sin CLI") when there is none. Blocking: never on the main thread.
std::pair<bool, std::string> registrarConClaude(const std::string& puente);

}  // namespace detalle

}  // namespace sorvenia::ConexionAgente

namespace sorvenia {

// The display names of the clients in which the bridge is registered
// (conectado), in the order of todosLosAgentes: a JSON array of texts.
nlohmann::json agentesConectados();

}  // namespace sorvenia
