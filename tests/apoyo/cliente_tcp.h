#pragma once
// A blocking TCP client for tests of the local MCP server: raw bytes in,
// raw bytes out, with time limits so that a wrong server fails the test
// instead of hanging it.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "puertos_prueba.h"

namespace sorvenia::prueba {

class ClienteTCP {
public:
    explicit ClienteTCP(std::uint16_t puerto);  // connects to 127.0.0.1
    ~ClienteTCP();
    ClienteTCP(const ClienteTCP&) = delete;
    ClienteTCP& operator=(const ClienteTCP&) = delete;

    bool conectado() const { return fd_ >= 0; }
    // Sends every byte; false once the connection refuses more.
    bool enviar(std::string_view bytes);
    void cerrarEscritura();

    struct Lectura {
        std::string bytes;
        bool fin = false;  // the server closed (end of stream or reset)
    };
    // Reads until the server closes or the time is up.
    Lectura leerHastaCierre(std::chrono::milliseconds limite = std::chrono::seconds(10));

private:
    int fd_ = -1;
};

// A request line, the given header lines and Content-Length, then the body.
std::string peticionHTTP(const std::string& metodo, const std::string& ruta, const std::string& cuerpo,
                         const std::vector<std::string>& cabeceras = {"Host: 127.0.0.1"});

// Sends the request on a new connection and gives everything that comes back.
std::string preguntar(std::uint16_t puerto, const std::string& peticion);

}  // namespace sorvenia::prueba
