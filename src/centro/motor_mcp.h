#pragma once
// Inside ServidorMCP: the state that its listener, its connections and its
// workers share. The server, its I/O thread and its worker pool keep it
// alive; a tool handler's pending answer only refers to it weakly.

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/thread_pool.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "centro/marco_http.h"
#include "centro/respuesta_mcp.h"
#include "centro/servidor_mcp.h"

namespace sorvenia::detalle {

class ConexionMCP;

struct MotorMCP : std::enable_shared_from_this<MotorMCP> {
    MotorMCP(LimitesServidorMCP l, std::string t);

    // Declared first so that it goes last: every socket and timer below
    // belongs to it.
    asio::io_context contexto;  // run by the one I/O thread
    asio::executor_work_guard<asio::io_context::executor_type> trabajo;
    asio::thread_pool piscina;  // answers complete requests

    const LimitesServidorMCP limites;
    const std::string token;
    std::string instrucciones{instruccionesIniciales};
    ManejadorHerramienta ejecutar;
    ManejadorCliente alInicializar;
    std::atomic<std::uint16_t> puerto{0};
    // Bytes held by the connections' read buffers; written on the I/O thread.
    std::atomic<std::size_t> retenidos{0};
    std::atomic<std::size_t> maximoRetenido{0};

    // Used on the I/O thread only.
    std::optional<asio::ip::tcp::acceptor> escucha;
    std::uint64_t generacion = 0;  // changes whenever the listener is replaced or closed
    asio::steady_timer pausa;      // before accepting again after a failed accept
    std::unordered_map<const ConexionMCP*, std::shared_ptr<ConexionMCP>> conexiones;
    // How many of them have answered and only wait for the client to close.
    std::size_t escurriendo = 0;

    // The one receive buffer: every connection reads into it on the I/O
    // thread and keeps only what its request needs.
    std::vector<char> trozo = std::vector<char>(64 * 1024);

    // A read buffer went from holding `antes` bytes to holding `despues`.
    void contar(std::size_t antes, std::size_t despues);
    // Makes room for `extra` more held bytes for `pide` by having the
    // slowest senders give up theirs; false when `pide` itself is the
    // slowest, or no room can be made.
    bool hacerSitio(std::size_t extra, const ConexionMCP& pide);
    // Closes the connection still reading its request that has been idle
    // the longest, to make room for a new one; false when every connection
    // is busy with a tool call or an answer.
    bool liberarPlaza();
    // Closes the answered connection whose wait for the client is the
    // oldest.
    void cerrarEscurrida();

    void instalar(asio::ip::tcp::acceptor nueva, std::uint16_t puertoNuevo);
    void cerrarTodo();
    void aceptar();
    void aceptarLuego();
    void adoptar(int descriptor);
};

// Requests up to this size, header block and body together, are decided on
// the I/O thread as they complete.
inline constexpr std::size_t peticionDecididaAlLeer = 16 * 1024;

// Answers one complete request, on the I/O thread: ends in exactly one
// response on the connection or in closing it. Tool and initialize
// handlers, and larger requests, go to the pool.
void responder(MotorMCP& motor, std::shared_ptr<ConexionMCP> conexion, PeticionCompleta peticion);

}  // namespace sorvenia::detalle
