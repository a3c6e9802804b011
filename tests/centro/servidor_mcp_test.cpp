// ServidorMCP over real sockets on 127.0.0.1.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <regex>
#include <thread>

#include <nlohmann/json.hpp>

#include "centro/marco_http.h"
#include "centro/servidor_mcp.h"
#include "cliente_tcp.h"

namespace sorvenia {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using prueba::ClienteTCP;
using prueba::peticionHTTP;
using prueba::preguntar;

const std::string ping = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";
const std::string pong = R"({"jsonrpc":"2.0","id":1,"result":{}})";

std::string respuesta(const std::string& estado, const std::string& cuerpo = "") {
    return respuestaHTTP(estado, cuerpo);
}

std::string cuerpoDe(const std::string& http) { return http.substr(http.find("\r\n\r\n") + 4); }

struct Arrancado {
    explicit Arrancado(LimitesServidorMCP limites = {}) : servidor(limites) {
        const auto r = servidor.arrancar(std::nullopt);
        EXPECT_TRUE(r.ok());
    }
    std::string ruta() const { return "/mcp/" + servidor.token(); }
    std::string pedir(const std::string& cuerpo, const std::string& sufijo = "") const {
        return preguntar(servidor.puerto(), peticionHTTP("POST", ruta() + sufijo, cuerpo));
    }
    ServidorMCP servidor;
};

TEST(ServidorMCP, TokenYPuertoPedido) {
    ServidorMCP servidor;
    EXPECT_EQ(servidor.puerto(), 0);
    // A version 4 UUID without dashes, in lower case.
    EXPECT_TRUE(std::regex_match(servidor.token(), std::regex("[0-9a-f]{12}4[0-9a-f]{3}[89ab][0-9a-f]{15}")))
        << servidor.token();
    EXPECT_NE(ServidorMCP().token(), servidor.token());

    const std::uint16_t pedido = prueba::puertoLibre();
    ASSERT_TRUE(servidor.arrancar(pedido).ok());
    EXPECT_EQ(servidor.puerto(), pedido);
    EXPECT_EQ(preguntar(pedido, peticionHTTP("POST", "/mcp/" + servidor.token(), ping)), respuesta("200 OK", pong));
}

TEST(ServidorMCP, SinAzarNoHayTokenNiServidor) {
    ServidorMCP servidor({}, [](unsigned char*, std::size_t) { return false; });
    EXPECT_EQ(servidor.token(), "");
    const auto r = servidor.arrancar(std::nullopt);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.fallo().mensaje, "No se ha podido abrir el servidor del tarvel.");
    EXPECT_EQ(servidor.puerto(), 0);
}

// Another process already listening on the port, with SO_REUSEPORT set as
// a second instance of a server that used it would: ours must not join it.
TEST(ServidorMCP, PuertoOcupadoPasaAOtro) {
    const int ajeno = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int si = 1;
    ASSERT_EQ(::setsockopt(ajeno, SOL_SOCKET, SO_REUSEPORT, &si, sizeof si), 0);
    ASSERT_EQ(::setsockopt(ajeno, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si), 0);
    sockaddr_in d{};
    d.sin_family = AF_INET;
    d.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof d;
    ASSERT_EQ(::bind(ajeno, reinterpret_cast<sockaddr*>(&d), sizeof d), 0);
    ASSERT_EQ(::listen(ajeno, 16), 0);
    ASSERT_EQ(::getsockname(ajeno, reinterpret_cast<sockaddr*>(&d), &largo), 0);
    const std::uint16_t ocupado = ntohs(d.sin_port);

    ServidorMCP servidor;
    ASSERT_TRUE(servidor.arrancar(ocupado).ok());
    EXPECT_NE(servidor.puerto(), ocupado);
    EXPECT_NE(servidor.puerto(), 0);
    EXPECT_EQ(preguntar(servidor.puerto(), peticionHTTP("POST", "/mcp/" + servidor.token(), ping)),
              respuesta("200 OK", pong));
    EXPECT_LT(::accept(ajeno, nullptr, nullptr), 0);  // nothing reached the other listener
    ::close(ajeno);
}

