// Requests per second and latency (p50, p99) of our ServidorMCP over
// loopback, printed as ratios to a reference MCP server run in the same
// benchmark: a minimal stateless Streamable HTTP server built with the
// official TypeScript SDK (servidor_referencia.mjs), a child process of this
// one under Node.js.
//
// The load generator is this program, the same for both servers: a fixed
// number of requests over 50 and over 200 concurrent connections (8 for the
// large tool call), one
// request per connection (our server closes after each answer; the
// reference is asked to with "Connection: close"), each timed from connect
// to the last byte of its answer. Every answer is checked: a request that
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
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
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

struct Escenario {
    const char* nombre;
    std::string cuerpo;
    std::string esperado;  // must appear in every answer's body
    std::size_t peticiones;  // per server, over all rounds
    std::size_t calentamiento;
    std::size_t conexiones;  // at once
};

struct Destino {
    const char* nombre;
    std::uint16_t puerto;
    std::string ruta;
};

[[noreturn]] void abortar(const std::string& texto) {
    std::fprintf(stderr, "banco_mcp: %s\n", texto.c_str());
    std::exit(1);
}

// A descriptor closed when it goes out of scope.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int d) : fd(d) {}
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

// One request on a new connection; the whole answer, or nothing when the
// connection fails or the answer takes too long.
std::optional<std::string> intercambiar(std::uint16_t puerto, const std::string& peticion) {
    Descriptor s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (s.fd < 0) return std::nullopt;
    timeval espera{};
    espera.tv_sec = std::chrono::duration_cast<std::chrono::seconds>(limiteEspera).count();
    ::setsockopt(s.fd, SOL_SOCKET, SO_RCVTIMEO, &espera, sizeof espera);
    ::setsockopt(s.fd, SOL_SOCKET, SO_SNDTIMEO, &espera, sizeof espera);
    int uno = 1;
    ::setsockopt(s.fd, IPPROTO_TCP, TCP_NODELAY, &uno, sizeof uno);
    sockaddr_in direccion{};
    direccion.sin_family = AF_INET;
    direccion.sin_port = htons(puerto);
    direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s.fd, reinterpret_cast<const sockaddr*>(&direccion), sizeof direccion) != 0) return std::nullopt;
    for (std::size_t enviado = 0; enviado < peticion.size();) {
        const ssize_t n = ::send(s.fd, peticion.data() + enviado, peticion.size() - enviado, MSG_NOSIGNAL);
        if (n <= 0) return std::nullopt;
        enviado += static_cast<std::size_t>(n);
    }
    std::string respuesta;
    char bloque[65536];
    for (;;) {
        const ssize_t n = ::recv(s.fd, bloque, sizeof bloque, 0);
        if (n == 0) break;
        if (n < 0) return std::nullopt;
        respuesta.append(bloque, static_cast<std::size_t>(n));
    }
    return respuesta;
}

std::string peticionHTTP(const Destino& d, const std::string& cuerpo) {
    return "POST " + d.ruta + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(d.puerto) +
           "\r\nContent-Type: application/json\r\nAccept: application/json, text/event-stream\r\n"
           "Connection: close\r\nContent-Length: " +
           std::to_string(cuerpo.size()) + "\r\n\r\n" + cuerpo;
}

// What is wrong with an answer, or nothing.
std::optional<std::string> fallaRespuesta(const std::optional<std::string>& r, const std::string& esperado) {
    if (!r) return "sin respuesta";
    if (!r->starts_with("HTTP/1.1 200 ")) return r->substr(0, std::min<std::size_t>(r->size(), 200));
    const std::size_t cuerpo = r->find("\r\n\r\n");
    if (cuerpo == std::string::npos || r->find(esperado, cuerpo) == std::string::npos)
        return "respuesta sin " + esperado + ": " + r->substr(0, std::min<std::size_t>(r->size(), 300));
    return std::nullopt;
}

struct Tanda {
    std::vector<double> latencias;  // milliseconds
    double segundos = 0;
    std::size_t perdidas = 0;  // requests that got no answer at all
};

