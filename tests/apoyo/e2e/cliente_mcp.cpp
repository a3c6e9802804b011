#include "cliente_mcp.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sorvenia::prueba {

using nlohmann::json;

ClienteMCP::ClienteMCP(const std::string& puente, const std::vector<std::string>& entorno) {
    ::signal(SIGPIPE, SIG_IGN);  // a bridge that died must fail the test, not kill it
    int haciaElPuente[2], desdeElPuente[2];
    if (::pipe2(haciaElPuente, O_CLOEXEC) != 0) return;
    if (::pipe2(desdeElPuente, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_adddup2(&acciones, haciaElPuente[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&acciones, desdeElPuente[1], STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(puente.c_str()), nullptr};
    std::vector<char*> envp;
    for (const auto& e : entorno) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, puente.c_str(), &acciones, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&acciones);
    ::close(haciaElPuente[0]);
    ::close(desdeElPuente[1]);
    entrada_ = haciaElPuente[1];
    salida_ = desdeElPuente[0];
}

ClienteMCP::~ClienteMCP() {
    if (entrada_ >= 0) ::close(entrada_);  // end of input: the bridge ends
    if (salida_ >= 0) ::close(salida_);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::optional<std::string> ClienteMCP::linea(std::chrono::milliseconds limite) {
    const auto fin = std::chrono::steady_clock::now() + limite;
    while (pendiente_.find('\n') == std::string::npos) {
        const auto queda = std::chrono::duration_cast<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now());
        if (queda.count() <= 0) return std::nullopt;
        pollfd p{salida_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(queda.count())) <= 0) continue;
        char bloque[65536];
        const ssize_t n = ::read(salida_, bloque, sizeof bloque);
        if (n <= 0) return std::nullopt;
        pendiente_.append(bloque, static_cast<std::size_t>(n));
    }
    const auto fin_linea = pendiente_.find('\n');
    std::string r = pendiente_.substr(0, fin_linea);
    pendiente_.erase(0, fin_linea + 1);
    return r;
}

std::optional<json> ClienteMCP::pedir(const std::string& metodo, const json& parametros,
                                      std::chrono::milliseconds limite) {
    const int id = siguiente_++;
    const std::string texto =
        json({{"jsonrpc", "2.0"}, {"id", id}, {"method", metodo}, {"params", parametros}}).dump() + "\n";
    if (::write(entrada_, texto.data(), texto.size()) != static_cast<ssize_t>(texto.size())) return std::nullopt;
    const auto respuesta = linea(limite);
    if (!respuesta) return std::nullopt;
    json r = json::parse(*respuesta, nullptr, false);
    if (r.is_discarded() || r.value("id", -1) != id) return std::nullopt;
    return r;
}

json ClienteMCP::herramienta(const std::string& nombre, const json& argumentos) {
    const auto r = pedir("tools/call", {{"name", nombre}, {"arguments", argumentos}});
    return r && r->contains("result") ? r->at("result") : json();
}

std::string textoDe(const json& resultado) {
    if (!resultado.is_object() || !resultado.contains("content") || resultado["content"].empty()) return "";
    return resultado["content"][0].value("text", "");
}

}  // namespace sorvenia::prueba
