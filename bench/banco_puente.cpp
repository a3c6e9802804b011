// A whole session of the stdio bridge as an AI client runs it: start the
// program, send initialize and tools/list, end its input, read every answer
// until it exits. Timed against spawning a trivial program (cat) the same
// way, and against a stdio server built with the official SDK under Node.js
// when its script is given.
//
// The bridge is timed twice: with the application closed (it answers
// itself) and with a ServidorMCP running in this process (every line goes
// over HTTP to 127.0.0.1), through a connection file in a temporary home.
//
//   banco_puente <tarvel-mcp> [<node> <servidor_referencia_stdio.mjs>]

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "centro/servidor_mcp.h"

extern char** environ;

namespace {

using namespace sorvenia;
using Reloj = std::chrono::steady_clock;
namespace fs = std::filesystem;

const std::string sesion =
    R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"banco","version":"1"}}})"
    "\n"
    R"({"jsonrpc":"2.0","method":"notifications/initialized"})"
    "\n"
    R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})"
    "\n";

[[noreturn]] void abortar(const std::string& texto) {
    std::fprintf(stderr, "banco_puente: %s\n", texto.c_str());
    std::exit(1);
}

// One session: milliseconds from spawn to exit, and what it wrote.
double correr(const std::vector<std::string>& orden, const std::vector<std::string>& entorno, std::string& salida) {
    int entrada[2], sale[2];
    if (::pipe2(entrada, O_CLOEXEC) != 0 || ::pipe2(sale, O_CLOEXEC) != 0) abortar("sin tuberías");
    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_adddup2(&acciones, entrada[0], 0);
    posix_spawn_file_actions_adddup2(&acciones, sale[1], 1);
    std::vector<std::string> copia = orden;
    std::vector<char*> argv;
    for (auto& a : copia) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = entorno;
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const auto t0 = Reloj::now();
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, copia[0].c_str(), &acciones, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&acciones);
    ::close(entrada[0]);
    ::close(sale[1]);
    if (error != 0) abortar("no arranca " + orden[0]);
    // The session is a few hundred bytes: the pipe takes it whole.
    if (::write(entrada[1], sesion.data(), sesion.size()) != static_cast<ssize_t>(sesion.size())) abortar("escritura");
    ::close(entrada[1]);
    salida.clear();
    char bloque[65536];
    for (ssize_t n; (n = ::read(sale[0], bloque, sizeof bloque)) > 0;) salida.append(bloque, static_cast<std::size_t>(n));
    ::close(sale[0]);
    int estado = 0;
    ::waitpid(pid, &estado, 0);
    return std::chrono::duration<double, std::milli>(Reloj::now() - t0).count();
}

struct Rival {
    const char* nombre;
    std::vector<std::string> orden;
    std::vector<std::string> entorno;
    std::size_t lineas;  // answers a complete session writes
    int vueltas;
    std::vector<double> tiempos;
};

double percentil(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "uso: %s <tarvel-mcp> [<node> <servidor_referencia_stdio.mjs>]\n", argv[0]);
        return 2;
    }
    std::string plantilla = (fs::temp_directory_path() / "banco-puente-XXXXXX").string();
    if (::mkdtemp(plantilla.data()) == nullptr) abortar("sin carpeta temporal");
    const fs::path casaCerrada = fs::path(plantilla) / "cerrada", casaAbierta = fs::path(plantilla) / "abierta";
    fs::create_directories(casaCerrada);
    fs::create_directories(casaAbierta / ".local/share/SorveniaTarvel");

    ServidorMCP servidor;
    if (!servidor.arrancar(std::nullopt).ok()) abortar("ServidorMCP no arranca");
    std::ofstream(casaAbierta / ".local/share/SorveniaTarvel/mcp.json")
        << nlohmann::json{{"puerto", servidor.puerto()}, {"token", servidor.token()}}.dump();

    const std::string path = std::string("PATH=") + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    std::vector<Rival> rivales = {
        {"cat", {"/bin/cat"}, {path}, 3, 200, {}},
        {"puente, app cerrada", {argv[1]}, {"HOME=" + casaCerrada.string(), path}, 2, 200, {}},
        {"puente, app abierta", {argv[1]}, {"HOME=" + casaAbierta.string(), path}, 2, 200, {}},
    };
    if (argc == 4) rivales.push_back({"SDK (Node.js)", {argv[2], argv[3]}, {path}, 2, 20, {}});

    // Warm the page cache, check each answers as expected, then take turns.
    std::string salida;
    for (auto& r : rivales) {
        for (int i = 0; i < 3; ++i) correr(r.orden, r.entorno, salida);
        const auto lineas = static_cast<std::size_t>(std::count(salida.begin(), salida.end(), '\n'));
        if (lineas != r.lineas || salida.find("tools") == std::string::npos)
            abortar(std::string(r.nombre) + " no completa la sesión: " + salida.substr(0, 300));
    }
    const int maximo = std::max_element(rivales.begin(), rivales.end(), [](auto& a, auto& b) { return a.vueltas < b.vueltas; })->vueltas;
    for (int i = 0; i < maximo; ++i)
        for (auto& r : rivales)
            if (i < r.vueltas) r.tiempos.push_back(correr(r.orden, r.entorno, salida));

    const double base = percentil(rivales[0].tiempos, 0.5);
    std::printf("Una sesión por stdio: arrancar, initialize, tools/list, fin de la entrada, hasta que el programa acaba.\n\n");
    std::printf("%-22s %8s %10s %10s %12s\n", "", "sesiones", "p50 ms", "p90 ms", "p50 / cat");
    for (const auto& r : rivales)
        std::printf("%-22s %8zu %10.2f %10.2f %11.2fx\n", r.nombre, r.tiempos.size(), percentil(r.tiempos, 0.5),
                    percentil(r.tiempos, 0.9), percentil(r.tiempos, 0.5) / base);
    if (argc == 4)
        std::printf("\nSDK / puente (app abierta): %.0fx\n",
                    percentil(rivales[3].tiempos, 0.5) / percentil(rivales[2].tiempos, 0.5));
    fs::remove_all(plantilla);
    return 0;
}