// `peticiones` requests over `e.conexiones` concurrent connections.
Tanda lanzar(const Destino& d, const Escenario& e, std::size_t peticiones) {
    const std::string peticion = peticionHTTP(d, e.cuerpo);
    std::atomic<std::size_t> siguiente{0};
    std::mutex mutex;
    std::optional<std::string> fallo;
    Tanda tanda;
    tanda.latencias.reserve(peticiones);
    const auto inicio = Reloj::now();
    std::atomic<std::size_t> perdidas{0};
    std::vector<std::thread> hilos;
    for (std::size_t h = 0; h < e.conexiones; ++h) {
        hilos.emplace_back([&] {
            std::vector<double> propias;
            while (siguiente.fetch_add(1) < peticiones) {
                const auto t0 = Reloj::now();
                const auto r = intercambiar(d.puerto, peticion);
                const auto t1 = Reloj::now();
                // Reset, closed without a byte, or cut short.
                if (!r || r->empty() || (r->starts_with("HTTP/1.1 200 ") && r->find("\r\n\r\n") == std::string::npos)) {
                    ++perdidas;
                    continue;
                }
                if (auto f = fallaRespuesta(r, e.esperado)) {
                    std::lock_guard bloqueo(mutex);
                    if (!fallo) fallo = std::move(f);
                    siguiente = peticiones;
                    break;
                }
                propias.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            }
            std::lock_guard bloqueo(mutex);
            tanda.latencias.insert(tanda.latencias.end(), propias.begin(), propias.end());
        });
    }
    for (auto& h : hilos) h.join();
    tanda.segundos = std::chrono::duration<double>(Reloj::now() - inicio).count();
    tanda.perdidas = perdidas;
    if (fallo) abortar(std::string(d.nombre) + ", " + e.nombre + ": " + *fallo);
    return tanda;
}

struct Medida {
    double porSegundo = 0;
    double p50 = 0;
    double p99 = 0;
    std::size_t perdidas = 0;
};

double percentil(const std::vector<double>& ordenadas, double p) {
    const auto i = static_cast<std::size_t>(std::ceil(p * static_cast<double>(ordenadas.size())));
    return ordenadas[std::clamp<std::size_t>(i, 1, ordenadas.size()) - 1];
}

Medida resumir(const std::vector<Tanda>& tandas) {
    std::vector<double> todas;
    double segundos = 0;
    std::size_t perdidas = 0;
    for (const auto& t : tandas) {
        todas.insert(todas.end(), t.latencias.begin(), t.latencias.end());
        segundos += t.segundos;
        perdidas += t.perdidas;
    }
    std::sort(todas.begin(), todas.end());
    if (todas.empty()) return {0, 0, 0, perdidas};
    return {static_cast<double>(todas.size()) / segundos, percentil(todas, 0.50), percentil(todas, 0.99), perdidas};
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
        {"ServidorMCP", nuestro.puerto(), "/mcp/" + nuestro.token()},
        {"referencia", referencia.puerto(), "/mcp"},
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
        {"tools/call", grande, "recibidos " + std::to_string(letras) + " caracteres", 120, 12, 8},
    };

    std::printf("MCP sobre 127.0.0.1: ServidorMCP frente a un servidor del SDK oficial (Streamable HTTP sin estado,\n"
                "respuestas JSON, Node.js). N conexiones a la vez, una petición por conexión, %d rondas\n"
                "alternas; latencia desde connect hasta el último byte de la respuesta; perdidas = peticiones\n"
                "sin respuesta (conexión cerrada o reiniciada sin nada).\n\n",
                rondas);
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
        std::printf("%-16s (%zu peticiones de %zu bytes por servidor)\n\n", "", e.peticiones, e.cuerpo.size());
    }
    std::printf("cociente = ServidorMCP / referencia: más de 1x en peticiones/s y menos de 1x en latencia es mejor.\n");
    return 0;
}
