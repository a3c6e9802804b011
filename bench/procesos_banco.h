#pragma once
// What the benchmarks read of a process tree (a process and every process
// it started: WebKit's web and network processes), and a child program run
// in a process group of its own so that it and its children end together.

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sorvenia::banco {

// WebKitGTK's own small browser, the peer of the figures on memory and start.
inline constexpr const char* miniBrowserDebian = "/usr/lib/x86_64-linux-gnu/webkitgtk-6.0/MiniBrowser";

// `raiz` and its descendants alive now.
std::vector<pid_t> arbol(pid_t raiz);

// Clock ticks of CPU (user + system) used so far by each process of the
// tree under `raiz` (`raiz` left out).
std::map<pid_t, long long> ticksBajo(pid_t raiz);

// A process's program name as the kernel keeps it (15 characters:
// "WebKitWebProces"), and its resident set size in MB.
std::string nombreDe(pid_t pid);
double residenteMb(pid_t pid);

// Percentage of one core used by each process `procesos()` names while
// `esperar(ms)` lets `segundos` pass, with the program's name, and their sum.
struct CpuProceso {
    std::string nombre;
    double cpu = 0;
};
struct Cpu {
    double total = 0;
    std::vector<CpuProceso> procesos;  // busiest first
    std::string detalle() const;       // "WebKitWebProcess 0.4%, ..."
};
Cpu cpuEnReposo(const std::function<std::vector<pid_t>()>& procesos, const std::function<void(int)>& esperar,
                int segundos);

// Seconds until the processes `procesos()` names settle after showing
// something new: until two one-second windows in a row use less than 3% of
// one core (painting a big design in software takes long). -1 when they
// have not settled after `limite` seconds.
double asentarse(const std::function<std::vector<pid_t>()>& procesos, const std::function<void(int)>& esperar,
                 int limite);

// Memory of a tree now: proportional set size (shared pages split among
// the processes that map them) and resident set size, in MB.
struct Memoria {
    double pss = 0;
    double rss = 0;
    int procesos = 0;
    std::string detalle;  // PSS of each process over 1 MB: "WebKitWebProces 1200.0 MB, ..."
};
Memoria memoria(pid_t raiz);

// A program started with `argumentos` and `entorno` added to this process's
// environment; stopped (its whole process group) when destroyed.
class Hijo {
public:
    Hijo(const std::vector<std::string>& argumentos, const std::vector<std::string>& entorno);
    ~Hijo();
    Hijo(const Hijo&) = delete;
    Hijo& operator=(const Hijo&) = delete;

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

}  // namespace sorvenia::banco
