#pragma once
// A stand-in HTTP/1.1 server on 127.0.0.1 for tests: one request per
// connection, answered by a function the test sets, every request recorded.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sorvenia::prueba {

struct PeticionHTTP {
    std::string metodo;
    std::string ruta;
    std::map<std::string, std::string> cabeceras;  // names in lower case
    std::string cuerpo;
};

class ServidorHTTPPrueba {
public:
    // Given a request, the raw bytes to send back (status line and all).
    using Respondedor = std::function<std::string(const PeticionHTTP&)>;

    explicit ServidorHTTPPrueba(Respondedor respondedor);
    ~ServidorHTTPPrueba();
    ServidorHTTPPrueba(const ServidorHTTPPrueba&) = delete;
    ServidorHTTPPrueba& operator=(const ServidorHTTPPrueba&) = delete;

    std::uint16_t puerto() const { return puerto_; }
    std::vector<PeticionHTTP> peticiones() const;

    // Answers wait this long after their request was read (a change applies
    // to a wait under way too); the wait ends early when the client hangs up
    // (nothing is sent then) or the server is destroyed.
    void retrasar(std::chrono::milliseconds retraso) { retraso_ = retraso; }

    // Answers go out with their headers at once and their body one byte at
    // a time, this long apart (zero: at once), like a server that drips its
    // answer; the client hanging up ends it.
    void gotear(std::chrono::milliseconds entreBytes) { goteo_ = entreBytes; }

    // A well-formed answer with the given status and body.
    static std::string respuesta(int status, const std::string& cuerpo = "",
                                 const std::string& tipo = "application/json");

private:
    void servir();
    void atender(int conexion);
    bool esperarRetraso(int conexion) const;
    void enviarGoteando(int conexion, const std::string& datos) const;

    Respondedor respondedor_;
    int escucha_ = -1;
    std::uint16_t puerto_ = 0;
    std::atomic<bool> parar_{false};
    std::atomic<std::chrono::milliseconds> retraso_{std::chrono::milliseconds(0)};
    std::atomic<std::chrono::milliseconds> goteo_{std::chrono::milliseconds(0)};
    mutable std::mutex mutex_;
    std::vector<PeticionHTTP> peticiones_;
    std::thread hilo_;
};

}  // namespace sorvenia::prueba
