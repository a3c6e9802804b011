#include "ias/path_terminal.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "comun/conexion_tarvel.h"
#include "ias/correr_corto.h"

namespace sorvenia::IAsLocales {
namespace {

bool esEjecutable(const std::string& ruta) {
    std::error_code ec;
    return !ruta.empty() && ruta.front() == '/' && std::filesystem::is_regular_file(ruta, ec) &&
           access(ruta.c_str(), X_OK) == 0;
}

std::string shellDelSistema() {
    const long sugerido = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(sugerido > 0 ? static_cast<std::size_t>(sugerido) : 16384);
    passwd entrada{};
    passwd* resultado = nullptr;
    while (getpwuid_r(getuid(), &entrada, buffer.data(), buffer.size(), &resultado) == ERANGE)
        buffer.resize(buffer.size() * 2);
    return resultado != nullptr && resultado->pw_shell != nullptr ? resultado->pw_shell : "";
}

}  // namespace

std::vector<std::string> carpetasDeHerramientas(const std::filesystem::path& casa) {
    const std::string h = casa.string();
    // The same eight places, in the same order, as where these tools live on
    // a Mac, each moved to where it lives on Linux:
    //   ~/.local/bin                       pipx, the claude installer
    //   /home/linuxbrew/.linuxbrew/bin     Homebrew on Linux (the Mac's /opt/homebrew/bin)
    //   /usr/local/bin                     npm's global bin for Debian's or the upstream Node
    //   ~/.npm-global/bin                  npm's global bin with a per-user prefix
    //   ~/.bun/bin, ~/.volta/bin           Bun and Volta
    //   /usr/bin, /bin                     the system's own
    return {h + "/.local/bin", "/home/linuxbrew/.linuxbrew/bin", "/usr/local/bin", h + "/.npm-global/bin",
            h + "/.bun/bin", h + "/.volta/bin", "/usr/bin", "/bin"};
}

std::string shellDeUsuario() {
    if (const char* shell = std::getenv("SHELL"); shell != nullptr && esEjecutable(shell)) return shell;
    if (std::string propio = shellDelSistema(); esEjecutable(propio)) return propio;
    return "/bin/bash";
}

std::string calcularPathDeTerminal(const std::string& shell, const std::filesystem::path& casa, double limite) {
    // Both output streams share the pipe, so whatever else the login shell
    // prints (a greeting) lands in the pieces too; that is accepted.
    const auto salida = correrCorto(shell, {"-lc", "printf %s \"$PATH\""}, std::nullopt, limite);
    std::vector<std::string> carpetas = carpetasDelPath(salida ? salida->texto : std::string());
    for (auto& c : carpetasDeHerramientas(casa)) carpetas.push_back(std::move(c));

    std::string path;
    std::vector<std::string> vistas;
    for (const auto& c : carpetas) {
        if (std::find(vistas.begin(), vistas.end(), c) != vistas.end()) continue;
        vistas.push_back(c);
        if (!path.empty()) path += ':';
        path += c;
    }
    return path;
}

const std::string& pathDeTerminal() {
    static const std::string valor = calcularPathDeTerminal(shellDeUsuario(), ConexionTarvel::casa());
    return valor;
}

std::vector<std::string> carpetasDelPath(const std::string& texto) {
    std::vector<std::string> piezas;
    std::size_t inicio = 0;
    while (inicio <= texto.size()) {
        const auto fin = std::min(texto.find(':', inicio), texto.size());
        if (fin > inicio) piezas.push_back(texto.substr(inicio, fin - inicio));
        inicio = fin + 1;
    }
    return piezas;
}

}  // namespace sorvenia::IAsLocales
