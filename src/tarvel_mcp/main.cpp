// tarvel-mcp: the stdio MCP server that AI clients start. Every JSON-RPC line
// on standard input goes unchanged to the application's local MCP server;
// its answer comes back as one line on standard output. While the
// application cannot be reached, a few methods are answered here.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>
#include <string_view>

#include "tarvel_mcp/puente.h"
#include "tarvel_mcp/reenviar.h"

namespace {

void escribirTodo(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // the client stopped reading; keep serving until input ends
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void atenderLinea(std::string_view linea) {
    if (!linea.empty() && linea.back() == '\r') linea.remove_suffix(1);
    if (auto salida = sorvenia::puente::atender(linea, sorvenia::puente::reenviar)) escribirTodo(*salida);
}

}  // namespace

int main() {
    std::signal(SIGPIPE, SIG_IGN);  // a closed output must not kill the bridge mid-answer

    std::string pendiente;
    std::size_t revisado = 0;  // bytes of `pendiente` known to hold no line feed
    char bloque[65536];
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, bloque, sizeof bloque);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pendiente.append(bloque, static_cast<std::size_t>(n));
        std::size_t inicio = 0;
        for (std::size_t fin; (fin = pendiente.find('\n', std::max(inicio, revisado))) != std::string::npos;
             inicio = fin + 1)
            atenderLinea(std::string_view(pendiente).substr(inicio, fin - inicio));
        pendiente.erase(0, inicio);
        revisado = pendiente.size();
    }
    if (!pendiente.empty()) atenderLinea(pendiente);
    return 0;
}
