#pragma once
// The user's own connections for the AI agents: remote MCP servers over
// HTTP, local MCP servers started as a command, and plain keys handed to the
// agent in an environment variable. The list lives in "conexiones.json"
// (never a secret in it); each secret in the keychain under "conexion:" + id.
// Agent runs get the active ones (paraClaude, paraCodex): a secret reaches
// an agent through its environment or its private MCP configuration file,
// never its command line.
//
// Operations that touch the keychain block (worker threads only): guardar,
// borrar, json, paraClaude, paraCodex. lista and activar only touch the file.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "ias/proceso.h"
#include "integraciones/conexion.h"
#include "integraciones/integraciones.h"
#include "plataforma/tarea.h"

namespace sorvenia::Conexiones {

// The connections file and the logo folder (under the application's data
// folder, made on use).
std::filesystem::path fichero();
std::filesystem::path carpetaLogos();

// The stored connections in file order; an unreadable file is an empty list.
std::vector<Conexion> lista();

// Validates, adds or replaces (same id, or same cleaned name), stores the
// secret and writes the file: nothing on success, else the Spanish reason
// (and nothing stored). Blocking.
std::optional<std::string> guardar(Conexion c, std::optional<std::string> secreto);
// The connection as the last successful guardar stored it.
std::optional<Conexion> ultimaGuardada();

void activar(const std::string& id, bool activa);
// Removes the connection, its secret and its logo. Blocking.
void borrar(const std::string& id);

// The list for the settings page: "orden" joined with its arguments,
// "secreto" only a flag, "logo" a data URL or "". Blocking.
nlohmann::json json();

// Looks for the connection's logo and stores it in the logo folder; a
// failure leaves no file and is not reported.
Tarea<void> buscarLogo(Conexion c);

// For a claude run: "mcpServers" members, allowed-tool patterns, environment
// and the text appended to the brief. Blocking.
struct ParaClaude {
    nlohmann::json servidores = nlohmann::json::object();
    std::vector<std::string> herramientas;
    Entorno entorno;
    std::string texto;
};
ParaClaude paraClaude();

// For a codex run: "-c" pairs, environment and the brief's text. Blocking.
struct ParaCodex {
    std::vector<std::string> args;
    Entorno entorno;
    std::string texto;
};
ParaCodex paraCodex();

// The prefix of the variable that carries an HTTP connection's secret to
// codex.
inline constexpr std::string_view prefijoCodex = "SORVENIA_CONEXION_";

// Tests one stored connection: an MCP handshake for a remote server, the
// executable for a local one, the stored key for a key. Changes nothing.
struct Prueba {
    bool ok = false;
    std::string texto;
};
Tarea<Prueba> probar(std::string id);

// Saves an accepted proposal (blocking) and gives the tool's content item.
// A replacement that changes where the connection points and brings no
// secret of its own drops the old secret: it must never reach the new place.
nlohmann::json guardarPropuesta(const Propuesta& p);
// The tool's item when the user said no.
nlohmann::json rechazada();

}  // namespace sorvenia::Conexiones
