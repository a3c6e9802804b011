#include "centro/conexion_mcp.h"

#include <asio/post.hpp>
#include <asio/write.hpp>

#include <variant>

#include "centro/motor_mcp.h"

namespace sorvenia::detalle {
namespace {

constexpr std::size_t tamanoTrozo = 64 * 1024;

}  // namespace

ConexionMCP::ConexionMCP(MotorMCP& motor, asio::ip::tcp::socket socket)
    : motor_(motor), socket_(std::move(socket)), reloj_(motor.contexto), trozo_(tamanoTrozo) {}

void ConexionMCP::empezar() {
    plazoDesdeAhora(motor_.limites.inactividad);
    vigilar();
    leer();
}

void ConexionMCP::plazoDesdeAhora(std::chrono::milliseconds duracion) {
    plazo_ = std::chrono::steady_clock::now() + duracion;
}

// One timer per connection watches the deadline of the current phase.
// Arming it again cancels the wait in progress, so at most one chain runs.
void ConexionMCP::vigilar() {
    reloj_.expires_at(plazo_);
    reloj_.async_wait([self = shared_from_this()](const asio::error_code& error) {
        if (error || self->fase_ == Fase::cerrada) return;
        // A tool call is waited for without a time limit.
        if (self->fase_ == Fase::respondiendo) return;
        if (std::chrono::steady_clock::now() >= self->plazo_) self->cerrar();
        else self->vigilar();  // bytes came meanwhile and moved the deadline
    });
}

void ConexionMCP::leer() {
    socket_.async_read_some(asio::buffer(trozo_), [self = shared_from_this()](const asio::error_code& error,
                                                                             std::size_t cuantos) {
        self->alLeer(error, cuantos);
    });
}

void ConexionMCP::alLeer(const asio::error_code& error, std::size_t cuantos) {
    if (fase_ != Fase::leyendo) return;
    if (cuantos > 0) {
        plazoDesdeAhora(motor_.limites.inactividad);
        auto estado = lector_.agregar(std::string_view(trozo_.data(), cuantos));
        // Up to 16 MiB: not kept while a tool call takes its time.
        if (!std::holds_alternative<Incompleta>(estado)) lector_ = LectorPeticion();
        if (auto* peticion = std::get_if<PeticionCompleta>(&estado)) {
            // Reading stops here: bytes after the request are never looked at.
            fase_ = Fase::respondiendo;
            responder(motor_, shared_from_this(), std::move(*peticion));
            return;
        }
        if (const auto* rechazo = std::get_if<Rechazada>(&estado)) {
            escribir(std::make_shared<const std::string>(respuestaHTTP(rechazo->estado, "")));
            return;
        }
    }
    // The peer stopped sending, or failed, before its request was complete:
    // nothing to answer.
    if (error) return cerrar();
    leer();
}

void ConexionMCP::enviar(const RespuestaHTTP& respuesta) {
    auto bytes = std::make_shared<const std::string>(respuestaHTTP(respuesta.estado, respuesta.cuerpo));
    asio::post(socket_.get_executor(), [self = shared_from_this(), bytes] { self->escribir(bytes); });
}

void ConexionMCP::abandonar() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->cerrar(); });
}

void ConexionMCP::escribir(std::shared_ptr<const std::string> bytes) {
    if (fase_ == Fase::cerrada || fase_ == Fase::escribiendo || fase_ == Fase::escurriendo) return;
    fase_ = Fase::escribiendo;
    plazoDesdeAhora(motor_.limites.inactividad);
    vigilar();
    asio::async_write(socket_, asio::buffer(*bytes),
                      [self = shared_from_this(), bytes](const asio::error_code& error, std::size_t) {
                          self->alEscribir(error);
                      });
}

// Closing a socket that still holds unread input resets the connection, and
// the peer may then lose the response it has not read yet (a client still
// sending a body too large to take is the usual case). So: end our side,
// read and throw away what still comes, and close at its end or after a
// short while.
void ConexionMCP::alEscribir(const asio::error_code& error) {
    if (fase_ != Fase::escribiendo) return;
    if (error) return cerrar();
    asio::error_code ignorado;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignorado);
    fase_ = Fase::escurriendo;
    plazoDesdeAhora(motor_.limites.escurrir);
    vigilar();
    escurrir();
}

void ConexionMCP::escurrir() {
    socket_.async_read_some(asio::buffer(trozo_), [self = shared_from_this()](const asio::error_code& error,
                                                                             std::size_t) {
        if (self->fase_ != Fase::escurriendo) return;
        if (error) return self->cerrar();
        self->escurrir();
    });
}

void ConexionMCP::cerrar() {
    if (fase_ == Fase::cerrada) return;
    fase_ = Fase::cerrada;
    asio::error_code ignorado;
    socket_.close(ignorado);
    reloj_.cancel();
    motor_.conexiones.erase(this);  // may free this object: nothing after it
}

}  // namespace sorvenia::detalle
