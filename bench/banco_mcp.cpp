// Requests per second and latency (p50, p99) of our ServidorMCP over
// loopback, printed as ratios to a reference MCP server run in the same
// benchmark: a minimal stateless Streamable HTTP server built with the
// official TypeScript SDK (servidor_referencia.mjs), a child process of this
// one under Node.js.
//
// The load generator is this program, the same for both servers: a fixed
// number of requests over 50 and over 200 concurrent connections (8 for the
// large tool call), one request per connection (our server closes after
// each answer; the reference is asked to with "Connection: close"), each
// timed from connect to the last byte of its answer. A few threads drive
// all the connections with non-blocking sockets, rather than a thread per
// connection whose scheduling would then be most of what is measured. Every answer is checked: a request that
// gets no answer is counted and printed as dropped, and a wrong answer
// stops the benchmark instead of passing for a fast request.
// The two servers take turns, a few rounds each, so that a slow patch of
// the machine does not fall on one of them only.
//
//   banco_mcp <node> <servidor_referencia.mjs>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "centro/servidor_mcp.h"

extern char** environ;

namespace {

using namespace sorvenia;
using Json = nlohmann::json;
using Reloj = std::chrono::steady_clock;

constexpr int rondas = 3;
constexpr auto limiteEspera = std::chrono::seconds(30);
// Threads of the load generator, each driving its share of the connections.
constexpr std::size_t hilosGenerador = 4;

struct Escenario {
    const char* nombre;
    std::string cuerpo;
    std::string esperado;  // must appear in every answer's body
    std::size_t peticiones;  // per server, over all rounds
    std::size_t calentamiento;
    std::size_t conexiones;  // at once
    bool soloHiloES = true;  // answered on our I/O thread alone, without the worker pool
};

struct Destino {
    const char* nombre;
    std::uint16_t puerto;
    std::string ruta;
    pid_t proceso;  // 0: the server is this process's I/O thread named "tarvel.mcp"
};

// Time on a CPU, and time waiting for one while runnable, of some threads.
struct Uso {
    double cpu = 0;     // seconds
    double espera = 0;  // seconds
    Uso& operator+=(const Uso& o) {
        cpu += o.cpu;
        espera += o.espera;
        return *this;
    }
    Uso operator-(const Uso& o) const { return {cpu - o.cpu, espera - o.espera}; }
};

// The scheduler's account of one thread (/proc/.../schedstat).
Uso usoDe(const std::filesystem::path& schedstat) {
    std::ifstream f(schedstat);
    double cpu = 0, espera = 0;
    f >> cpu >> espera;
    return {cpu / 1e9, espera / 1e9};
}

// What the server's threads have used so far: every thread of the
// reference's process, or our server's one I/O thread (its workers are not
// used by ping and tools/list).
Uso usoServidor(const Destino& d) {
    namespace fs = std::filesystem;
    const fs::path tareas =
        d.proceso ? fs::path("/proc") / std::to_string(d.proceso) / "task" : fs::path("/proc/self/task");
    Uso total;
    std::error_code error;
    for (const auto& t : fs::directory_iterator(tareas, error)) {
        if (!d.proceso) {
            std::string nombre;
            std::getline(std::ifstream(t.path() / "comm"), nombre);
            if (nombre != "tarvel.mcp") continue;
        }
        total += usoDe(t.path() / "schedstat");
    }
    return total;
}

double cargaMedia() {
    double carga = 0;
    std::ifstream("/proc/loadavg") >> carga;
    return carga;
}

[[noreturn]] void abortar(const std::string& texto) {
    std::fprintf(stderr, "banco_mcp: %s\n", texto.c_str());
    std::exit(1);
}

std::string peticionHTTP(const Destino& d, const std::string& cuerpo) {
    return "POST " + d.ruta + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(d.puerto) +
           "\r\nContent-Type: application/json\r\nAccept: application/json, text/event-stream\r\n"
           "Connection: close\r\nContent-Length: " +
           std::to_string(cuerpo.size()) + "\r\n\r\n" + cuerpo;
}

// What is wrong with an answer, or nothing.
std::optional<std::string> fallaRespuesta(const std::string& r, const std::string& esperado) {
    if (!r.starts_with("HTTP/1.1 200 ")) return r.substr(0, std::min<std::size_t>(r.size(), 200));
    const std::size_t cuerpo = r.find("\r\n\r\n");
    if (cuerpo == std::string::npos || r.find(esperado, cuerpo) == std::string::npos)
        return "respuesta sin " + esperado + ": " + r.substr(0, std::min<std::size_t>(r.size(), 300));
    return std::nullopt;
}

struct Tanda {
    std::vector<double> latencias;  // milliseconds
    double segundos = 0;
    std::size_t perdidas = 0;  // requests that got no answer at all
    Uso servidor, generador;
};

// One connection of the load generator, from connect to the end of its answer.
struct Intercambio {
    int fd = -1;
    std::size_t enviado = 0;
    std::string respuesta;
    Reloj::time_point inicio;
};

// One thread of the load generator: keeps `propias` connections open at
// once with non-blocking sockets on one epoll set, starting a new one as
// soon as one ends, until `siguiente` reaches `peticiones`. A few such
// threads drive every connection, so the generator does not compete with
// the server for the cores with a thread per connection.
class Generador {
public:
    Generador(const Destino& d, const Escenario& e, const std::string& peticion, std::atomic<std::size_t>& siguiente,
              std::size_t peticiones)
        : destino_(d),
          escenario_(e),
          peticion_(peticion),
          siguiente_(siguiente),
          peticiones_(peticiones),
          epoll_(::epoll_create1(EPOLL_CLOEXEC)) {
        if (epoll_ < 0) abortar("sin epoll");
    }
    ~Generador() { ::close(epoll_); }
    Generador(const Generador&) = delete;
    Generador& operator=(const Generador&) = delete;

