#pragma once
// One accepted connection of ServidorMCP: reads one request, hands it to the
// workers, writes the one response and closes. Lives in the server's table
// of connections until it closes.

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "centro/marco_http.h"
#include "centro/respuesta_mcp.h"

namespace sorvenia::detalle {

struct MotorMCP;

class ConexionMCP : public std::enable_shared_from_this<ConexionMCP> {
public:
    ConexionMCP(MotorMCP& motor, asio::ip::tcp::socket socket);

    void empezar();  // on the I/O thread, once
    void cerrar();   // on the I/O thread; no answer is sent

    // From any thread, once per connection.
    void enviar(const RespuestaHTTP& respuesta);
    void abandonar();  // close without an answer

private:
    enum class Fase { leyendo, respondiendo, escribiendo, escurriendo, cerrada };

    void leer();
    void alLeer(const asio::error_code& error, std::size_t cuantos);
    void escribir(std::shared_ptr<const std::string> bytes);
    void alEscribir(const asio::error_code& error);
    void escurrir();
    void vigilar();
    void plazoDesdeAhora(std::chrono::milliseconds duracion);

    MotorMCP& motor_;
    asio::ip::tcp::socket socket_;
    asio::steady_timer reloj_;
    std::chrono::steady_clock::time_point plazo_;
    LectorPeticion lector_;
    std::vector<char> trozo_;
    Fase fase_ = Fase::leyendo;
};

}  // namespace sorvenia::detalle
