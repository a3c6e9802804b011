#include "centro/arranque_centro.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "comun/texto.h"

namespace sorvenia {
namespace fs = std::filesystem;
namespace {

bool escribirTodo(int fd, std::string_view datos) {
    while (!datos.empty()) {
        const ssize_t n = write(fd, datos.data(), datos.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        datos.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

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

    // A new file beside the old one, renamed over it: the bridge never reads
    // half a file, and the token is never readable by others. The new file
    // gets a fresh name and is created exclusively, so that nothing planted
    // at a known name (a link to another file, say) is followed or reused.
    std::string temporal = (fichero.parent_path() / ("." + fichero.filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(temporal.data(), O_CLOEXEC);  // 0600, O_CREAT | O_EXCL
    if (fd < 0) return false;
    const bool escrito = fchmod(fd, 0600) == 0 && escribirTodo(fd, bytes);
    const bool cerrado = close(fd) == 0;
    if (!escrito || !cerrado || rename(temporal.c_str(), fichero.c_str()) != 0) {
        unlink(temporal.c_str());
        return false;
    }
    return true;
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