    void correr(std::size_t propias) {
        const Uso antes = usoDe("/proc/thread-self/schedstat");
        abiertos_.resize(propias);
        for (std::size_t i = 0; i < propias; ++i) empezar(i);
        std::vector<epoll_event> eventos(propias);
        while (vivos_ > 0 && !fallo) {
            const int n = ::epoll_wait(epoll_, eventos.data(), static_cast<int>(eventos.size()), 1000);
            for (int k = 0; k < n; ++k) atender(eventos[static_cast<std::size_t>(k)].data.u64);
            caducar();
        }
        for (std::size_t i = 0; i < abiertos_.size(); ++i)
            if (abiertos_[i].fd >= 0) cerrar(i);
        uso = usoDe("/proc/thread-self/schedstat") - antes;
    }

    std::vector<double> latencias;
    Uso uso;
    std::size_t perdidas = 0;
    std::optional<std::string> fallo;

private:
    // Takes the next request, if any is left, on a new connection in slot i.
    void empezar(std::size_t i) {
        if (siguiente_.fetch_add(1) >= peticiones_) return;
        Intercambio& x = abiertos_[i];
        x = Intercambio{};
        x.inicio = Reloj::now();
        x.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (x.fd < 0) return perder(i);
        int uno = 1;
        ::setsockopt(x.fd, IPPROTO_TCP, TCP_NODELAY, &uno, sizeof uno);
        sockaddr_in direccion{};
        direccion.sin_family = AF_INET;
        direccion.sin_port = htons(destino_.puerto);
        direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(x.fd, reinterpret_cast<const sockaddr*>(&direccion), sizeof direccion) != 0 &&
            errno != EINPROGRESS)
            return perder(i);
        epoll_event ev{};
        ev.events = EPOLLOUT | EPOLLIN | EPOLLRDHUP;
        ev.data.u64 = i;
        if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, x.fd, &ev) != 0) return perder(i);
        ++vivos_;
    }

    void atender(std::size_t i) {
        Intercambio& x = abiertos_[i];
        if (x.fd < 0) return;
        if (x.enviado < peticion_.size() && !enviar(i)) return;
        char bloque[65536];
        for (;;) {
            const ssize_t n = ::recv(x.fd, bloque, sizeof bloque, 0);
            if (n > 0) {
                x.respuesta.append(bloque, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (n < 0 && errno == EINTR) continue;
            // Reset or failed: no answer.
            if (n < 0) return terminarSinRespuesta(i);
            return terminar(i);
        }
    }

    // False when the connection failed and was ended.
    bool enviar(std::size_t i) {
        Intercambio& x = abiertos_[i];
        while (x.enviado < peticion_.size()) {
            const ssize_t n = ::send(x.fd, peticion_.data() + x.enviado, peticion_.size() - x.enviado, MSG_NOSIGNAL);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
            if (n <= 0) {
                terminarSinRespuesta(i);
                return false;
            }
            x.enviado += static_cast<std::size_t>(n);
        }
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP;
        ev.data.u64 = i;
        ::epoll_ctl(epoll_, EPOLL_CTL_MOD, x.fd, &ev);
        return true;
    }

    void terminar(std::size_t i) {
        Intercambio& x = abiertos_[i];
        const auto fin = Reloj::now();
        const std::string& r = x.respuesta;
        // Closed without a byte, or cut short.
        if (r.empty() || (r.starts_with("HTTP/1.1 200 ") && r.find("\r\n\r\n") == std::string::npos))
            return terminarSinRespuesta(i);
        if (auto f = fallaRespuesta(r, escenario_.esperado)) {
            fallo = std::move(f);
            siguiente_ = peticiones_;
        } else {
            latencias.push_back(std::chrono::duration<double, std::milli>(fin - x.inicio).count());
        }
        cerrar(i);
        empezar(i);
    }

    void terminarSinRespuesta(std::size_t i) {
        cerrar(i);
        perder(i);
    }

    void perder(std::size_t i) {
        Intercambio& x = abiertos_[i];
        if (x.fd >= 0) ::close(x.fd);
        x.fd = -1;
        ++perdidas;
        empezar(i);
    }

    void cerrar(std::size_t i) {
        Intercambio& x = abiertos_[i];
        ::close(x.fd);  // also leaves the epoll set
        x.fd = -1;
        --vivos_;
    }

    // A connection without its whole answer after the time limit got none.
    void caducar() {
        const auto ahora = Reloj::now();
        if (ahora - revisado_ < std::chrono::seconds(1)) return;
        revisado_ = ahora;
        for (std::size_t i = 0; i < abiertos_.size(); ++i)
            if (abiertos_[i].fd >= 0 && ahora - abiertos_[i].inicio > limiteEspera) terminarSinRespuesta(i);
    }

    const Destino& destino_;
    const Escenario& escenario_;
    const std::string& peticion_;
    std::atomic<std::size_t>& siguiente_;
    const std::size_t peticiones_;
    const int epoll_;
    std::vector<Intercambio> abiertos_;
    std::size_t vivos_ = 0;
    Reloj::time_point revisado_ = Reloj::now();
};

// `peticiones` requests over `e.conexiones` concurrent connections, driven
// by `hilosGenerador` threads.
Tanda lanzar(const Destino& d, const Escenario& e, std::size_t peticiones) {
    const std::string peticion = peticionHTTP(d, e.cuerpo);
    std::atomic<std::size_t> siguiente{0};
    const std::size_t hilos = std::min(hilosGenerador, e.conexiones);
    std::vector<std::unique_ptr<Generador>> generadores;
    for (std::size_t h = 0; h < hilos; ++h)
        generadores.push_back(std::make_unique<Generador>(d, e, peticion, siguiente, peticiones));
    Tanda tanda;
    const Uso servidorAntes = usoServidor(d);
    const auto inicio = Reloj::now();
    {
        std::vector<std::jthread> corriendo;
        for (std::size_t h = 0; h < hilos; ++h)
            corriendo.emplace_back(
                [&, h] { generadores[h]->correr(e.conexiones / hilos + (h < e.conexiones % hilos ? 1 : 0)); });
    }
    tanda.segundos = std::chrono::duration<double>(Reloj::now() - inicio).count();
    tanda.servidor = usoServidor(d) - servidorAntes;
    for (const auto& g : generadores) {
        tanda.generador += g->uso;
        if (g->fallo) abortar(std::string(d.nombre) + ", " + e.nombre + ": " + *g->fallo);
        tanda.latencias.insert(tanda.latencias.end(), g->latencias.begin(), g->latencias.end());
        tanda.perdidas += g->perdidas;
    }
    return tanda;
}

struct Medida {
    double porSegundo = 0;
    double p50 = 0;
    double p99 = 0;
    std::size_t perdidas = 0;
    // Microseconds per answered request.
    double cpuServidor = 0, esperaServidor = 0, cpuGenerador = 0;
};

double percentil(const std::vector<double>& ordenadas, double p) {
    const auto i = static_cast<std::size_t>(std::ceil(p * static_cast<double>(ordenadas.size())));
    return ordenadas[std::clamp<std::size_t>(i, 1, ordenadas.size()) - 1];
}

Medida resumir(const std::vector<Tanda>& tandas) {
    std::vector<double> todas;
    double segundos = 0;
    std::size_t perdidas = 0;
    Uso servidor, generador;
    for (const auto& t : tandas) {
        todas.insert(todas.end(), t.latencias.begin(), t.latencias.end());
        segundos += t.segundos;
        perdidas += t.perdidas;
        servidor += t.servidor;
        generador += t.generador;
    }
    std::sort(todas.begin(), todas.end());
    if (todas.empty()) return {0, 0, 0, perdidas};
    const double n = static_cast<double>(todas.size());
    return {n / segundos,           percentil(todas, 0.50),    percentil(todas, 0.99), perdidas,
            servidor.cpu / n * 1e6, servidor.espera / n * 1e6, generador.cpu / n * 1e6};
}

// The reference server under Node.js, stopped with this object. Its
// standard input is a pipe held here, so it also ends if this process dies.
class Referencia {
public:
    Referencia(const std::string& node, const std::string& guion) {
        int entrada[2], salida[2];
        if (::pipe2(entrada, O_CLOEXEC) != 0 || ::pipe2(salida, O_CLOEXEC) != 0) abortar("sin tuberías");
        posix_spawn_file_actions_t acciones;
        posix_spawn_file_actions_init(&acciones);
        posix_spawn_file_actions_adddup2(&acciones, entrada[0], 0);
        posix_spawn_file_actions_adddup2(&acciones, salida[1], 1);
        std::string a0 = node, a1 = guion;
        char* argv[] = {a0.data(), a1.data(), nullptr};
        const int error = ::posix_spawn(&pid_, node.c_str(), &acciones, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&acciones);
        ::close(entrada[0]);
        ::close(salida[1]);
        entrada_ = entrada[1];
        if (error != 0) abortar("no arranca " + node);
        // The first line it prints: "PUERTO <n>".
        std::string linea;
        char c;
        while (::read(salida[0], &c, 1) == 1 && c != '\n') linea.push_back(c);
        ::close(salida[0]);
        if (!linea.starts_with("PUERTO ")) abortar("el servidor de referencia no dijo su puerto: " + linea);
        puerto_ = static_cast<std::uint16_t>(std::stoi(linea.substr(7)));
    }
    ~Referencia() {
        ::close(entrada_);
        ::kill(pid_, SIGTERM);
        int estado = 0;
        ::waitpid(pid_, &estado, 0);
    }
    Referencia(const Referencia&) = delete;
    Referencia& operator=(const Referencia&) = delete;
    std::uint16_t puerto() const { return puerto_; }
    pid_t proceso() const { return pid_; }

private:
    pid_t pid_ = -1;
    int entrada_ = -1;
    std::uint16_t puerto_ = 0;
};

// A tool call carrying about 4 MB of HTML, quotes and line feeds escaped as
// an agent's "escribir" would send them.
std::string llamadaGrande(std::size_t& letras) {
    const std::string trozo = "<div class=\"caja\"><p>Hola, mundo: 0123456789</p></div>\n";
    const std::size_t trozoEscrito = Json(trozo).dump().size() - 2;
    std::string html;
    for (std::size_t escrito = 0; escrito + trozoEscrito <= 4'000'000 - 200; escrito += trozoEscrito) html += trozo;
    letras = html.size();
    return Json{{"jsonrpc", "2.0"},
                {"id", 1},
                {"method", "tools/call"},
                {"params", {{"name", "escribir"}, {"arguments", {{"html", std::move(html)}}}}}}
        .dump();
}

void imprimir(const std::string& fila, const char* quien, const Medida& m) {
    std::printf("%-16s %-12s %12.0f %10.3f %10.3f %9zu\n", fila.c_str(), quien, m.porSegundo, m.p50, m.p99, m.perdidas);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "uso: %s <node> <servidor_referencia.mjs>\n", argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);

    ServidorMCP nuestro;
    nuestro.ponerEjecutar([](PeticionHerramienta p, AlTerminarHerramienta terminar) {
        const auto html = p.argumentos.find("html");
        const std::size_t n =
            html != p.argumentos.end() && html->is_string() ? html->get_ref<const std::string&>().size() : 0;
        terminar(Json::array({{{"type", "text"}, {"text", "recibidos " + std::to_string(n) + " caracteres"}}}));
    });
    if (!nuestro.arrancar(std::nullopt).ok()) abortar("ServidorMCP no arranca");
    Referencia referencia(argv[1], argv[2]);

    const Destino destinos[] = {
        {"ServidorMCP", nuestro.puerto(), "/mcp/" + nuestro.token(), 0},
        {"referencia", referencia.puerto(), "/mcp", referencia.proceso()},
    };
    std::size_t letras = 0;
    const std::string grande = llamadaGrande(letras);
    const std::string ping = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";
    const std::string lista = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";
    const Escenario escenarios[] = {
        {"ping", ping, R"("result":{})", 6'000, 600, 50},
        {"ping", ping, R"("result":{})", 12'000, 1'200, 200},
        {"tools/list", lista, R"("tools":[)", 6'000, 600, 50},
        {"tools/list", lista, R"("tools":[)", 12'000, 1'200, 200},
        {"tools/call", grande, "recibidos " + std::to_string(letras) + " caracteres", 120, 12, 8, false},
    };

    std::printf(
        "MCP sobre 127.0.0.1: ServidorMCP frente a un servidor del SDK oficial (Streamable HTTP sin estado,\n"
        "respuestas JSON, Node.js). N conexiones a la vez, una petición por conexión, %d rondas\n"
        "alternas; latencia desde connect hasta el último byte de la respuesta; perdidas = peticiones\n"
        "sin respuesta (conexión cerrada o reiniciada sin nada). Generador de carga: %zu hilos con epoll.\n"
        "CPU por petición (ping y tools/list): tiempo en CPU del servidor (nuestro hilo de E/S, que las\n"
        "contesta solo; todos los hilos de Node.js) y, entre paréntesis, su espera en cola por una CPU\n"
        "estando listo; luego el del generador de carga con cada uno.\n"
        "Carga media al empezar: %.1f\n\n",
        rondas, hilosGenerador, cargaMedia());
    std::printf("%-16s %-12s %12s %10s %10s %9s\n", "", "", "peticiones/s", "p50 ms", "p99 ms", "perdidas");
    for (const auto& e : escenarios) {
        for (const auto& d : destinos) lanzar(d, e, e.calentamiento);
        std::vector<Tanda> tandas[2];
        for (int r = 0; r < rondas; ++r)
            for (int i = 0; i < 2; ++i) tandas[i].push_back(lanzar(destinos[i], e, e.peticiones / rondas));
        const Medida nuestra = resumir(tandas[0]), suya = resumir(tandas[1]);
        imprimir(std::string(e.nombre) + " x" + std::to_string(e.conexiones), destinos[0].nombre, nuestra);
        imprimir("", destinos[1].nombre, suya);
        std::printf("%-16s %-12s %11.2fx %9.2fx %9.2fx\n", "", "cociente", nuestra.porSegundo / suya.porSegundo,
                    nuestra.p50 / suya.p50, nuestra.p99 / suya.p99);
        if (e.soloHiloES)
            std::printf("%-16s CPU por petición: %s %.1f µs (%.1f), %s %.1f µs (%.1f); generador %.1f y %.1f µs\n", "",
                        destinos[0].nombre, nuestra.cpuServidor, nuestra.esperaServidor, destinos[1].nombre,
                        suya.cpuServidor, suya.esperaServidor, nuestra.cpuGenerador, suya.cpuGenerador);
        std::printf("%-16s (%zu peticiones de %zu bytes por servidor; carga media %.1f)\n\n", "", e.peticiones,
                    e.cuerpo.size(), cargaMedia());
    }
    std::printf("cociente = ServidorMCP / referencia: más de 1x en peticiones/s y menos de 1x en latencia es mejor.\n");
    return 0;
}
