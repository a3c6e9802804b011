#pragma once
// The live status of one server: the fixed script run on it, and the
// reading of its output (ten sections split by "---" lines) into the
// page's "estado" answer, with CPU use and network rates measured against
// the previous sample of the same server.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::EstadoServidor {

// One line for root's shell on the server: load, cores, /proc/stat, memory,
// disk, network bytes, uptime, top processes, system name, failed services.
extern const std::string ordenRemota;

// The network part of ordenRemota alone: the received and sent bytes of
// every interface but "lo", summed, from the file named (normally
// /proc/net/dev). Interface names of any length are read by the colon
// after them, not by column.
std::string ordenRed(const std::string& fichero);

struct Muestra {
    std::vector<double> cpu;  // the numbers of /proc/stat's first line
    double rx = 0;
    double tx = 0;
    double t = 0;  // seconds, on a clock of the caller's choosing
};

struct Lectura {
    nlohmann::json respuesta;        // what the page's "estado" receives
    std::optional<Muestra> muestra;  // the sample to keep for the next reading
};

// Reads one run's output for `servidor`, taken at `ahora` seconds. Fewer
// than ten sections: {"servidor", "error": "Respuesta rara del servidor."}.
// The new sample is given only when the network section held two numbers.
Lectura leer(std::int64_t servidor, std::string_view salida, const Muestra* anterior, double ahora);

// The numbers of a text: pieces between spaces and line feeds that read
// whole as floating-point numbers, in order.
std::vector<double> numeros(std::string_view texto);

}  // namespace sorvenia::EstadoServidor
