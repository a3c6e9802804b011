#pragma once
// Where the user's Figma personal access token lives: the keychain secret
// of the user's connection named "figma" (the connections are kept by a
// higher layer, which hands their ids and names in).
//
// token() blocks on the keychain: worker threads only.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sorvenia::Figma {

// A stored connection as the lookup needs it.
struct ConexionGuardada {
    std::string id;
    std::string nombre;
};

// The keychain account of the token: "conexion:" + the id of the connection
// whose id is "figma", else of the first whose name is "figma" (connections
// made from the settings catalogue or proposed by an agent get generated
// ids), else "conexion:figma".
std::string cuentaToken(const std::vector<ConexionGuardada>& conexiones);

// The stored token; nothing when the item is missing or empty.
std::optional<std::string> token(const std::vector<ConexionGuardada>& conexiones);

}  // namespace sorvenia::Figma
