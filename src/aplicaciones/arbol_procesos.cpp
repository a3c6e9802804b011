#include "aplicaciones/arbol_procesos.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <csignal>
#include <charconv>
#include <filesystem>
#include <string>

namespace sorvenia::ArbolProcesos {
namespace {

std::optional<pid_t> numero(std::string_view texto) {
    pid_t valor = 0;
    const auto* fin = texto.data() + texto.size();
    const auto [ptr, ec] = std::from_chars(texto.data(), fin, valor);
    if (ec != std::errc{} || ptr != fin) return std::nullopt;
    return valor;
}

// A process's stat line, or nothing. The process may end while it is read:
// the read then fails with ESRCH, which a C++ stream would turn into an
// exception out of the middle of a stop.
std::string leerStat(const std::filesystem::path& ruta) {
    const int fd = ::open(ruta.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string texto;
    char trozo[512];
    for (;;) {
        const ssize_t n = ::read(fd, trozo, sizeof trozo);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        texto.append(trozo, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return texto;
}

}  // namespace

std::optional<pid_t> padreEnStat(std::string_view stat) {
    // "<pid> (<comm>) <state> <ppid> ..."
    const auto cierre = stat.rfind(')');
    if (cierre == std::string_view::npos) return std::nullopt;
    std::string_view resto = stat.substr(cierre + 1);
    const auto saltarBlancos = [&resto] {
        while (!resto.empty() && resto.front() == ' ') resto.remove_prefix(1);
    };
    saltarBlancos();
    const auto espacio = resto.find(' ');  // past the state letter
    if (espacio == std::string_view::npos) return std::nullopt;
    resto.remove_prefix(espacio);
    saltarBlancos();
    return numero(resto.substr(0, resto.find(' ')));
}

// The process table read the way pgrep -P reads it: every numbered entry of
// /proc whose parent is `pid`. Reading files never blocks the main thread
// the way a child program would.
std::vector<pid_t> hijos(pid_t pid) {
    std::vector<pid_t> lista;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc", ec), fin; !ec && it != fin; it.increment(ec)) {
        const auto id = numero(it->path().filename().native());
        if (!id || *id == pid) continue;
        if (padreEnStat(leerStat(it->path() / "stat")) == pid) lista.push_back(*id);
    }
    std::sort(lista.begin(), lista.end());
    return lista;
}

void matarArbol(pid_t pid) {
    if (pid <= 0) return;
    for (const pid_t hijo : hijos(pid)) matarArbol(hijo);
    ::kill(pid, SIGTERM);
}

}  // namespace sorvenia::ArbolProcesos
