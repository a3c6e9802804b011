// Terminal throughput and keystroke echo latency of the servers screen's
// pseudo-terminal, against the same through a plain `script`-driven
// pseudo-terminal in the same run.
//
//   throughput: `cat` of a large file on the terminal; ours counts what the
//   main loop receives, Base64-encoded and made into the page's "datos"
//   call text as the screen does; the peer reads `script`'s output pipe.
//   latency: one key written, time until its echo is read back (median, p99).
//
// Prints the ratios ours / peer.

#include <fcntl.h>
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "plataforma/cripto.h"
#include "servidores/terminal_pty.h"

namespace {

namespace fs = std::filesystem;
using reloj = std::chrono::steady_clock;
using namespace sorvenia;

extern "C" char** environ;

double segundosDesde(reloj::time_point t) { return std::chrono::duration<double>(reloj::now() - t).count(); }

void iterarHasta(const std::function<bool()>& listo) {
    while (!listo()) g_main_context_iteration(nullptr, TRUE);
}

fs::path ficheroGrande(std::size_t megas, std::size_t& lineas) {
    const fs::path f = fs::temp_directory_path() / ("banco-terminal-" + std::to_string(::getpid()) + ".txt");
    std::ofstream salida(f, std::ios::binary);
    std::mt19937 azar(7);
    std::string linea;
    std::size_t escritos = 0;
    lineas = 0;
    while (escritos < megas * 1024 * 1024) {
        linea.clear();
        for (int i = 0; i < 99; ++i) linea += static_cast<char>('!' + azar() % 90);
        linea += '\n';
        salida << linea;
        escritos += linea.size();
        ++lineas;
    }
    return f;
}

// A child under `script` with its standard input and output on pipes.
struct Guion {
    pid_t pid = -1;
    int entrada = -1;
    int salida = -1;
    explicit Guion(const std::string& orden) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t a;
        posix_spawn_file_actions_init(&a);
        posix_spawn_file_actions_adddup2(&a, in[0], 0);
        posix_spawn_file_actions_adddup2(&a, out[1], 1);
        posix_spawn_file_actions_adddup2(&a, out[1], 2);
        std::vector<std::string> args{"/usr/bin/script", "-q", "-e", "-c", orden, "/dev/null"};
        std::vector<char*> argv;
        for (auto& s : args) argv.push_back(s.data());
        argv.push_back(nullptr);
        posix_spawn(&pid, argv[0], &a, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&a);
        ::close(in[0]);
        ::close(out[1]);
        entrada = in[1];
        salida = out[0];
    }
    ~Guion() {
        if (pid > 0) ::kill(pid, SIGTERM);
        ::close(entrada);
        ::close(salida);
        if (pid > 0) ::waitpid(pid, nullptr, 0);
    }
};

double throughputPropio(const fs::path& f, std::size_t esperado) {
    auto t = std::make_shared<TerminalPTY>();
    std::size_t recibidos = 0;
    std::size_t llamadas = 0;
    t->salida = [&](std::string bytes) {
        recibidos += bytes.size();
        // What the screen does with it before the page gets it.
        const auto b64 = base64(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        const auto texto =
            "window.servidores && window.servidores.datos(" + nlohmann::json{{"tid", "t"}, {"b64", b64}}.dump() + ")";
        llamadas += texto.size() > 0;
    };
    const auto inicio = reloj::now();
    if (!t->arrancar("/bin/cat", {f.string()}, 200, 50)) return 0;
    iterarHasta([&] { return recibidos >= esperado; });
    const double s = segundosDesde(inicio);
    t->cerrar();
    std::printf("  (%zu entregas a la página)\n", llamadas);
    return static_cast<double>(recibidos) / s / 1e6;
}

double throughputGuion(const fs::path& f) {
    const auto inicio = reloj::now();
    Guion g("cat " + f.string());
    std::vector<char> b(65536);
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(g.salida, b.data(), b.size())) > 0;) total += static_cast<std::size_t>(n);
    return static_cast<double>(total) / segundosDesde(inicio) / 1e6;
}

std::vector<double> ecoPropio(int veces) {
    auto t = std::make_shared<TerminalPTY>();
    std::string visto;
    t->salida = [&](std::string bytes) { visto += bytes; };
    std::vector<double> r;
    if (!t->arrancar("/bin/cat", {}, 80, 24)) return r;
    for (int i = 0; i < veces; ++i) {
        visto.clear();
        const auto inicio = reloj::now();
        t->escribir("a");
        iterarHasta([&] { return visto.find('a') != std::string::npos; });
        r.push_back(segundosDesde(inicio) * 1e6);
        if (i % 50 == 49) {
            t->escribir("\n");
            visto.clear();
            iterarHasta([&] { return std::count(visto.begin(), visto.end(), '\n') >= 2; });
        }
    }
    t->cerrar();
    return r;
}

std::vector<double> ecoGuion(int veces) {
    Guion g("cat");
    std::vector<double> r;
    char b[4096];
    for (int i = 0; i < veces; ++i) {
        const auto inicio = reloj::now();
        (void)!::write(g.entrada, "a", 1);
        for (bool visto = false; !visto;) {
            const ssize_t n = ::read(g.salida, b, sizeof b);
            if (n <= 0) return r;
            visto = std::find(b, b + n, 'a') != b + n;
        }
        r.push_back(segundosDesde(inicio) * 1e6);
        if (i % 50 == 49) {
            (void)!::write(g.entrada, "\n", 1);
            int saltos = 0;
            while (saltos < 2) {
                const ssize_t n = ::read(g.salida, b, sizeof b);
                if (n <= 0) return r;
                saltos += static_cast<int>(std::count(b, b + n, '\n'));
            }
        }
    }
    return r;
}

double percentil(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

}  // namespace

int main() {
    std::size_t lineas = 0;
    const auto f = ficheroGrande(64, lineas);
    // The terminal turns each "\n" into "\r\n".
    const std::size_t esperado = fs::file_size(f) + lineas;
    const double nuestro = throughputPropio(f, esperado);
    const double peer = throughputGuion(f);
    std::printf("caudal (cat de %zu MB): nuestra terminal %.1f MB/s, script %.1f MB/s, razón %.2f\n",
                static_cast<std::size_t>(fs::file_size(f) >> 20), nuestro, peer, nuestro / peer);
    fs::remove(f);

    constexpr int veces = 500;
    const auto a = ecoPropio(veces);
    const auto b = ecoGuion(veces);
    std::printf(
        "eco de una tecla (%d): nuestra mediana %.0f µs p99 %.0f µs; script mediana %.0f µs p99 %.0f µs; "
        "razón mediana %.2f, p99 %.2f\n",
        veces, percentil(a, 0.5), percentil(a, 0.99), percentil(b, 0.5), percentil(b, 0.99),
        percentil(a, 0.5) / percentil(b, 0.5), percentil(a, 0.99) / percentil(b, 0.99));
    return 0;
}