// The listener and every accepted connection: close-on-exec, so that no
// child of the application holds them.
TEST(ServidorMCP, DescriptoresCerradosAlEjecutar) {
    Arrancado a;
    ClienteTCP esperando(a.servidor.puerto());
    ASSERT_TRUE(esperando.enviar("POST "));
    const auto delServidor = [&] {
        std::vector<int> r;
        for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
            const int fd = std::stoi(e.path().filename().string());
            sockaddr_in d{};
            socklen_t largo = sizeof d;
            if (::getsockname(fd, reinterpret_cast<sockaddr*>(&d), &largo) == 0 && d.sin_family == AF_INET &&
                ntohs(d.sin_port) == a.servidor.puerto())
                r.push_back(fd);
        }
        return r;
    };
    std::vector<int> fds;
    for (int i = 0; i < 200 && fds.size() < 2; ++i, std::this_thread::sleep_for(10ms)) fds = delServidor();
    ASSERT_EQ(fds.size(), 2u);  // the listener and the accepted connection
    for (int fd : fds) EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC) << fd;
}

TEST(ServidorMCP, PeticionEnTrozosYCierres) {
    Arrancado a;
    const std::string peticion = peticionHTTP("POST", a.ruta(), ping);
    const std::size_t fin = peticion.find("\r\n\r\n");
    {
        ClienteTCP c(a.servidor.puerto());
        for (auto trozo : {peticion.substr(0, fin + 2), peticion.substr(fin + 2, 2), peticion.substr(fin + 4, 5),
                           peticion.substr(fin + 9)}) {
            std::this_thread::sleep_for(30ms);
            ASSERT_TRUE(c.enviar(trozo));
        }
        const auto r = c.leerHastaCierre();
        EXPECT_TRUE(r.fin);
        EXPECT_EQ(r.bytes, respuesta("200 OK", pong));
    }
    {
        // The peer ends its side before the body is complete: closed, no answer.
        ClienteTCP c(a.servidor.puerto());
        ASSERT_TRUE(c.enviar(peticion.substr(0, peticion.size() - 1)));
        c.cerrarEscritura();
        const auto r = c.leerHastaCierre(5s);
        EXPECT_TRUE(r.fin);
        EXPECT_EQ(r.bytes, "");
    }
    // A second request behind the first is never answered.
    EXPECT_EQ(preguntar(a.servidor.puerto(), peticion + peticionHTTP("POST", a.ruta(), ping)),
              respuesta("200 OK", pong));
    // Rejections are bare statuses.
    EXPECT_EQ(preguntar(a.servidor.puerto(), peticionHTTP("GET", a.ruta(), ping)), respuesta("405 Method Not Allowed"));
    EXPECT_EQ(preguntar(a.servidor.puerto(), peticionHTTP("POST", "/mcp/x", ping)), respuesta("404 Not Found"));
    // Without a handler a tool call is answered, not failed.
    EXPECT_EQ(Json::parse(cuerpoDe(a.pedir(R"({"id":2,"method":"tools/call","params":{"name":"ver_tarvel"}})"))),
              Json::parse(R"({"jsonrpc":"2.0","id":2,"result":{"content":[{"type":"text",)"
                          R"("text":"El tarvel no está abierto."}],"isError":false}})"));
}

