#include "procesos_banco.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace sorvenia::banco {
namespace {

namespace fs = std::filesystem;

struct Proceso {
    pid_t padre = 0;
    long long ticks = 0;
};

// Every process in /proc now, with its parent and CPU ticks.
std::map<pid_t, Proceso> tabla() {
    std::map<pid_t, Proceso> procesos;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        const std::string nombre = e.path().filename();
        if (nombre.empty() || !std::all_of(nombre.begin(), nombre.end(), ::isdigit)) continue;
        std::ifstream f(e.path() / "stat");
        std::string linea;
        if (!std::getline(f, linea)) continue;
        const auto cierre = linea.rfind(')');
        if (cierre == std::string::npos || cierre + 2 > linea.size()) continue;
        std::istringstream campos(linea.substr(cierre + 2));
        std::vector<std::string> v;
        for (std::string c; campos >> c;) v.push_back(c);
        if (v.size() < 13) continue;
        procesos[std::stoi(nombre)] = {std::stoi(v[1]), std::stoll(v[11]) + std::stoll(v[12])};
    }
    return procesos;
}

// The value in kB of field `campo` ("Pss:") of /proc/<pid>/smaps_rollup.
long long campoKb(pid_t pid, const std::string& campo) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string linea; std::getline(f, linea);) {
        if (linea.rfind(campo, 0) == 0) return std::atoll(linea.c_str() + campo.size());
    }
    return 0;
}

}  // namespace

std::string nombreDe(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/comm");
    std::string nombre;
    std::getline(f, nombre);
    return nombre;
}

double residenteMb(pid_t pid) { return static_cast<double>(campoKb(pid, "Rss:")) / 1024.0; }

namespace {

// `raiz` and its descendants in `procesos`.
std::vector<pid_t> arbolEn(const std::map<pid_t, Proceso>& procesos, pid_t raiz) {
    std::vector<pid_t> r;
    for (const auto& [pid, datos] : procesos) {
        for (pid_t p = pid; p > 1;) {
            if (p == raiz) {
                r.push_back(pid);
                break;
            }
            const auto it = procesos.find(p);
            if (it == procesos.end()) break;
            p = it->second.padre;
        }
    }
    return r;
}

}  // namespace

std::vector<pid_t> arbol(pid_t raiz) { return arbolEn(tabla(), raiz); }

// One reading of /proc for both the tree and its ticks.
std::map<pid_t, long long> ticksBajo(pid_t raiz) {
    const auto todos = tabla();
    std::map<pid_t, long long> r;
    for (pid_t p : arbolEn(todos, raiz))
        if (p != raiz) r[p] = todos.at(p).ticks;
    return r;
}

Cpu cpuEnReposo(const std::function<std::vector<pid_t>()>& procesos, const std::function<void(int)>& esperar,
                int segundos) {
    const auto antes = tabla();
    const auto t0 = std::chrono::steady_clock::now();
    esperar(segundos * 1000);
    const double pasado = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const auto despues = tabla();
    const double porTick = 100.0 / static_cast<double>(::sysconf(_SC_CLK_TCK)) / pasado;
    Cpu r;
    for (pid_t p : procesos()) {
        const auto d = despues.find(p);
        if (d == despues.end()) continue;
        const auto a = antes.find(p);
        const long long usados = d->second.ticks - (a == antes.end() ? 0 : a->second.ticks);
        r.procesos.push_back({nombreDe(p), static_cast<double>(usados) * porTick});
        r.total += r.procesos.back().cpu;
    }
    std::sort(r.procesos.begin(), r.procesos.end(), [](const auto& a, const auto& b) { return a.cpu > b.cpu; });
    return r;
}

double asentarse(const std::function<std::vector<pid_t>()>& procesos, const std::function<void(int)>& esperar,
                 int limite) {
    constexpr double quieto = 3.0;
    int seguidos = 0;
    for (int s = 1; s <= limite; ++s) {
        seguidos = cpuEnReposo(procesos, esperar, 1).total < quieto ? seguidos + 1 : 0;
        if (seguidos == 2) return s - 2;
    }
    return -1;
}

std::string Cpu::detalle() const {
    std::string r;
    char cifra[32];
    for (const CpuProceso& p : procesos) {
        std::snprintf(cifra, sizeof cifra, " %.1f%%", p.cpu);
        r += (r.empty() ? "" : ", ") + p.nombre + cifra;
    }
    return r;
}

Memoria memoria(pid_t raiz) {
    Memoria m;
    std::vector<std::pair<double, std::string>> grandes;
    for (pid_t p : arbol(raiz)) {
        const double pss = static_cast<double>(campoKb(p, "Pss:")) / 1024.0;
        m.pss += pss;
        m.rss += residenteMb(p);
        ++m.procesos;
        if (pss >= 1.0) grandes.emplace_back(pss, nombreDe(p));
    }
    std::sort(grandes.begin(), grandes.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    char cifra[32];
    for (const auto& [pss, nombre] : grandes) {
        std::snprintf(cifra, sizeof cifra, " %.1f MB", pss);
        m.detalle += (m.detalle.empty() ? "" : ", ") + nombre + cifra;
    }
    return m;
}

Hijo::Hijo(const std::vector<std::string>& argumentos, const std::vector<std::string>& entorno) {
    std::vector<std::string> variables = entorno;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string v = *e;
        const std::string clave = v.substr(0, v.find('=') + 1);
        const bool cambiada =
            std::any_of(entorno.begin(), entorno.end(), [&](const std::string& n) { return n.rfind(clave, 0) == 0; });
        if (!cambiada) variables.push_back(v);
    }
    std::vector<char*> argv;
    for (const auto& a : argumentos) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawnattr_t atributos;
    posix_spawnattr_init(&atributos);
    posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&atributos, 0);
    const int error = posix_spawn(&pid_, argv[0], nullptr, &atributos, argv.data(), envp.data());
    posix_spawnattr_destroy(&atributos);
    if (error != 0) throw std::runtime_error("no se pudo lanzar " + argumentos.front());
}

Hijo::~Hijo() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    const auto fin = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= fin) {
            ::kill(-pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The web processes of the group may outlive their parent for a moment.
    ::kill(-pid_, SIGKILL);
}

}  // namespace sorvenia::banco
