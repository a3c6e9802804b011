#pragma once
// For the photo search tests: real small JPEG and PNG files made with
// gdk-pixbuf, the stand-in providers on 127.0.0.1 (banks, free collections,
// image host, web pages), and a server whose body never ends.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "servidor_http_prueba.h"

namespace sorvenia::prueba {

// An image of w × h pixels of one colour (0xRRGGBB), encoded as "jpeg" or
// "png". A PNG gets a white square in its top half, so that where it is
// cut can be seen.
std::string imagenDe(int w, int h, const std::string& tipo, std::uint32_t color = 0x3366AA);

// A valid PNG whose header declares w × h pixels, with almost no data.
std::string pngQueDeclara(int w, int h);

// One stand-in for every provider: the routes are picked by path; images
// are served at any path ending "/img/<w>x<h>.<jpg|png>" (query ignored). Each route
// answers what the test put in `rutas` (raw HTTP text), else 404.
class Proveedores {
public:
    Proveedores();
    std::string base() const { return "http://127.0.0.1:" + std::to_string(servidor_.puerto()); }
    std::vector<PeticionHTTP> peticiones() const { return servidor_.peticiones(); }
    // The requests whose path (query left out) is `ruta`.
    std::vector<PeticionHTTP> a(const std::string& ruta) const;
    // The query items of a request path, decoded.
    static std::map<std::string, std::string> consulta(const std::string& rutaConConsulta);

    void fijar(const std::string& ruta, std::string respuestaCruda);
    void fijarJson(const std::string& ruta, const nlohmann::json& cuerpo, int status = 200);

private:
    std::string responder(const PeticionHTTP& p);
    mutable std::mutex mutex_;
    std::map<std::string, std::string> rutas_;
    ServidorHTTPPrueba servidor_;
};

// Answers every connection with headers and then bytes without end, until
// the client hangs up; counts what it sent.
class ServidorSinFin {
public:
    explicit ServidorSinFin(std::string tipo = "text/html");
    ~ServidorSinFin();
    ServidorSinFin(const ServidorSinFin&) = delete;
    ServidorSinFin& operator=(const ServidorSinFin&) = delete;
    std::string base() const { return "http://127.0.0.1:" + std::to_string(puerto_); }
    std::uint64_t enviados() const { return enviados_; }

private:
    void servir();
    std::string tipo_;
    int escucha_ = -1;
    std::uint16_t puerto_ = 0;
    std::atomic<bool> parar_{false};
    std::atomic<std::uint64_t> enviados_{0};
    std::vector<std::thread> conexiones_;
    std::mutex mutex_;
    std::thread hilo_;
};

// The peak resident memory of this process so far, in MiB.
long picoMemoriaMiB();

}  // namespace sorvenia::prueba