// A client still sending a body that is too large reads the whole 413, and
// its sending is not cut by a reset (which makes clients such as curl drop
// the answer), whether the header declared the size or the bytes just kept
// coming.
TEST(ServidorMCP, DemasiadoGrandeLlegaEntero) {
    Arrancado a;
    const std::string cabecera = "POST " + a.ruta() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    struct Caso {
        const char* nombre;
        std::string inicio;
        std::size_t total;
    };
    const std::vector<Caso> casos = {
        {"longitud declarada, 16,842,753 bytes en total",
         cabecera + "Content-Length: " + std::to_string(limitePeticion) + "\r\n\r\n", limitePeticion + 1},
        {"longitud declarada de 20 MB", cabecera + "Content-Length: 20000000\r\n\r\n", 20'000'000},
        {"sin línea en blanco, 16,842,753 bytes", "", limitePeticion + 1},
        {"sin línea en blanco, 20 MB", "", 20'000'000},
    };
    for (const auto& c : casos) {
        ClienteTCP cliente(a.servidor.puerto());
        auto envio = std::async(std::launch::async, [&] {
            return cliente.enviar(c.inicio) && cliente.enviar(std::string(c.total - c.inicio.size(), 'x'));
        });
        const auto r = cliente.leerHastaCierre(20s);
        EXPECT_TRUE(envio.get()) << c.nombre;
        EXPECT_TRUE(r.fin) << c.nombre;
        EXPECT_EQ(r.bytes, respuesta("413 Payload Too Large")) << c.nombre;
    }
    // Exactly at the limit is served (a ping padded with blanks).
    std::string exacta;
    for (std::size_t relleno = limitePeticion - 200; exacta.size() != limitePeticion;
         relleno = relleno + limitePeticion - exacta.size())
        exacta = peticionHTTP("POST", a.ruta(), ping + std::string(relleno, ' '));
    EXPECT_EQ(preguntar(a.servidor.puerto(), exacta), respuesta("200 OK", pong));
}

