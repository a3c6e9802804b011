#include "plataforma/http.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

using namespace std::chrono_literals;
using prueba::ServidorHTTPPrueba;
using Reloj = std::chrono::steady_clock;

PeticionHTTP hacia(const ServidorHTTPPrueba& servidor, const std::string& ruta = "/") {
    PeticionHTTP p;
    p.url = "http://127.0.0.1:" + std::to_string(servidor.puerto()) + ruta;
    return p;
}

double segundosDesde(Reloj::time_point inicio) {
    return std::chrono::duration<double>(Reloj::now() - inicio).count();
}

void esperarPeticiones(const ServidorHTTPPrueba& servidor, std::size_t cuantas) {
    const auto limite = Reloj::now() + 5s;
    while (servidor.peticiones().size() < cuantas && Reloj::now() < limite) std::this_thread::sleep_for(5ms);
    ASSERT_EQ(servidor.peticiones().size(), cuantas);
}

TEST(Http, LlevaMetodoCabecerasYCuerpoYTraeLaRespuesta) {
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP&) {
        return std::string("HTTP/1.1 201 Created\r\nX-Respuesta: uno\r\nx-respuesta: dos\r\n"
                           "Content-Length: 5\r\nConnection: close\r\n\r\nhola!");
    });
    auto p = hacia(servidor, "/ruta?x=1");
    p.metodo = "POST";
    p.cabeceras = {{"Content-Type", "application/json"}, {"X-Prueba", "valor con espacios"}, {"X-Vacia", ""}};
    // Large enough that libcurl would otherwise wait for "100 Continue".
    p.cuerpo = std::string(2 * 1024 * 1024, 'a') + "fin";

    const auto inicio = Reloj::now();
    const auto r = pedir(p);
    ASSERT_TRUE(r.ok()) << r.fallo().mensaje;
    EXPECT_LT(segundosDesde(inicio), 0.9);
    EXPECT_EQ(r->status, 201);
    EXPECT_EQ(r->cabecera("X-RESPUESTA"), "uno, dos");
    EXPECT_EQ(r->cabecera("content-length"), "5");
    EXPECT_EQ(r->cabecera("X-Ausente"), std::nullopt);
    EXPECT_EQ(r->cuerpo, "hola!");

    const auto vistas = servidor.peticiones();
    ASSERT_EQ(vistas.size(), 1u);
    EXPECT_EQ(vistas[0].metodo, "POST");
    EXPECT_EQ(vistas[0].ruta, "/ruta?x=1");
    EXPECT_EQ(vistas[0].cabeceras.at("content-type"), "application/json");
    EXPECT_EQ(vistas[0].cabeceras.at("x-prueba"), "valor con espacios");
    EXPECT_EQ(vistas[0].cabeceras.at("x-vacia"), "");
    EXPECT_FALSE(vistas[0].cabeceras.contains("expect"));
    EXPECT_EQ(vistas[0].cuerpo, p.cuerpo);
}

TEST(Http, CadaMetodoLlegaConSuCuerpo) {
    struct Caso {
        const char* metodo;
        const char* cuerpo;
        const char* largoEsperado;  // the Content-Length the server sees, or null for none
    };
    const Caso casos[] = {
        {"GET", "", nullptr},     {"DELETE", "", nullptr}, {"POST", "", "0"},
        {"PUT", "datos", "5"},    {"PATCH", "{}", "2"},    {"DELETE", "x", "1"},
    };
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP& p) { return ServidorHTTPPrueba::respuesta(200, p.metodo); });
    for (const auto& caso : casos) {
        auto p = hacia(servidor);
        p.metodo = caso.metodo;
        p.cuerpo = caso.cuerpo;
        const auto r = pedir(p);
        ASSERT_TRUE(r.ok()) << caso.metodo << ": " << r.fallo().mensaje;
        EXPECT_EQ(r->cuerpo, caso.metodo);
        const auto vista = servidor.peticiones().back();
        EXPECT_EQ(vista.metodo, caso.metodo);
        EXPECT_EQ(vista.cuerpo, caso.cuerpo) << caso.metodo;
        if (caso.largoEsperado) EXPECT_EQ(vista.cabeceras.at("content-length"), caso.largoEsperado) << caso.metodo;
        else EXPECT_FALSE(vista.cabeceras.contains("content-length")) << caso.metodo;
    }
}

