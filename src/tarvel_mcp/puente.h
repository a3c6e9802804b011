#pragma once
// The bridge's handling of one line of standard input, apart from the HTTP
// transport so that it can be tested and fuzzed on its own.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "comun/conexion_tarvel.h"

namespace sorvenia::puente {

// What one forward to the application's server gave: the body to write
// (possibly empty) or nothing, and the HTTP status (0 when no HTTP answer
// came at all).
struct Reenvio {
    std::optional<std::string> cuerpo;
    long codigo = 0;
};

using Reenviador = std::function<Reenvio(std::string_view mensaje)>;

// Handles one input line (line feed and a carriage return before it already
// removed). Returns the bytes to write, ending in a line feed, or nothing.
std::optional<std::string> atender(std::string_view linea, const Reenviador& reenviar);

// The server's endpoint path for a connection ("/mcp/<token>"), or nothing
// when the token cannot be a URL path segment.
std::optional<std::string> rutaDe(const ConexionTarvel::Conexion& conexion);


// The largest answer body taken from the application; a longer one is cut
// off while it arrives.
inline constexpr std::size_t limiteRespuesta = 64 * 1024 * 1024;

// Turns a forward's HTTP outcome into what the bridge writes: 200 gives the
// body on one line, 202 an empty body, anything else nothing. A 200 body
// that is not one JSON value, or is larger than limiteRespuesta, did not
// come from the application: it counts as no HTTP answer at all (status 0).
Reenvio resultadoHTTP(long codigo, std::string cuerpo);

}  // namespace sorvenia::puente