TEST(ServidorMCP, AnidacionProfundaYSigueSirviendo) {
    Arrancado a;
    const std::string hondo = R"({"id":1,"method":"ping","params":)" + std::string(100'000, '[') +
                              std::string(100'000, ']') + "}";
    EXPECT_EQ(a.pedir(hondo), respuesta("400 Bad Request"));
    EXPECT_EQ(a.pedir(ping), respuesta("200 OK", pong));
}

TEST(ServidorMCP, ElLentoSeCortaPorInactividad) {
    LimitesServidorMCP limites;
    limites.inactividad = 400ms;
    Arrancado a(limites);
    const std::string peticion = peticionHTTP("POST", a.ruta(), ping);

    // Stalls after a few bytes: dropped without an answer, and meanwhile
    // the others are served.
    ClienteTCP lento(a.servidor.puerto());
    ASSERT_TRUE(lento.enviar(peticion.substr(0, 10)));
    const auto antes = std::chrono::steady_clock::now();
    EXPECT_EQ(a.pedir(ping), respuesta("200 OK", pong));
    const auto r = lento.leerHastaCierre(5s);
    const auto espera = std::chrono::steady_clock::now() - antes;
    EXPECT_TRUE(r.fin);
    EXPECT_EQ(r.bytes, "");
    EXPECT_GE(espera, 300ms);
    EXPECT_LT(espera, 3s);

    // Trickles a byte every 50 ms for longer than the limit: it is never
    // idle that long, so it is answered.
    ClienteTCP goteo(a.servidor.puerto());
    const auto inicio = std::chrono::steady_clock::now();
    for (char b : peticion) {
        ASSERT_TRUE(goteo.enviar(std::string(1, b)));
        if (std::chrono::steady_clock::now() - inicio < 800ms) std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(goteo.leerHastaCierre().bytes, respuesta("200 OK", pong));
}

// With every slot taken, a new client makes room: the connection idle the
// longest is closed without an answer, the others stay.
TEST(ServidorMCP, TopeDeConexionesCierraLaMasQuieta) {
    LimitesServidorMCP limites;
    limites.conexiones = 4;
    Arrancado a(limites);
    std::vector<std::unique_ptr<ClienteTCP>> quietos;
    for (int i = 0; i < 4; ++i) {
        quietos.push_back(std::make_unique<ClienteTCP>(a.servidor.puerto()));
        ASSERT_TRUE(quietos.back()->enviar("POST"));
        std::this_thread::sleep_for(50ms);
    }
    for (std::size_t i = 1; i < 4; ++i) ASSERT_TRUE(quietos[i]->enviar(" "));
    std::this_thread::sleep_for(200ms);  // let the server read them

    EXPECT_EQ(a.pedir(ping), respuesta("200 OK", pong));
    const auto primera = quietos[0]->leerHastaCierre(3s);
    EXPECT_TRUE(primera.fin);
    EXPECT_EQ(primera.bytes, "");
    for (std::size_t i = 1; i < 4; ++i) EXPECT_FALSE(quietos[i]->leerHastaCierre(100ms).fin) << i;
}

// Hundreds of idle connections and a slow sender under the default limits
// do not keep a ping waiting.
TEST(ServidorMCP, MuchosQuietosNoParanAlResto) {
    Arrancado a;
    std::vector<std::unique_ptr<ClienteTCP>> quietos;
    for (int i = 0; i < 200; ++i) {
        quietos.push_back(std::make_unique<ClienteTCP>(a.servidor.puerto()));
        ASSERT_TRUE(quietos.back()->conectado());
        if (i % 2 == 0) quietos.back()->enviar("POST " + a.ruta() + " HTTP/1.1\r\nContent-Length: 100\r\n\r\n{");
    }
    std::atomic<bool> seguir{true};
    std::thread lento([&] {
        ClienteTCP c(a.servidor.puerto());
        c.enviar("POST " + a.ruta() + " HTTP/1.1\r\nContent-Length: 1000000\r\n\r\n");
        while (seguir) {
            c.enviar(std::string(1000, ' '));
            std::this_thread::sleep_for(5ms);
        }
    });
    const auto antes = std::chrono::steady_clock::now();
    EXPECT_EQ(a.pedir(ping), respuesta("200 OK", pong));
    EXPECT_LT(std::chrono::steady_clock::now() - antes, 2s);
    seguir = false;
    lento.join();
}

// 300 clients each sending a byte a second are more than there are slots;
// room is still made for a new client, which is answered within a second.
TEST(ServidorMCP, TrescientasLentasNoDejanFuera) {
    Arrancado a;
    const std::string peticion = peticionHTTP("POST", a.ruta(), ping);
    std::vector<std::unique_ptr<ClienteTCP>> lentas;
    for (int i = 0; i < 300; ++i) {
        lentas.push_back(std::make_unique<ClienteTCP>(a.servidor.puerto()));
        ASSERT_TRUE(lentas.back()->conectado());
        lentas.back()->enviar(peticion.substr(0, 1));
    }
    std::atomic<bool> seguir{true};
    std::thread goteo([&] {
        for (std::size_t b = 1; seguir && b < peticion.size(); ++b) {
            for (auto& c : lentas) c->enviar(peticion.substr(b, 1));
            for (int i = 0; i < 10 && seguir; ++i) std::this_thread::sleep_for(100ms);
        }
    });
    std::this_thread::sleep_for(1500ms);  // every slow client is in and has sent twice

    const auto antes = std::chrono::steady_clock::now();
    const std::string r = a.pedir(R"({"jsonrpc":"2.0","id":7,"method":"tools/list"})");
    const auto espera = std::chrono::steady_clock::now() - antes;
    seguir = false;
    goteo.join();
    EXPECT_LT(espera, 1s);
    ASSERT_TRUE(r.starts_with("HTTP/1.1 200 OK\r\n")) << r;
    EXPECT_EQ(Json::parse(cuerpoDe(r))["result"]["tools"].size(), 24u);
}

// Two waves of 200 clients at once, each client keeping its socket open
// after its answer, so that the server still has the whole first wave
// waiting to close when the second connects: every request is answered.
TEST(ServidorMCP, DoscientasALaVezTodasContestadas) {
    // Both ends of every connection live in this process.
    rlimit limite{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limite), 0);
    limite.rlim_cur = std::max<rlim_t>(limite.rlim_cur, std::min<rlim_t>(limite.rlim_max, 4096));
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limite), 0);
    ASSERT_GE(limite.rlim_cur, 1200u);

    Arrancado a;
    const std::string peticion = peticionHTTP("POST", a.ruta(), ping);
    std::vector<std::unique_ptr<ClienteTCP>> abiertas;
    for (int ola = 0; ola < 2; ++ola) {
        std::vector<std::unique_ptr<ClienteTCP>> clientes;
        for (int i = 0; i < 200; ++i) {
            clientes.push_back(std::make_unique<ClienteTCP>(a.servidor.puerto()));
            ASSERT_TRUE(clientes.back()->conectado());
        }
        std::vector<std::thread> hilos;
        std::vector<ClienteTCP::Lectura> lecturas(clientes.size());
        for (std::size_t i = 0; i < clientes.size(); ++i)
            hilos.emplace_back([&, i] {
                if (clientes[i]->enviar(peticion)) lecturas[i] = clientes[i]->leerHastaCierre(30s);
            });
        for (auto& h : hilos) h.join();
        for (std::size_t i = 0; i < lecturas.size(); ++i)
            EXPECT_EQ(lecturas[i].bytes, respuesta("200 OK", pong)) << "ola " << ola << ", cliente " << i;
        for (auto& c : clientes) abiertas.push_back(std::move(c));
    }
}

