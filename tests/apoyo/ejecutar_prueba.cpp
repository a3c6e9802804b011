#include "ejecutar_prueba.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>

extern char** environ;

namespace sorvenia::prueba {
namespace {

std::vector<std::string> entornoCon(const std::map<std::string, std::string>& cambios) {
    std::vector<std::string> resultado;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entrada(*e);
        const std::string nombre = entrada.substr(0, entrada.find('='));
        if (!cambios.contains(nombre)) resultado.push_back(entrada);
    }
    for (const auto& [nombre, valor] : cambios)
        if (!valor.empty()) resultado.push_back(nombre + "=" + valor);
    return resultado;
}

std::vector<char*> punteros(std::vector<std::string>& textos) {
    std::vector<char*> p;
    for (auto& t : textos) p.push_back(t.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

Salida ejecutarPrograma(const std::string& programa, const std::vector<std::string>& argumentos,
                        const std::string& entrada, const std::map<std::string, std::string>& entorno,
                        std::chrono::milliseconds limite) {
    Salida resultado;
    std::array<int, 2> in{}, out{}, err{};
    if (pipe2(in.data(), O_CLOEXEC) != 0 || pipe2(out.data(), O_CLOEXEC) != 0 || pipe2(err.data(), O_CLOEXEC) != 0)
        return resultado;

    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_adddup2(&acciones, in[0], 0);
    posix_spawn_file_actions_adddup2(&acciones, out[1], 1);
    posix_spawn_file_actions_adddup2(&acciones, err[1], 2);

    std::vector<std::string> args{programa};
    args.insert(args.end(), argumentos.begin(), argumentos.end());
    auto argv = punteros(args);
    auto variables = entornoCon(entorno);
    auto envp = punteros(variables);

    pid_t pid = -1;
    const int fallo = posix_spawn(&pid, programa.c_str(), &acciones, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&acciones);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (fallo != 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return resultado;
    }

    std::size_t escrito = 0;
    int escritura = in[1];
    if (entrada.empty()) {
        close(escritura);
        escritura = -1;
    }
    const auto fin = std::chrono::steady_clock::now() + limite;
    bool abiertaSalida = true, abiertaErrores = true;
    char bloque[65536];
    while (abiertaSalida || abiertaErrores) {
        const auto quedan = std::chrono::duration_cast<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now());
        if (quedan.count() <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        std::array<pollfd, 3> fds{pollfd{abiertaSalida ? out[0] : -1, POLLIN, 0},
                                  pollfd{abiertaErrores ? err[0] : -1, POLLIN, 0}, pollfd{escritura, POLLOUT, 0}};
        if (poll(fds.data(), fds.size(), static_cast<int>(quedan.count())) < 0) continue;
        if (fds[2].revents != 0 && escritura >= 0) {
            signal(SIGPIPE, SIG_IGN);
            const ssize_t n = write(escritura, entrada.data() + escrito, entrada.size() - escrito);
            if (n > 0) escrito += static_cast<std::size_t>(n);
            if (n < 0 || escrito == entrada.size()) {
                close(escritura);
                escritura = -1;
            }
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[static_cast<std::size_t>(i)].revents == 0) continue;
            const ssize_t n = read(i == 0 ? out[0] : err[0], bloque, sizeof bloque);
            if (n > 0) (i == 0 ? resultado.salida : resultado.errores).append(bloque, static_cast<std::size_t>(n));
            else (i == 0 ? abiertaSalida : abiertaErrores) = false;
        }
    }
    if (escritura >= 0) close(escritura);
    close(out[0]);
    close(err[0]);
    int estado = 0;
    waitpid(pid, &estado, 0);
    resultado.estado = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    return resultado;
}

}  // namespace sorvenia::prueba
