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
#include "integraciones/integraciones.h"
#include "plataforma/tarea.h"

namespace sorvenia::Conexiones {

struct Conexion {
    std::string id;
    std::string nombre;
    std::string tipo;  // "mcp-http", "mcp-orden" or "clave"
    std::string url;
    std::string cabecera = "Authorization";
    std::string orden;
    std::vector<std::string> argumentos;
    std::string variable;
    std::string para;
    bool activa = true;
    bool operator==(const Conexion&) const = default;
};

// A known server the user (or an agent) can take as a starting point.
struct Conocido {
    std::string clave;
    std::string nombre;
    std::string tipo;
    std::string url;
    std::string cabecera;
    std::vector<std::string> orden;  // executable, then arguments
    std::string variable;
    std::string para;
};

const std::vector<Conocido>& catalogo();
std::optional<Conocido> delCatalogo(std::string_view nombre);

// Lower case, no diacritics, runs of anything but [a-z0-9] as one "-", no
// "-" at either end, at most 30 characters.
std::string limpiarNombre(std::string_view nombre);
// 2 to 31 of [a-z0-9-], starting with a letter or digit, and not "tarvel".
bool nombreValido(std::string_view nombre);

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

// A connection an agent proposes through "proponer_conexion": built from the
// tool's arguments (with the catalogue's help), and the alert's texts.
struct Propuesta {
    Conexion conexion;
    std::optional<std::string> secreto;
    std::string mensaje;
    std::string informativo;
    // The existing connection it would replace, if any.
    std::optional<Conexion> sustituye;
};
// `existentes`: the stored list (to tell a replacement). Pure.
Propuesta propuesta(const nlohmann::json& argumentos, const std::vector<Conexion>& existentes);
// Saves an accepted proposal (blocking) and gives the tool's content item.
// A replacement that changes where the connection points and brings no
// secret of its own drops the old secret: it must never reach the new place.
nlohmann::json guardarPropuesta(const Propuesta& p);
// The tool's item when the user said no.
nlohmann::json rechazada();

}  // namespace sorvenia::Conexiones