// A HEAD answer announces a body it does not send; waiting for it would hang.
TEST(Http, HeadNoEsperaCuerpo) {
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP&) {
        return std::string("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nX-Tipo: cabeza\r\n\r\n");
    });
    auto p = hacia(servidor);
    p.metodo = "HEAD";
    p.tiempoLimite = 3;
    const auto r = pedir(p);
    ASSERT_TRUE(r.ok()) << r.fallo().mensaje;
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->cabecera("x-tipo"), "cabeza");
    EXPECT_EQ(r->cuerpo, "");
    EXPECT_EQ(servidor.peticiones().at(0).metodo, "HEAD");
}

TEST(Http, UnEstadoDeErrorEsUnaRespuesta) {
    for (const int status : {301, 404, 500}) {
        ServidorHTTPPrueba servidor(
            [status](const prueba::PeticionHTTP&) { return ServidorHTTPPrueba::respuesta(status, "{\"error\":1}"); });
        const auto r = pedir(hacia(servidor));
        ASSERT_TRUE(r.ok()) << status << ": " << r.fallo().mensaje;
        EXPECT_EQ(r->status, status);
        EXPECT_EQ(r->cuerpo, "{\"error\":1}");
    }
}

TEST(Http, SoloLasCabecerasDeLaRespuestaFinal) {
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP& p) -> std::string {
        if (p.ruta == "/viejo")
            return "HTTP/1.1 302 Found\r\nLocation: /nuevo\r\nX-Primera: 1\r\nContent-Length: 0\r\n\r\n";
        if (p.ruta == "/interino")
            return "HTTP/1.1 100 Continue\r\nX-Intermedia: 1\r\n\r\n"
                   "HTTP/1.1 200 OK\r\nX-Final: 2\r\nContent-Length: 2\r\n\r\nok";
        return "HTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 5\r\n\r\nnuevo";
    });

    const auto sinSeguir = pedir(hacia(servidor, "/viejo"));
    ASSERT_TRUE(sinSeguir.ok()) << sinSeguir.fallo().mensaje;
    EXPECT_EQ(sinSeguir->status, 302);
    EXPECT_EQ(sinSeguir->cabecera("location"), "/nuevo");
    EXPECT_EQ(servidor.peticiones().size(), 1u);

    auto p = hacia(servidor, "/viejo");
    p.seguirRedirecciones = true;
    const auto siguiendo = pedir(p);
    ASSERT_TRUE(siguiendo.ok()) << siguiendo.fallo().mensaje;
    EXPECT_EQ(siguiendo->status, 200);
    EXPECT_EQ(siguiendo->cuerpo, "nuevo");
    EXPECT_EQ(siguiendo->cabecera("x-final"), "1");
    EXPECT_EQ(siguiendo->cabecera("x-primera"), std::nullopt);
    EXPECT_EQ(servidor.peticiones().back().ruta, "/nuevo");

    const auto interino = pedir(hacia(servidor, "/interino"));
    ASSERT_TRUE(interino.ok()) << interino.fallo().mensaje;
    EXPECT_EQ(interino->status, 200);
    EXPECT_EQ(interino->cabeceras, (CabecerasHTTP{{"X-Final", "2"}, {"Content-Length", "2"}}));
    EXPECT_EQ(interino->cuerpo, "ok");
}

TEST(Http, RespuestaMayorQueElLimite) {
    struct Caso {
        const char* nombre;
        std::string bruto;
        bool cabe;
    };
    const std::string cien(100, 'x');
    const Caso casos[] = {
        {"anunciada", ServidorHTTPPrueba::respuesta(200, cien + "y"), false},
        {"sin longitud", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + cien + "y", false},
        {"justa", ServidorHTTPPrueba::respuesta(200, cien), true},
        {"justa sin longitud", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + cien, true},
    };
    for (const auto& caso : casos) {
        ServidorHTTPPrueba servidor([&caso](const prueba::PeticionHTTP&) { return caso.bruto; });
        auto p = hacia(servidor);
        p.limiteBytes = 100;
        const auto r = pedir(p);
        if (caso.cabe) {
            ASSERT_TRUE(r.ok()) << caso.nombre << ": " << r.fallo().mensaje;
            EXPECT_EQ(r->cuerpo, cien) << caso.nombre;
        } else {
            ASSERT_FALSE(r.ok()) << caso.nombre;
            EXPECT_EQ(r.fallo().codigo, "grande") << caso.nombre;
            EXPECT_EQ(r.fallo().mensaje, "La respuesta del servidor es demasiado grande.");
        }
        // Asked to cut instead, the same answers arrive with what fits.
        p.cortarAlLimite = true;
        const auto cortada = pedir(p);
        ASSERT_TRUE(cortada.ok()) << caso.nombre << ": " << cortada.fallo().mensaje;
        EXPECT_EQ(cortada->status, 200) << caso.nombre;
        EXPECT_EQ(cortada->cuerpo, cien) << caso.nombre;
        EXPECT_EQ(cortada->cortada, !caso.cabe) << caso.nombre;
    }
}

