#pragma once
// ServidorMCP: the application's own MCP endpoint, HTTP/1.1 on 127.0.0.1.
// Its clients are the stdio bridge, which posts every line of an outside
// AI client to /mcp/<token>, and the agents the application launches, which
// post to /mcp/<token>/<route key>. One request per connection, one
// response, then the connection closes.
//
// Threads: one I/O thread owns the listener and every connection, so their
// callbacks run one at a time; each complete request is answered on a small
// worker pool, so a slow tool call holds up neither reading nor the answers
// to other connections.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "centro/respuesta_mcp.h"
#include "centro/token_mcp.h"
#include "plataforma/resultado.h"

namespace sorvenia {

namespace detalle {
struct MotorMCP;
}

// What a client that never finishes may hold.
struct LimitesServidorMCP {
    // A request still incomplete after this long without a byte is dropped
    // without an answer; so is a response the client does not take.
    std::chrono::milliseconds inactividad{60'000};
    // A header block still incomplete this long after the connection was
    // accepted is dropped without an answer, however steadily it trickles.
    std::chrono::milliseconds cabecera{10'000};
    // At most this many connections are open besides those already
    // answered. A new one beyond it makes room by closing, without an
    // answer, the connection still reading its request that has been idle
    // the longest; when every one is busy, the new one is closed. Answered
    // connections waiting for their client to close (see `escurrir`) are
    // bounded by this same number on their own: beyond it the oldest is
    // closed.
    std::size_t conexiones = 256;
    // The bytes all connections together may hold of requests they are
    // still reading. A receive that would go past it takes the room from
    // the slowest senders holding bytes (fewest bytes received per second
    // since accepted), which are answered "503 Service Unavailable"; the
    // receiving connection itself may be the slowest.
    std::size_t memoria = 64 * 1024 * 1024;
    // After a response, input the client is still sending is read and
    // thrown away for at most this long before closing, so that closing
    // does not reset the connection under the response.
    std::chrono::milliseconds escurrir{2'000};
};

class ServidorMCP final {
public:
    explicit ServidorMCP(LimitesServidorMCP limites = {}, const FuenteAzar& azar = azarSeguro);
    // Stops, and waits for the I/O thread and the workers to end (so not
    // from inside a handler).
    ~ServidorMCP();
    ServidorMCP(const ServidorMCP&) = delete;
    ServidorMCP& operator=(const ServidorMCP&) = delete;

    // 32 lower-case hexadecimal characters, new for every server. Empty only
    // when no secure random token could be drawn; that server never listens.
    const std::string& token() const;
    // The port listened on: 0 until arrancar succeeds, and after parar.
    std::uint16_t puerto() const;

    // Set these before arrancar; they are read without a lock afterwards.
    // Without a tool handler every tool call is answered "El tarvel no está
    // abierto.".
    void ponerEjecutar(ManejadorHerramienta ejecutar);
    void ponerAlInicializar(ManejadorCliente alInicializar);
    void ponerInstrucciones(std::string instrucciones);
    const std::string& instrucciones() const;

    // Listens on 127.0.0.1 at `puerto` when one is given (not 0), and at a
    // port the system picks when that one cannot be bound. Fails with "No se
    // ha podido abrir el servidor del tarvel." when neither listens. May
    // block for a few seconds: not for the main thread.
    Hecho arrancar(std::optional<std::uint16_t> puerto);

    // The bytes held now for requests being read, by the server's own
    // count (the capacity of every read buffer), and the most it ever held.
    std::size_t retenidos() const;
    std::size_t maximoRetenido() const;

    // Closes the listener and every connection at once; requests still
    // being answered get no answer. Returns once the port is free.
    void parar();

private:
    Resultado<bool> escuchar(std::uint16_t puerto);

    std::shared_ptr<detalle::MotorMCP> motor_;
    std::thread hilo_;
};

}  // namespace sorvenia
