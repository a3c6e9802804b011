// Request framing of the local MCP endpoint, over raw bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <variant>
#include <vector>

#include "centro/marco_http.h"

namespace sorvenia {
namespace {

// Feeds the bytes in chunks of the given sizes (the rest in one chunk) and
// gives every answer of the reader.
std::vector<EstadoLectura> leerEnTrozos(const std::string& bytes, std::vector<std::size_t> tamanos) {
    LectorPeticion lector;
    std::vector<EstadoLectura> estados;
    std::size_t desde = 0;
    for (std::size_t n : tamanos) {
        if (desde >= bytes.size()) break;
        estados.push_back(lector.agregar(std::string_view(bytes).substr(desde, n)));
        desde += n;
        if (!std::holds_alternative<Incompleta>(estados.back())) return estados;
    }
    if (desde < bytes.size()) estados.push_back(lector.agregar(std::string_view(bytes).substr(desde)));
    return estados;
}

EstadoLectura leerDeUnaVez(const std::string& bytes) { return LectorPeticion().agregar(bytes); }

struct CasoMarco {
    const char* nombre;
    std::string bytes;
    std::optional<std::string> cuerpo;  // nothing: not complete
};

TEST(MarcoHTTP, LongitudYCuerpo) {
    const std::string linea = "POST /mcp/t HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    const std::vector<CasoMarco> casos = {
        {"sin Content-Length el cuerpo es vacío", linea + "\r\n{\"a\":1}", ""},
        {"nombre en minúsculas", linea + "content-length: 3\r\n\r\nabcdef", "abc"},
        {"sin espacio tras los dos puntos", linea + "Content-Length:3\r\n\r\nabc", "abc"},
        {"espacios y tabuladores alrededor", linea + "Content-Length: \t 3  \t\r\n\r\nabc", "abc"},
        {"espacio duro de Unicode alrededor", linea + "Content-Length:\xC2\xA0" "3\xE3\x80\x80\r\n\r\nabc", "abc"},
        {"signo más", linea + "Content-Length: +3\r\n\r\nabc", "abc"},
        {"valor que no es número vale 0", linea + "Content-Length: tres\r\n\r\nabc", ""},
        {"cifras con letras vale 0", linea + "Content-Length: 3x\r\n\r\nabc", ""},
        {"desbordamiento vale 0", linea + "Content-Length: 99999999999999999999\r\n\r\nabc", ""},
        {"el primer Content-Length manda", linea + "Content-Length: 2\r\nContent-Length: 5\r\n\r\nabcde", "ab"},
        {"espacio antes de los dos puntos no cuenta", linea + "Content-Length : 3\r\n\r\nabc", ""},
        {"piezas vacías entre dos puntos se saltan", linea + "Content-Length::3\r\n\r\nabc", "abc"},
        {"cuerpo más corto: incompleta", linea + "Content-Length: 10\r\n\r\nabc", std::nullopt},
        {"sin línea en blanco: incompleta", linea + "Content-Length: 0\r\n", std::nullopt},
        {"petición encadenada detrás: sólo la primera",
         linea + "Content-Length: 2\r\n\r\n{}POST /mcp/t HTTP/1.1\r\nContent-Length: 2\r\n\r\n[]", "{}"},
        {"basura encadenada", linea + "Content-Length: 4\r\n\r\nnull\r\n\r\n\x01\x02\xFF", "null"},
    };
    for (const auto& c : casos) {
        const auto estado = leerDeUnaVez(c.bytes);
        const auto regla = peticionCompleta(c.bytes);
        if (!c.cuerpo) {
            EXPECT_TRUE(std::holds_alternative<Incompleta>(estado)) << c.nombre;
            EXPECT_FALSE(regla) << c.nombre;
            continue;
        }
        const auto* completa = std::get_if<PeticionCompleta>(&estado);
        ASSERT_NE(completa, nullptr) << c.nombre;
        EXPECT_EQ(completa->cuerpo, *c.cuerpo) << c.nombre;
        EXPECT_EQ(completa->cabecera, c.bytes.substr(0, c.bytes.find("\r\n\r\n"))) << c.nombre;
        ASSERT_TRUE(regla) << c.nombre;
        EXPECT_EQ(*regla, *completa) << c.nombre;
    }
}

TEST(MarcoHTTP, LongitudNegativaSeRechazaSinLeerCuerpo) {
    for (const char* valor : {"-1", "-9223372036854775808"}) {
        const std::string bytes = std::string("POST / HTTP/1.1\r\nContent-Length: ") + valor + "\r\n\r\nabc";
        EXPECT_EQ(leerDeUnaVez(bytes), EstadoLectura(Rechazada{estadoMalFormada})) << valor;
        EXPECT_FALSE(peticionCompleta(bytes)) << valor;
    }
    EXPECT_EQ(longitudDeclarada("POST / HTTP/1.1\r\nContent-Length: -0"), 0);
}

TEST(MarcoHTTP, CabeceraInvalidaEnUtf8SeRepara) {
    const auto estado = leerDeUnaVez("POST / HTTP/1.1\r\nX: \xFF\xFE\r\nContent-Length: 1\r\n\r\nz");
    const auto* completa = std::get_if<PeticionCompleta>(&estado);
    ASSERT_NE(completa, nullptr);
    EXPECT_EQ(completa->cabecera, "POST / HTTP/1.1\r\nX: \xEF\xBF\xBD\xEF\xBF\xBD\r\nContent-Length: 1");
    EXPECT_EQ(completa->cuerpo, "z");
}

// The same request cut into receives of every kind answers once, after its
// last body byte, with what one receive of it gives.
TEST(MarcoHTTP, LecturasPartidas) {
    const std::string bytes = "POST /mcp/t HTTP/1.1\r\nContent-Length: 7\r\n\r\n{\"a\":1}";
    const std::size_t finCabecera = bytes.find("\r\n\r\n");
    const std::vector<std::vector<std::size_t>> partidas = {
        std::vector<std::size_t>(bytes.size(), 1),  // byte by byte
        {finCabecera + 1, 2, 1},                      // the blank line across three receives
        {finCabecera + 2, 2},                         // CR LF | CR LF
        {finCabecera + 4},                            // headers first, body later
        {finCabecera + 4, 3},                         // body in two chunks
    };
    for (const auto& tamanos : partidas) {
        const auto estados = leerEnTrozos(bytes, tamanos);
        ASSERT_FALSE(estados.empty());
        for (std::size_t i = 0; i + 1 < estados.size(); ++i)
            EXPECT_TRUE(std::holds_alternative<Incompleta>(estados[i])) << "answered before the last byte";
        EXPECT_EQ(estados.back(), leerDeUnaVez(bytes));
    }
    EXPECT_EQ(std::get<PeticionCompleta>(leerDeUnaVez(bytes)).cuerpo, "{\"a\":1}");
}

TEST(MarcoHTTP, LimiteDeTamano) {
    const auto peticionDe = [](std::size_t total) {
        std::string cabecera = "POST /mcp/t HTTP/1.1\r\nContent-Length: ";
        const std::size_t fijo = cabecera.size() + 8 + 4;  // eight digits, then the blank line
        const std::string cifras = std::to_string(total - fijo);
        EXPECT_EQ(cifras.size(), 8u);
        cabecera += cifras + "\r\n\r\n";
        return cabecera + std::string(total - cabecera.size(), 'x');
    };
    // Exactly at the limit: accepted, whether it comes in one receive or many.
    const std::string justa = peticionDe(limitePeticion);
    ASSERT_EQ(justa.size(), limitePeticion);
    EXPECT_TRUE(std::holds_alternative<PeticionCompleta>(leerDeUnaVez(justa)));
    EXPECT_TRUE(std::holds_alternative<PeticionCompleta>(leerEnTrozos(justa, std::vector<std::size_t>(17, 1 << 20)).back()));

    // One byte more: refused as soon as the header declares it, before the body.
    const std::string larga = peticionDe(limitePeticion + 1);
    const auto cabecera = larga.substr(0, larga.find("\r\n\r\n") + 4);
    EXPECT_EQ(LectorPeticion().agregar(cabecera), EstadoLectura(Rechazada{estadoDemasiadoGrande}));
    EXPECT_EQ(leerDeUnaVez(larga), EstadoLectura(Rechazada{estadoDemasiadoGrande}));

    // No blank line at all: refused once the bytes pass the limit.
    const std::string sinFin(limitePeticion, 'a');
    LectorPeticion lector;
    EXPECT_EQ(lector.agregar(sinFin), EstadoLectura(Incompleta{}));
    EXPECT_EQ(lector.agregar("a"), EstadoLectura(Rechazada{estadoDemasiadoGrande}));

    // A small request with more than the limit behind it in one receive: the
    // size counts first.
    const std::string pequena = "POST / HTTP/1.1\r\n\r\n";
    EXPECT_EQ(leerDeUnaVez(pequena + std::string(limitePeticion, 'z')), EstadoLectura(Rechazada{estadoDemasiadoGrande}));
}

// What the server counts for a connection is the buffer's capacity: it is
// known before each receive is added, grows by doubling, and never goes past
// the request limit, whatever the receive sizes.
TEST(MarcoHTTP, CapacidadPrevistaYAcotada) {
    const std::string cabecera = "POST /mcp/t HTTP/1.1\r\nContent-Length: 16000000\r\n\r\n";
    for (std::size_t trozo : {std::size_t{1000}, std::size_t{65536}, std::size_t{3'000'001}}) {
        LectorPeticion lector;
        EXPECT_EQ(lector.capacidad(), 0u);
        EXPECT_EQ(lector.agregar(cabecera), EstadoLectura(Incompleta{}));
        std::size_t recibidos = cabecera.size();
        EstadoLectura estado = Incompleta{};
        while (std::holds_alternative<Incompleta>(estado)) {
            const std::size_t n = std::min(trozo, cabecera.size() + 16'000'000 - recibidos);
            const std::size_t prevista = lector.capacidadTras(n);
            estado = lector.agregar(std::string(n, 'x'));
            recibidos += n;
            if (!std::holds_alternative<Incompleta>(estado)) break;
            ASSERT_EQ(lector.capacidad(), prevista) << trozo;
            ASSERT_LE(lector.capacidad(), limitePeticion) << trozo;
        }
        EXPECT_TRUE(std::holds_alternative<PeticionCompleta>(estado)) << trozo;
    }
    // A receive that would pass the limit is neither stored nor counted.
    LectorPeticion lleno;
    EXPECT_EQ(lleno.agregar(std::string(limitePeticion - 10, 'a')), EstadoLectura(Incompleta{}));
    const std::size_t antes = lleno.capacidad();
    EXPECT_EQ(lleno.capacidadTras(11), antes);
    EXPECT_EQ(lleno.agregar(std::string(11, 'a')), EstadoLectura(Rechazada{estadoDemasiadoGrande}));
    EXPECT_EQ(lleno.capacidad(), antes);
}

TEST(MarcoHTTP, Cabeceras) {
    const auto h = cabeceras(
        "POST /mcp/t HTTP/1.1\r\n"
        "Host  : LOCALHOST:39847\r\n"
        "linea sin dos puntos\r\n"
        "\r\n"
        "X-Uno:\t valor con: dos puntos \r\n"
        "x-uno: otro\r\n"
        "Origin:\r\n"
        "Vacia\xC2\xA0: a");
    const std::map<std::string, std::string> esperadas = {
        {"host", "LOCALHOST:39847"}, {"x-uno", "otro"}, {"origin", ""}, {"vacia", "a"}};
    EXPECT_EQ(h, esperadas);
    EXPECT_TRUE(cabeceras("Host: 127.0.0.1").empty());  // only a request line
    EXPECT_TRUE(cabeceras("").empty());
}

TEST(MarcoHTTP, RespuestaConTresCabecerasExactas) {
    EXPECT_EQ(respuestaHTTP(estadoDemasiadoGrande, ""),
              "HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\nContent-Length: 0\r\n"
              "Connection: close\r\n\r\n");
    // The length counts bytes, not characters.
    EXPECT_EQ(respuestaHTTP("200 OK", "{\"a\":\"ñ\"}"),
              "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 10\r\nConnection: close\r\n\r\n"
              "{\"a\":\"ñ\"}");
}

}  // namespace
}  // namespace sorvenia
