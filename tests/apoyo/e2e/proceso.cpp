#include "proceso.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace sorvenia::prueba {

std::vector<std::string> entornoCon(const std::map<std::string, std::string>& cambios) {
    std::vector<std::string> entorno;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string variable(*e);
        if (!cambios.contains(variable.substr(0, variable.find('=')))) entorno.push_back(variable);
    }
    for (const auto& [nombre, valor] : cambios)
        if (!valor.empty()) entorno.push_back(nombre + "=" + valor);
    return entorno;
}

Proceso::Proceso(const std::string& programa, const std::vector<std::string>& argumentos,
                 const std::vector<std::string>& entorno, const std::string& salida) {
    std::vector<char*> argv{const_cast<char*>(programa.c_str())};
    for (const auto& a : argumentos) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : entorno) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawnattr_t atributos;
    posix_spawnattr_init(&atributos);
    posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&atributos, 0);
    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    if (!salida.empty())
        posix_spawn_file_actions_addopen(&acciones, STDOUT_FILENO, salida.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (posix_spawn(&pid_, programa.c_str(), &acciones, &atributos, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&acciones);
    posix_spawnattr_destroy(&atributos);
}

Proceso::~Proceso() { parar(); }

std::optional<int> Proceso::esperar(std::chrono::milliseconds limite) {
    const auto fin = std::chrono::steady_clock::now() + limite;
    while (pid_ > 0 && !estado_) {
        int estado = 0;
        const pid_t r = waitpid(pid_, &estado, WNOHANG);
        if (r == pid_) {
            estado_ = WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
            break;
        }
        if (std::chrono::steady_clock::now() >= fin) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return estado_;
}

bool Proceso::vivo() { return pid_ > 0 && !esperar(std::chrono::milliseconds(0)); }

void Proceso::senal(int s) {
    if (vivo()) kill(pid_, s);
}

void Proceso::parar() {
    if (!vivo()) return;
    kill(-pid_, SIGTERM);
    if (!esperar(std::chrono::seconds(5))) {
        kill(-pid_, SIGKILL);
        esperar(std::chrono::seconds(5));
    }
}

}  // namespace sorvenia::prueba