TEST(Http, UnServidorQueTardaEsFalloDeTiempo) {
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP&) { return ServidorHTTPPrueba::respuesta(200, "tarde"); });
    servidor.retrasar(5s);
    auto p = hacia(servidor);
    p.tiempoLimite = 0.5;
    const auto inicio = Reloj::now();
    const auto r = pedir(p);
    const double pasado = segundosDesde(inicio);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.fallo().codigo, "tiempo");
    EXPECT_EQ(r.fallo().mensaje, "El servidor ha tardado demasiado en contestar.");
    EXPECT_GE(pasado, 0.45);
    EXPECT_LT(pasado, 2.0);
}

// A server that sends a byte now and then never trips the idle limit; the
// whole transfer's limit ends it. Without one, the default (ten times the
// idle limit) does.
TEST(Http, UnaRespuestaQueGoteaAgotaElTiempoTotal) {
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP&) {
        return ServidorHTTPPrueba::respuesta(200, std::string(400, 'x'));
    });
    servidor.gotear(50ms);
    struct Caso {
        double inactivo, total, minimo, maximo;
    };
    for (const Caso c : {Caso{2.0, 1.0, 0.9, 1.8}, Caso{0.3, 0, 2.9, 4.0}}) {
        auto p = hacia(servidor);
        p.tiempoLimite = c.inactivo;
        p.tiempoTotal = c.total;
        const auto inicio = Reloj::now();
        const auto r = pedir(p);
        const double pasado = segundosDesde(inicio);
        ASSERT_FALSE(r.ok()) << "inactivo " << c.inactivo;
        EXPECT_EQ(r.fallo().codigo, "tiempo");
        EXPECT_GE(pasado, c.minimo);
        EXPECT_LT(pasado, c.maximo);
    }
}

TEST(Http, ConexionRechazada) {
    // A bound socket that does not listen refuses connections, and keeps the
    // port from being taken by anyone else meanwhile.
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in direccion{};
    direccion.sin_family = AF_INET;
    direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&direccion), sizeof direccion), 0);
    socklen_t largo = sizeof direccion;
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&direccion), &largo), 0);

    PeticionHTTP p;
    p.url = "http://127.0.0.1:" + std::to_string(ntohs(direccion.sin_port)) + "/";
    p.tiempoLimite = 5;
    const auto r = pedir(p);
    close(fd);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.fallo().codigo, "conexion");
    EXPECT_EQ(r.fallo().mensaje, "No se pudo conectar con el servidor. Comprueba tu conexión a internet.");
}

TEST(Http, PeticionesInvalidasNoSalen) {
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP&) { return ServidorHTTPPrueba::respuesta(200); });
    const std::string base = "http://127.0.0.1:" + std::to_string(servidor.puerto());
    struct Caso {
        std::string metodo, url, nombre, valor, codigo;
    };
    const Caso casos[] = {
        {"GET", base + "/", "X-Inyectada", "a\r\nX-Otra: 1", "peticion"},
        {"GET", base + "/", "X Malo", "a", "peticion"},
        {"GET", base + "/", "", "a", "peticion"},
        {"GE T", base + "/", "X-A", "a", "peticion"},
        {"", base + "/", "X-A", "a", "peticion"},
        {"GET", base + std::string("/a\0b", 4), "X-A", "a", "url"},
        {"GET", "file:///etc/passwd", "X-A", "a", "url"},
        {"GET", "ftp://127.0.0.1/", "X-A", "a", "url"},
        {"GET", "no es una direccion", "X-A", "a", "url"},
    };
    for (const auto& caso : casos) {
        PeticionHTTP p;
        p.metodo = caso.metodo;
        p.url = caso.url;
        p.cabeceras = {{caso.nombre, caso.valor}};
        const auto r = pedir(p);
        ASSERT_FALSE(r.ok()) << caso.metodo << " " << caso.url << " " << caso.nombre;
        EXPECT_EQ(r.fallo().codigo, caso.codigo) << caso.metodo << " " << caso.url << " " << caso.nombre;
    }
    EXPECT_TRUE(servidor.peticiones().empty());
}

