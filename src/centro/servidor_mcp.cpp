#include "centro/servidor_mcp.h"

#include <asio/post.hpp>

#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <future>
#include <vector>

#include "centro/conexion_mcp.h"
#include "centro/motor_mcp.h"

namespace sorvenia {
namespace detalle {
namespace {

constexpr std::string_view noSeAbre = "No se ha podido abrir el servidor del tarvel.";
constexpr auto esperaPorIntento = std::chrono::seconds(3);
constexpr int aceptadasPorVuelta = 64;

std::size_t hilosDeTrabajo() {
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 8);
}

}  // namespace

MotorMCP::MotorMCP(LimitesServidorMCP l, std::string t)
    : trabajo(contexto.get_executor()),
      piscina(hilosDeTrabajo()),
      limites(l),
      token(std::move(t)),
      pausa(contexto) {}

void MotorMCP::contar(std::size_t antes, std::size_t despues) {
    const std::size_t ahora = retenidos - antes + despues;
    retenidos = ahora;
    if (ahora > maximoRetenido) maximoRetenido = ahora;
}

bool MotorMCP::hacerSitio(std::size_t extra, const ConexionMCP& pide) {
    const auto ahora = ConexionMCP::Reloj::now();
    while (retenidos + extra > limites.memoria) {
        ConexionMCP* lenta = nullptr;
        for (const auto& [clave, conexion] : conexiones) {
            if (!conexion->leyendo() || conexion->retenidos() == 0) continue;
            if (!lenta || conexion->ritmo(ahora) < lenta->ritmo(ahora)) lenta = conexion.get();
        }
        if (lenta == nullptr || lenta == &pide) return false;
        lenta->cederMemoria();
    }
    return true;
}

bool MotorMCP::liberarPlaza() {
    ConexionMCP* elegida = nullptr;
    for (const auto& [clave, conexion] : conexiones)
        if (conexion->leyendo() && (!elegida || conexion->ultimaActividad() < elegida->ultimaActividad()))
            elegida = conexion.get();
    if (elegida == nullptr) return false;
    elegida->cerrar();
    return true;
}

void MotorMCP::cerrarEscurrida() {
    ConexionMCP* elegida = nullptr;
    for (const auto& [clave, conexion] : conexiones)
        if (conexion->escurriendo() && (!elegida || conexion->plazo() < elegida->plazo())) elegida = conexion.get();
    if (elegida != nullptr) elegida->cerrar();
}

void MotorMCP::instalar(asio::ip::tcp::acceptor nueva, std::uint16_t puertoNuevo) {
    ++generacion;
    if (escucha) {
        asio::error_code ignorado;
        escucha->close(ignorado);
    }
    escucha.emplace(std::move(nueva));
    puerto = puertoNuevo;
    aceptar();
}

void MotorMCP::cerrarTodo() {
    ++generacion;
    if (escucha) {
        asio::error_code ignorado;
        escucha->close(ignorado);
        escucha.reset();
    }
    pausa.cancel();
    puerto = 0;
    std::vector<std::shared_ptr<ConexionMCP>> abiertas;
    for (const auto& [clave, conexion] : conexiones) abiertas.push_back(conexion);
    for (const auto& conexion : abiertas) conexion->cerrar();
}

// Accepts by hand rather than through Asio, whose accept hands out
// descriptors without close-on-exec: a child started at that moment would
// inherit the connection.
void MotorMCP::aceptar() {
    if (!escucha) return;
    escucha->async_wait(asio::ip::tcp::acceptor::wait_read, [this, actual = generacion](const asio::error_code& error) {
        if (actual != generacion || !escucha) return;
        if (error) return aceptarLuego();
        for (int i = 0; i < aceptadasPorVuelta; ++i) {
            const int d = ::accept4(escucha->native_handle(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (d >= 0) {
                adoptar(d);
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            return aceptarLuego();  // out of descriptors or memory: do not spin
        }
        aceptar();
    });
}

void MotorMCP::aceptarLuego() {
    pausa.expires_after(std::chrono::milliseconds(100));
    pausa.async_wait([this, actual = generacion](const asio::error_code& error) {
        if (!error && actual == generacion) aceptar();
    });
}

void MotorMCP::adoptar(int descriptor) {
    // The cap keeps stuck clients from using up the application's
    // descriptors; a new client still gets in by taking the place of one
    // that is idle, so that slow or stuck clients cannot lock the others out.
    // A connection that has answered and only waits for its client to close
    // takes no place: under load many of them linger for an instant, and
    // counting them closed requests that had just arrived. They have a
    // bound of their own, and each goes within `escurrir` anyway.
    if (escurriendo >= limites.conexiones) cerrarEscurrida();
    if (conexiones.size() - escurriendo >= limites.conexiones && !liberarPlaza()) {
        ::close(descriptor);
        return;
    }
    auto conexion = std::make_shared<ConexionMCP>(*this, descriptor);
    conexiones.emplace(conexion.get(), conexion);
    conexion->empezar();
}

}  // namespace detalle

ServidorMCP::ServidorMCP(LimitesServidorMCP limites, const FuenteAzar& azar) {
    auto token = tokenMCP(azar);
    motor_ = std::make_shared<detalle::MotorMCP>(limites, token ? *token : std::string());
}

ServidorMCP::~ServidorMCP() {
    parar();
    motor_->contexto.stop();
    if (hilo_.joinable()) hilo_.join();
    motor_->piscina.stop();
    motor_->piscina.join();
}

const std::string& ServidorMCP::token() const { return motor_->token; }
std::uint16_t ServidorMCP::puerto() const { return motor_->puerto; }
void ServidorMCP::ponerEjecutar(ManejadorHerramienta ejecutar) { motor_->ejecutar = std::move(ejecutar); }
void ServidorMCP::ponerAlInicializar(ManejadorCliente alInicializar) {
    motor_->alInicializar = std::move(alInicializar);
}
void ServidorMCP::ponerInstrucciones(std::string instrucciones) { motor_->instrucciones = std::move(instrucciones); }
const std::string& ServidorMCP::instrucciones() const { return motor_->instrucciones; }
std::size_t ServidorMCP::retenidos() const { return motor_->retenidos; }
std::size_t ServidorMCP::maximoRetenido() const { return motor_->maximoRetenido; }

Hecho ServidorMCP::arrancar(std::optional<std::uint16_t> puerto) {
    if (motor_->token.empty()) return Fallo{std::string(detalle::noSeAbre), "azar"};
    if (!hilo_.joinable()) {
        hilo_ = std::thread([m = motor_.get()] {
            pthread_setname_np(pthread_self(), "tarvel.mcp");
            m->contexto.run();
        });
    }
    if (puerto && *puerto != 0) {
        auto primero = escuchar(*puerto);
        if (!primero) return primero.fallo();
        if (*primero) return hecho();
    }
    auto cualquiera = escuchar(0);
    if (!cualquiera) return cualquiera.fallo();
    if (*cualquiera) return hecho();
    return Fallo{std::string(detalle::noSeAbre), "mcp"};
}

// One listener attempt: false when the port cannot be had, a failure when no
// socket can be made at all.
Resultado<bool> ServidorMCP::escuchar(std::uint16_t puerto) {
    const int d = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (d < 0) return Fallo{std::string(detalle::noSeAbre), "mcp"};
    asio::ip::tcp::acceptor escucha(motor_->contexto);
    asio::error_code error;
    escucha.assign(asio::ip::tcp::v4(), d, error);
    if (error) {
        ::close(d);
        return Fallo{std::string(detalle::noSeAbre), "mcp"};
    }
    // SO_REUSEADDR only, so that a restart gets its port back at once.
    // Never SO_REUSEPORT: a second instance would then bind the same port
    // and receive part of the calls instead of moving to another port.
    escucha.set_option(asio::socket_base::reuse_address(true), error);
    if (!error) escucha.bind({asio::ip::address_v4::loopback(), puerto}, error);
    if (!error) escucha.listen(asio::socket_base::max_listen_connections, error);
    const std::uint16_t elegido = error ? 0 : escucha.local_endpoint(error).port();
    if (error) return false;

    // The listener changes hands on the I/O thread, which owns it from then
    // on. Whoever comes first, the I/O thread or the time-out, decides.
    enum : int { pendiente, instalada, abandonada };
    auto decision = std::make_shared<std::atomic<int>>(pendiente);
    auto hecha = std::make_shared<std::promise<void>>();
    auto futuro = hecha->get_future();
    auto nueva = std::make_shared<asio::ip::tcp::acceptor>(std::move(escucha));
    asio::post(motor_->contexto, [m = motor_.get(), decision, hecha, nueva, elegido] {
        int esperado = pendiente;
        if (decision->compare_exchange_strong(esperado, instalada)) m->instalar(std::move(*nueva), elegido);
        hecha->set_value();
    });
    if (futuro.wait_for(detalle::esperaPorIntento) != std::future_status::ready) {
        int esperado = pendiente;
        if (decision->compare_exchange_strong(esperado, abandonada)) return false;
    }
    futuro.wait();
    return true;
}

void ServidorMCP::parar() {
    if (!hilo_.joinable()) return;
    std::promise<void> hecha;
    auto futuro = hecha.get_future();
    asio::post(motor_->contexto, [m = motor_.get(), &hecha] {
        m->cerrarTodo();
        hecha.set_value();
    });
    futuro.wait();
}

}  // namespace sorvenia