// The header block has a total time limit: a client that keeps sending a
// byte now and then, never idle for long, is still closed when it is up.
// Once the header block is in, the limit no longer applies.
TEST(ServidorMCP, CabeceraConPlazoTotal) {
    LimitesServidorMCP limites;
    limites.inactividad = 2s;
    limites.cabecera = 600ms;
    Arrancado a(limites);
    const std::string peticion = peticionHTTP("POST", a.ruta(), ping);

    ClienteTCP goteo(a.servidor.puerto());
    std::atomic<bool> seguir{true};
    std::thread envio([&] {
        for (std::size_t b = 0; seguir && b < peticion.size(); ++b) {
            if (!goteo.enviar(peticion.substr(b, 1))) return;
            std::this_thread::sleep_for(100ms);
        }
    });
    const auto antes = std::chrono::steady_clock::now();
    const auto r = goteo.leerHastaCierre(5s);
    const auto espera = std::chrono::steady_clock::now() - antes;
    seguir = false;
    envio.join();
    EXPECT_TRUE(r.fin);
    EXPECT_EQ(r.bytes, "");
    EXPECT_GE(espera, 500ms);
    EXPECT_LT(espera, 1500ms);

    // The header block at once, then the body slowly for longer than that.
    ClienteTCP cuerpoLento(a.servidor.puerto());
    const std::size_t fin = peticion.find("\r\n\r\n") + 4;
    ASSERT_TRUE(cuerpoLento.enviar(peticion.substr(0, fin)));
    for (std::size_t b = fin; b < peticion.size(); ++b) {
        std::this_thread::sleep_for(1000ms / (peticion.size() - fin));
        ASSERT_TRUE(cuerpoLento.enviar(peticion.substr(b, 1)));
    }
    EXPECT_EQ(cuerpoLento.leerHastaCierre().bytes, respuesta("200 OK", pong));
}