// The descriptors a started program would inherit, with what they point to.
std::map<int, std::string> heredables() {
    std::map<int, std::string> resultado;
    DIR* dir = opendir("/proc/self/fd");
    while (const dirent* e = dir ? readdir(dir) : nullptr) {
        const int fd = std::atoi(e->d_name);
        if (e->d_name[0] == '.' || fd == dirfd(dir) || (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0) continue;
        char destino[256] = {};
        static_cast<void>(readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), destino, sizeof destino - 1));
        resultado[fd] = destino;
    }
    if (dir) closedir(dir);
    return resultado;
}

// No descriptor a transfer opens may reach the programs the application
// starts (only those the test process inherited are allowed).
TEST(Http, LosDescriptoresNoSeHeredan) {
    const auto antes = heredables();
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP&) { return ServidorHTTPPrueba::respuesta(200); });
    servidor.retrasar(3s);
    std::thread peticion([&servidor] { static_cast<void>(pedir(hacia(servidor))); });
    esperarPeticiones(servidor, 1);
    const auto durante = heredables();
    servidor.retrasar(0ms);
    peticion.join();
    for (const auto& [fd, destino] : durante) EXPECT_TRUE(antes.contains(fd)) << "descriptor " << fd << " -> " << destino;
}

TEST(HttpAsync, ReanudaEnElHiloPrincipalConLaRespuesta) {
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP&) { return ServidorHTTPPrueba::respuesta(202, "hecho"); });
    auto tarea = [](PeticionHTTP p) -> Tarea<std::pair<bool, Resultado<RespuestaHTTP>>> {
        auto r = co_await pedirAsync(std::move(p));
        co_return std::pair<bool, Resultado<RespuestaHTTP>>(esHiloPrincipal(), std::move(r));
    };
    const auto [principal, r] = esperarEnBucle(tarea(hacia(servidor)));
    EXPECT_TRUE(principal);
    ASSERT_TRUE(r.ok()) << r.fallo().mensaje;
    EXPECT_EQ(r->status, 202);
    EXPECT_EQ(r->cuerpo, "hecho");
}

TEST(HttpAsync, CancelarCortaLaTransferencia) {
    ServidorHTTPPrueba servidor([](const prueba::PeticionHTTP&) { return ServidorHTTPPrueba::respuesta(200, "tarde"); });
    servidor.retrasar(10s);
    auto resultado = std::make_shared<std::optional<Resultado<RespuestaHTTP>>>();
    auto pedirYGuardar = [](PeticionHTTP p, std::shared_ptr<std::optional<Resultado<RespuestaHTTP>>> destino) -> Tarea<> {
        destino->emplace(co_await pedirAsync(std::move(p)));
    };
    auto lanzada = lanzar(pedirYGuardar(hacia(servidor), resultado));

    // Cancel once the request is on the wire, then wait for the task's end.
    auto cancelarYEsperar = [](const ServidorHTTPPrueba& s, TareaLanzada t) -> Tarea<double> {
        while (s.peticiones().empty()) co_await dormir(0.005);
        const auto inicio = Reloj::now();
        t.cancelar();
        while (!t.terminada()) co_await dormir(0.005);
        co_return segundosDesde(inicio);
    };
    const double pasado = esperarEnBucle(cancelarYEsperar(servidor, lanzada));
    EXPECT_LT(pasado, 0.5);
    ASSERT_TRUE(resultado->has_value());
    ASSERT_FALSE((*resultado)->ok());
    EXPECT_EQ((*resultado)->fallo().codigo, "cancelada");
}

}  // namespace
}  // namespace sorvenia
