#include "centro/conexion_mcp.h"

#include <asio/post.hpp>
#include <asio/write.hpp>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <variant>

#include "centro/motor_mcp.h"

namespace sorvenia::detalle {

ConexionMCP::ConexionMCP(MotorMCP& motor, int descriptor)
    : motor_(motor), descriptor_(descriptor), socket_(motor.contexto), reloj_(motor.contexto) {}

// Reads and writes are done by hand on the non-blocking descriptor, reads
// into the server's one receive buffer: an idle connection holds no buffer
// of its own. A client usually sends its whole request right after
// connecting, and it is usually there already: read, answered and closed
// at once, such a connection never costs a wait, a timer or a place in the
// I/O thread's poll set: those come only when it has to wait.
void ConexionMCP::empezar() {
    plazoDesdeAhora(motor_.limites.inactividad);
    alPoderLeer({});
}

ConexionMCP::~ConexionMCP() {
    // A descriptor never handed to the socket is still this object's.
    if (fase_ != Fase::cerrada && !socket_.is_open()) ::close(descriptor_);
}

bool ConexionMCP::registrar() {
    if (socket_.is_open()) return true;
    asio::error_code error;
    socket_.assign(asio::ip::tcp::v4(), descriptor_, error);
    return !error;
}

void ConexionMCP::plazoDesdeAhora(std::chrono::milliseconds duracion) { plazo_ = Reloj::now() + duracion; }

// While the header block is incomplete, its total time limit counts as well
// as the idle one.
ConexionMCP::Reloj::time_point ConexionMCP::limite() const {
    if (fase_ == Fase::leyendo && !lector_.cabeceraCompleta())
        return std::min(plazo_, aceptada_ + motor_.limites.cabecera);
    return plazo_;
}

double ConexionMCP::ritmo(Reloj::time_point ahora) const {
    const std::chrono::duration<double> edad = std::max<Reloj::duration>(ahora - aceptada_, std::chrono::milliseconds(1));
    return static_cast<double>(recibidos_) / edad.count();
}

// One timer per connection watches the deadline of the current phase.
// Arming it again cancels the wait in progress, so at most one chain runs.
void ConexionMCP::vigilar() {
    vigilada_ = true;
    reloj_.expires_at(limite());
    reloj_.async_wait([self = shared_from_this()](const asio::error_code& error) {
        if (error || self->fase_ == Fase::cerrada) return;
        // A tool call is waited for without a time limit.
        if (self->fase_ == Fase::respondiendo) return;
        if (Reloj::now() >= self->limite()) self->cerrar();
        else self->vigilar();  // bytes came meanwhile and moved the deadline
    });
}

void ConexionMCP::leer() {
    if (!vigilada_) vigilar();
    if (!registrar()) return cerrar();
    socket_.async_wait(asio::socket_base::wait_read,
                       [self = shared_from_this()](const asio::error_code& espera) { self->alPoderLeer(espera); });
}

// What one receive into the server's buffer gave: bytes, 0 at the end of
// the input, -1 on a failure, and nothing when no byte is there yet.
std::optional<ssize_t> ConexionMCP::recibir() {
    for (;;) {
        const ssize_t n = ::recv(descriptor_, motor_.trozo.data(), motor_.trozo.size(), 0);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return std::nullopt;
        return -1;
    }
}

void ConexionMCP::alPoderLeer(const asio::error_code& espera) {
    if (fase_ != Fase::leyendo) return;
    if (espera) return cerrar();
    const auto cuantos = recibir();
    if (!cuantos) return leer();
    // The peer stopped sending, or failed, before its request was complete:
    // nothing to answer.
    if (*cuantos <= 0) return cerrar();
    recibido(static_cast<std::size_t>(*cuantos));
}

void ConexionMCP::recibido(std::size_t cuantos) {
    ultimaActividad_ = Reloj::now();
    recibidos_ += cuantos;
    plazoDesdeAhora(motor_.limites.inactividad);
    const std::size_t antes = lector_.capacidad();
    if (!motor_.hacerSitio(lector_.capacidadTras(cuantos) - antes, *this)) return cederMemoria();
    auto estado = lector_.agregar(std::string_view(motor_.trozo.data(), cuantos));
    motor_.contar(antes, lector_.capacidad());
    // Up to 16 MiB: not kept while a tool call takes its time.
    if (!std::holds_alternative<Incompleta>(estado)) soltarLector();
    if (auto* peticion = std::get_if<PeticionCompleta>(&estado)) {
        // Reading stops here: bytes after the request are never looked at.
        fase_ = Fase::respondiendo;
        leida_ = true;
        responder(motor_, shared_from_this(), std::move(*peticion));
        return;
    }
    if (const auto* rechazo = std::get_if<Rechazada>(&estado))
        return escribir(std::make_shared<const std::string>(respuestaHTTP(rechazo->estado, "")));
    leer();
}

void ConexionMCP::cederMemoria() {
    soltarLector();
    escribir(std::make_shared<const std::string>(respuestaHTTP(estadoSinSitio, "")));
}

void ConexionMCP::responderYa(const RespuestaEndpoint& respuesta) {
    escribir(std::make_shared<const std::string>(respuestaHTTP(respuesta.estado, respuesta.cuerpo)));
}

void ConexionMCP::enviar(const RespuestaEndpoint& respuesta) {
    auto bytes = std::make_shared<const std::string>(respuestaHTTP(respuesta.estado, respuesta.cuerpo));
    asio::post(socket_.get_executor(), [self = shared_from_this(), bytes] { self->escribir(bytes); });
}

void ConexionMCP::abandonar() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->cerrar(); });
}