// 64 clients trickling bodies of 16 MiB: what the server holds for all of
// them together, by its own count, never goes past its bound, and it keeps
// serving.
TEST(ServidorMCP, MemoriaAcotadaEntreTodas) {
    Arrancado a;
    const std::size_t cota = LimitesServidorMCP{}.memoria;
    const std::string cabecera = "POST " + a.ruta() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                                 std::to_string(16 << 20) + "\r\n\r\n";
    std::vector<std::unique_ptr<ClienteTCP>> goteos;
    for (int i = 0; i < 64; ++i) {
        goteos.push_back(std::make_unique<ClienteTCP>(a.servidor.puerto()));
        ASSERT_TRUE(goteos.back()->enviar(cabecera));
    }
    const std::string trozo(256 << 10, ' ');
    std::vector<bool> vivas(goteos.size(), true);
    for (int vuelta = 0; vuelta < 16; ++vuelta) {  // up to 4 MiB each, 256 MiB in all
        for (std::size_t i = 0; i < goteos.size(); ++i)
            if (vivas[i]) vivas[i] = goteos[i]->enviar(trozo);
        std::this_thread::sleep_for(20ms);
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(a.servidor.maximoRetenido(), cota);
    EXPECT_GT(a.servidor.maximoRetenido(), cota / 2);  // the bound was reached, not just respected
    EXPECT_LE(a.servidor.retenidos(), cota);
    EXPECT_EQ(a.pedir(ping), respuesta("200 OK", pong));
}

TEST(ServidorMCP, PararCierraTodo) {
    Arrancado a;
    const std::uint16_t puerto = a.servidor.puerto();
    ClienteTCP abierta(puerto);
    ASSERT_TRUE(abierta.enviar("POST "));
    std::this_thread::sleep_for(100ms);
    a.servidor.parar();
    EXPECT_EQ(a.servidor.puerto(), 0);
    const auto r = abierta.leerHastaCierre(3s);
    EXPECT_TRUE(r.fin);
    EXPECT_EQ(r.bytes, "");
    EXPECT_FALSE(ClienteTCP(puerto).conectado());
}

// A slot the test fills from another thread when it likes.
struct LlamadasPendientes {
    std::mutex mutex;
    std::condition_variable cambio;
    std::vector<std::pair<PeticionHerramienta, AlTerminarHerramienta>> llamadas;

    void guardar(PeticionHerramienta p, AlTerminarHerramienta t) {
        std::lock_guard bloqueo(mutex);
        llamadas.emplace_back(std::move(p), std::move(t));
        cambio.notify_all();
    }
    std::pair<PeticionHerramienta, AlTerminarHerramienta> esperar() {
        std::unique_lock bloqueo(mutex);
        cambio.wait_for(bloqueo, 10s, [&] { return !llamadas.empty(); });
        if (llamadas.empty()) return {};
        auto r = std::move(llamadas.front());
        llamadas.erase(llamadas.begin());
        return r;
    }
};

TEST(ServidorMCP, HerramientaAsincronaNoBloqueaAOtros) {
    ServidorMCP servidor;
    LlamadasPendientes pendientes;
    servidor.ponerEjecutar([&](PeticionHerramienta p, AlTerminarHerramienta t) { pendientes.guardar(std::move(p), t); });
    ASSERT_TRUE(servidor.arrancar(std::nullopt).ok());
    const std::string clave = "abcdefgh12345678";

    auto llamada = std::async(std::launch::async, [&] {
        return preguntar(servidor.puerto(),
                         peticionHTTP("POST", "/mcp/" + servidor.token() + "/" + clave,
                                      R"({"jsonrpc":"2.0","id":"c","method":"tools/call",)"
                                      R"("params":{"name":"escribir","arguments":{"html":"<p>"}}})"));
    });
    auto [peticion, terminar] = pendientes.esperar();
    ASSERT_TRUE(terminar);
    EXPECT_EQ(peticion.nombre, "escribir");
    EXPECT_EQ(peticion.argumentos, Json::parse(R"({"html":"<p>"})"));
    EXPECT_EQ(peticion.clave, clave);

    // While the tool is working, other connections are answered.
    EXPECT_EQ(preguntar(servidor.puerto(), peticionHTTP("POST", "/mcp/" + servidor.token(), ping)),
              respuesta("200 OK", pong));
    EXPECT_EQ(llamada.wait_for(100ms), std::future_status::timeout);

    // Finished from another thread; a second call changes nothing.
    std::thread([t = terminar] {
        t(Json::parse(R"([{"type":"text","text":"No cabe.","error":true},{"type":"text","text":"b"}])"));
    }).join();
    terminar(Json::parse(R"([{"type":"text","text":"otra vez"}])"));
    const std::string r = llamada.get();
    EXPECT_TRUE(r.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(Json::parse(cuerpoDe(r)),
              Json::parse(R"({"jsonrpc":"2.0","id":"c","result":{"content":[{"type":"text","text":"No cabe."},)"
                          R"({"type":"text","text":"b"}],"isError":true}})"));
}

// An answer far larger than the socket takes at once, to a client that
// starts reading late: the rest is written as the client reads, and all of
// it arrives before the connection closes.
TEST(ServidorMCP, RespuestaGrandeAUnLectorTardio) {
    ServidorMCP servidor;
    const std::string texto(40'000, 'a');
    servidor.ponerEjecutar([&](PeticionHerramienta, AlTerminarHerramienta terminar) {
        Json items = Json::array();
        for (int i = 0; i < 100; ++i) items.push_back({{"type", "text"}, {"text", texto}});
        terminar(std::move(items));
    });
    ASSERT_TRUE(servidor.arrancar(std::nullopt).ok());
    ClienteTCP cliente(servidor.puerto());
    ASSERT_TRUE(
        cliente.enviar(peticionHTTP("POST", "/mcp/" + servidor.token(),
                                    R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"ver"}})")));
    std::this_thread::sleep_for(300ms);  // the answer fills the socket meanwhile
    const auto r = cliente.leerHastaCierre(20s);
    EXPECT_TRUE(r.fin);
    ASSERT_TRUE(r.bytes.starts_with("HTTP/1.1 200 OK\r\n"));
    const Json cuerpo = Json::parse(cuerpoDe(r.bytes));
    ASSERT_EQ(cuerpo["result"]["content"].size(), 100u);
    for (const auto& item : cuerpo["result"]["content"]) EXPECT_EQ(item["text"], texto);
}

TEST(ServidorMCP, ManejadoresQueFallanOTardanMas) {
    auto servidor = std::make_unique<ServidorMCP>();
    LlamadasPendientes pendientes;
    std::vector<std::string> clientes;
    std::mutex mutex;
    servidor->ponerAlInicializar([&](std::string nombre) {
        std::lock_guard bloqueo(mutex);
        clientes.push_back(std::move(nombre));
    });
    servidor->ponerEjecutar([&](PeticionHerramienta p, AlTerminarHerramienta t) {
        if (p.nombre == "falla") throw std::runtime_error("No hay ningún diseño abierto.");
        pendientes.guardar(std::move(p), std::move(t));
    });
    ASSERT_TRUE(servidor->arrancar(std::nullopt).ok());
    const std::string ruta = "/mcp/" + servidor->token();
    const auto pedir = [&](const std::string& sufijo, const std::string& cuerpo) {
        return preguntar(servidor->puerto(), peticionHTTP("POST", ruta + sufijo, cuerpo));
    };

    const std::string inicio = R"({"id":1,"method":"initialize","params":{"clientInfo":{"name":"Cursor"}}})";
    EXPECT_TRUE(pedir("", inicio).starts_with("HTTP/1.1 200 OK"));
    EXPECT_TRUE(pedir("/abcdefgh", inicio).starts_with("HTTP/1.1 200 OK"));
    EXPECT_EQ(pedir("", R"({"method":"initialize","params":{"clientInfo":{"name":"X"}}})"), respuesta("202 Accepted"));
    {
        std::lock_guard bloqueo(mutex);
        EXPECT_EQ(clientes, std::vector<std::string>{"Cursor"});
    }

    EXPECT_EQ(Json::parse(cuerpoDe(pedir("", R"({"id":1,"method":"tools/call","params":{"name":"falla"}})")))["result"],
              Json::parse(R"({"content":[{"type":"text","text":"No hay ningún diseño abierto."}],"isError":true})"));

    // A call still waiting when the server goes: the late answer goes nowhere.
    auto colgada = std::async(std::launch::async, [&] {
        return pedir("", R"({"id":1,"method":"tools/call","params":{"name":"lenta"}})");
    });
    auto [peticion, terminar] = pendientes.esperar();
    ASSERT_TRUE(terminar);
    servidor.reset();
    EXPECT_EQ(colgada.get(), "");
    terminar(Json::array());
}

}  // namespace
}  // namespace sorvenia
