#pragma once
// Framing of the local MCP endpoint: when the bytes received on a connection
// hold one complete HTTP/1.1 request, and the bytes of a response. Pure
// functions over bytes; the server feeds them what the socket gives.
//
// One request per connection: the header block up to the first blank line,
// then exactly Content-Length bytes of body (none without the header).
// Chunked bodies are not supported; bytes after the body are never looked at.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sorvenia {

// The largest request accepted, header block and body together: 16 MiB
// plus 64 KiB.
inline constexpr std::size_t limitePeticion = 16'842'752;

inline constexpr std::string_view estadoDemasiadoGrande = "413 Payload Too Large";
inline constexpr std::string_view estadoMalFormada = "400 Bad Request";
// A request given up so that others fit in the server's memory.
inline constexpr std::string_view estadoSinSitio = "503 Service Unavailable";

struct PeticionCompleta {
    std::string cabecera;  // the header block as UTF-8 text, without the blank line
    std::string cuerpo;    // exactly Content-Length bytes
    bool operator==(const PeticionCompleta&) const = default;
};

// More bytes are needed.
struct Incompleta {
    bool operator==(const Incompleta&) const = default;
};

// The request is refused before it is read to its end; answered with this
// status and an empty body.
struct Rechazada {
    std::string_view estado;
    bool operator==(const Rechazada&) const = default;
};

using EstadoLectura = std::variant<Incompleta, PeticionCompleta, Rechazada>;

// The read state of one connection. Feed it what each receive gives until
// it answers something other than Incompleta; after that it must not be fed.
class LectorPeticion {
public:
    EstadoLectura agregar(std::string_view trozo);

    // Whether the blank line ending the header block has arrived.
    bool cabeceraCompleta() const { return finCabecera_.has_value(); }
    // The bytes held now, and the bytes that would be held once `cuantos`
    // more were added: the buffer grows by doubling, never past the limit.
    std::size_t capacidad() const { return acumulado_.capacity(); }
    std::size_t capacidadTras(std::size_t cuantos) const;

private:
    EstadoLectura examinar();
    std::string_view vista() const { return {acumulado_.data(), acumulado_.size()}; }

    std::vector<char> acumulado_;
    std::size_t buscarDesde_ = 0;          // the blank line is not before this offset
    std::optional<std::size_t> finCabecera_;  // offset of the blank line once found
    std::int64_t longitud_ = 0;
};

// The framing rule on its own: the request the bytes begin with, if it is
// complete (whatever its size).
std::optional<PeticionCompleta> peticionCompleta(std::string_view bytes);

// The body length the header block declares: the first line that begins,
// in any case, with "content-length:"; 0 without one or when its value is
// not a signed decimal integer. May be negative.
std::int64_t longitudDeclarada(std::string_view cabecera);

// The header lines after the request line: names trimmed and in lower
// case, values trimmed; lines without ":" are ignored and a later line
// replaces an earlier one of the same name.
std::map<std::string, std::string> cabeceras(std::string_view cabecera);

// How many header lines after the request line carry the name `nombre`
// (given in lower case), by the same reading as cabeceras().
std::size_t vecesCabecera(std::string_view cabecera, std::string_view nombre);

// A whole response: status line, exactly the headers Content-Type,
// Content-Length and Connection: close, then the body.
std::string respuestaHTTP(std::string_view estado, std::string_view cuerpo,
                          std::string_view tipo = "application/json");

}  // namespace sorvenia
