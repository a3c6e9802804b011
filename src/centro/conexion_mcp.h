#pragma once
// One accepted connection of ServidorMCP: reads one request, answers it
// (through the workers when a handler must run), writes the one response
// and closes. Lives in the server's table of connections until it closes.

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include <sys/types.h>

#include "centro/marco_http.h"
#include "centro/respuesta_mcp.h"

namespace sorvenia::detalle {

struct MotorMCP;

class ConexionMCP : public std::enable_shared_from_this<ConexionMCP> {
public:
    using Reloj = std::chrono::steady_clock;

    // Takes the accepted non-blocking descriptor.
    ConexionMCP(MotorMCP& motor, int descriptor);
    ~ConexionMCP();
    ConexionMCP(const ConexionMCP&) = delete;
    ConexionMCP& operator=(const ConexionMCP&) = delete;

    void empezar();  // on the I/O thread, once
    void cerrar();   // on the I/O thread; no answer is sent

    // On the I/O thread, once per connection, instead of enviar.
    void responderYa(const RespuestaEndpoint& respuesta);
    // From any thread, once per connection.
    void enviar(const RespuestaEndpoint& respuesta);
    void abandonar();  // close without an answer

    // On the I/O thread: what the server weighs when it must close someone
    // to make room.
    bool leyendo() const { return fase_ == Fase::leyendo; }
    bool escurriendo() const { return fase_ == Fase::escurriendo; }
    Reloj::time_point ultimaActividad() const { return ultimaActividad_; }
    Reloj::time_point plazo() const { return plazo_; }
    std::size_t retenidos() const { return lector_.capacidad(); }
    // Bytes received per second since the connection was accepted.
    double ritmo(Reloj::time_point ahora) const;
    // Gives up its read buffer and answers "503 Service Unavailable".
    void cederMemoria();

private:
    enum class Fase { leyendo, respondiendo, escribiendo, escurriendo, cerrada };

    // Into the I/O thread's poll set, once it must wait; false when it
    // cannot be.
    bool registrar();
    std::optional<ssize_t> recibir();
    void leer();
    void alPoderLeer(const asio::error_code& espera);
    void recibido(std::size_t cuantos);
    void escribir(std::shared_ptr<const std::string> bytes);
    void alEscribir(const asio::error_code& error);
    void escurrir();
    void soltarLector();  // frees the read buffer and its count
    void vigilar();
    Reloj::time_point limite() const;
    void plazoDesdeAhora(std::chrono::milliseconds duracion);

    MotorMCP& motor_;
    const int descriptor_;
    asio::ip::tcp::socket socket_;  // takes the descriptor once waited on
    asio::steady_timer reloj_;
    const Reloj::time_point aceptada_ = Reloj::now();
    Reloj::time_point ultimaActividad_ = aceptada_;
    Reloj::time_point plazo_;
    std::size_t recibidos_ = 0;
    LectorPeticion lector_;
    Fase fase_ = Fase::leyendo;
    bool leida_ = false;     // the whole request came in
    bool vigilada_ = false;  // the timer was armed
};

}  // namespace sorvenia::detalle