// Most answers fit in the socket's buffer: written at once, the connection
// counts as answered right away instead of after another turn of the I/O
// thread, which under load lags behind clients already gone.
void ConexionMCP::escribir(std::shared_ptr<const std::string> bytes) {
    if (fase_ == Fase::cerrada || fase_ == Fase::escribiendo || fase_ == Fase::escurriendo) return;
    fase_ = Fase::escribiendo;
    ssize_t n;
    do n = ::send(descriptor_, bytes->data(), bytes->size(), MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return cerrar();
    const auto escritos = static_cast<std::size_t>(std::max<ssize_t>(n, 0));
    if (escritos == bytes->size()) return alEscribir({});
    plazoDesdeAhora(motor_.limites.inactividad);
    vigilar();
    if (!registrar()) return cerrar();
    asio::async_write(socket_, asio::buffer(*bytes) + escritos,
                      [self = shared_from_this(), bytes](const asio::error_code& e, std::size_t) {
                          self->alEscribir(e);
                      });
}

// Closing a socket that still holds unread input resets the connection, and
// the peer may then lose the response it has not read yet (a client still
// sending a body too large to take is the usual case). So: end our side,
// read and throw away what still comes, and close at its end or after a
// short while. A client whose whole request was read and that has sent
// nothing more has nothing left to send: that connection closes at once,
// which sends the response and an orderly end, and frees its place.
void ConexionMCP::alEscribir(const asio::error_code& error) {
    if (fase_ != Fase::escribiendo) return;
    if (error) return cerrar();
    int pendientes = 0;
    if (leida_ && ::ioctl(descriptor_, FIONREAD, &pendientes) == 0 && pendientes == 0) return cerrar();
    ::shutdown(descriptor_, SHUT_WR);
    fase_ = Fase::escurriendo;
    ++motor_.escurriendo;
    plazoDesdeAhora(motor_.limites.escurrir);
    vigilar();
    escurrir();
}

void ConexionMCP::escurrir() {
    if (!registrar()) return cerrar();
    socket_.async_wait(asio::socket_base::wait_read, [self = shared_from_this()](const asio::error_code& espera) {
        if (self->fase_ != Fase::escurriendo) return;
        if (espera) return self->cerrar();
        const auto cuantos = self->recibir();
        if (!cuantos || *cuantos > 0) return self->escurrir();
        self->cerrar();
    });
}

void ConexionMCP::soltarLector() {
    motor_.contar(lector_.capacidad(), 0);
    lector_ = LectorPeticion();
}

void ConexionMCP::cerrar() {
    if (fase_ == Fase::cerrada) return;
    if (fase_ == Fase::escurriendo) --motor_.escurriendo;
    fase_ = Fase::cerrada;
    soltarLector();
    asio::error_code ignorado;
    if (socket_.is_open()) socket_.close(ignorado);
    else ::close(descriptor_);
    reloj_.cancel();
    motor_.conexiones.erase(this);  // may free this object: nothing after it
}

}  // namespace sorvenia::detalle
