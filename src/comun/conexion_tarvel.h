#pragma once
// Where the application keeps its per-user files, where the bridge is
// installed, and the connection file through which the bridge finds the
// application's local MCP server. Shared by the application and the bridge.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sorvenia::ConexionTarvel {

// Default port of the local MCP server.
inline constexpr std::uint16_t puerto = 39847;

struct Conexion {
    std::uint16_t puerto;
    std::string token;
    bool operator==(const Conexion&) const = default;
};

// The user's home folder: $HOME when set and not empty, else the password
// database. AI clients start the bridge with all kinds of environments, so
// nothing else (XDG variables in particular) is consulted.
const std::filesystem::path& casa();

// ~/.local/share/SorveniaTarvel: the per-user application folder.
const std::filesystem::path& carpeta();
// carpeta()/mcp.json: the connection file.
const std::filesystem::path& fichero();
// ~/.sorvenia-tarvel/bin/tarvel: the installed copy of the bridge.
const std::filesystem::path& puente();

// The largest connection file read; the application writes about 70 bytes.
inline constexpr std::size_t limiteFichero = 64 * 1024;

// Reads the connection file; nothing when it is missing, unreadable, not a
// JSON object, has no usable token, or names a port outside 1..65535.
std::optional<Conexion> leer();

// leer() on another path. Only a regular file of at most limiteFichero
// bytes is read, opened without following a symbolic link and without
// waiting: a folder, a FIFO, a device or a link yields nothing at once.
std::optional<Conexion> leer(const std::filesystem::path& ruta);

// The acceptance rules of leer() applied to the bytes of a connection file.
std::optional<Conexion> interpretar(std::string_view bytes);

}  // namespace sorvenia::ConexionTarvel
