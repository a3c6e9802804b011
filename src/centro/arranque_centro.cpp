#include "centro/arranque_centro.h"


#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "comun/texto.h"
#include "plataforma/fichero_privado.h"

namespace sorvenia {
namespace fs = std::filesystem;
namespace {

std::optional<std::string> leerEntero(const fs::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    if (!entrada) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
    if (entrada.bad()) return std::nullopt;
    return bytes;
}

}  // namespace

bool escribirConexion(const fs::path& fichero, std::uint16_t puerto, std::string_view token) {
    std::error_code error;
    fs::create_directories(fichero.parent_path(), error);
    const std::string bytes = nlohmann::json{{"puerto", puerto}, {"token", token}}.dump();

    // Written beside and renamed over: the bridge never reads half a file,
    // the token is never readable by others, and nothing planted at a known
    // name is followed or reused.
    return escribirPrivado(fichero, bytes).ok();
}

void copiarPuente(const fs::path& origen, const fs::path& destino) {
    std::error_code error;
    if (!fs::exists(origen, error)) return;
    fs::create_directories(destino.parent_path(), error);
    if (leerEntero(origen) == leerEntero(destino)) return;
    fs::remove(destino, error);
    fs::copy_file(origen, destino, fs::copy_options::overwrite_existing, error);
    fs::permissions(destino, fs::perms(0755), fs::perm_options::replace, error);
}

std::string nombreBonito(const std::string& nombre) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 9> tabla{{
        {"claude-code", "Claude Code"},
        {"claude code", "Claude Code"},
        {"claude", "Claude"},
        {"codex", "Codex"},
        {"cursor", "Cursor"},
        {"copilot", "Copilot"},
        {"opencode", "OpenCode"},
        {"vscode", "VS Code"},
        {"visual studio", "VS Code"},
    }};
    // ASCII only: the fragments are ASCII, and the locale must not touch
    // the bytes of other letters.
    const std::string minusculas = enMinusculas(nombre);
    for (const auto& [fragmento, bonito] : tabla)
        if (minusculas.find(fragmento) != std::string::npos) return std::string(bonito);
    return nombre.empty() ? "Agente" : nombre;
}

}  // namespace sorvenia
