#pragma once
// One of the user's own connections for the AI agents, as the connections
// file and an agent's proposal describe it: the record, the known servers,
// the name and validation rules, the file's text and a proposal's reading.
// Pure: any bytes of the file and any arguments an agent sends go through
// here before anything is stored or run.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

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

// The connections of the file's text, in order; entries of another shape
// are left out, and text that is not a JSON array is an empty list.
std::vector<Conexion> leerLista(std::string_view texto);
// The file's text for a list; nothing when it cannot be written as JSON.
std::optional<std::string> textoLista(const std::vector<Conexion>& lista);

// Cleans the name, fills the defaults and checks every field: nothing when
// the connection may be stored, else the Spanish reason.
std::optional<std::string> validar(Conexion& c, const std::optional<std::string>& secreto);

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
}  // namespace sorvenia::Conexiones
