#include "plataforma/cabeceras_http.h"

#include <gtest/gtest.h>

#include <vector>

namespace sorvenia {
namespace {

struct CasoLineas {
    const char* nombre;
    std::vector<const char*> lineas;
    CabecerasHTTP esperadas;
};

TEST(LectorCabeceras, GuardaSoloElUltimoBloque) {
    const std::vector<CasoLineas> casos{
        {"simple",
         {"HTTP/1.1 200 OK\r\n", "Content-Type: text/plain\r\n", "X-Vacia:\r\n", "\r\n"},
         {{"Content-Type", "text/plain"}, {"X-Vacia", ""}}},
        {"espacios alrededor del valor",
         {"HTTP/2 200\r\n", "x-a:   uno dos \t\r\n", "\r\n"},
         {{"x-a", "uno dos"}}},
        {"interino 100 descartado",
         {"HTTP/1.1 100 Continue\r\n", "X-Intermedia: 1\r\n", "\r\n", "HTTP/1.1 201 Created\r\n", "X-Final: 2\r\n",
          "\r\n"},
         {{"X-Final", "2"}}},
        {"redireccion descartada",
         {"HTTP/1.1 302 Found\r\n", "Location: /b\r\n", "\r\n", "HTTP/1.1 200 OK\r\n", "X-B: b\r\n", "\r\n"},
         {{"X-B", "b"}}},
        {"continuacion obsoleta",
         {"HTTP/1.1 200 OK\r\n", "X-Larga: uno\r\n", "   dos\r\n", "\ttres\r\n", "\r\n"},
         {{"X-Larga", "uno dos tres"}}},
        {"lineas mal formadas descartadas",
         {"HTTP/1.1 200 OK\r\n", "sin dos puntos\r\n", ": sin nombre\r\n", "Con espacio: no\r\n",
          "X-Control: a\x01" "b\r\n", "X-Bien: si\n", "\r\n"},
         {{"X-Bien", "si"}}},
        {"trailers ignorados",
         {"HTTP/1.1 200 OK\r\n", "X-A: 1\r\n", "\r\n", "X-Trailer: 2\r\n", "\r\n"},
         {{"X-A", "1"}}},
        {"continuacion sin cabecera previa", {"HTTP/1.1 200 OK\r\n", " suelta\r\n", "\r\n"}, {}},
        {"nada antes de la linea de estado", {"X-A: 1\r\n", "\r\n"}, {}},
    };
    for (const auto& caso : casos) {
        LectorCabeceras lector;
        for (const char* l : caso.lineas) lector.linea(l);
        EXPECT_EQ(lector.cabeceras(), caso.esperadas) << caso.nombre;
    }
}

TEST(BuscarCabecera, SinMayusculasYUniendoRepetidas) {
    const CabecerasHTTP cabeceras{{"Content-Type", "text/html"}, {"Vary", "Accept"}, {"vary", "Origin"}};
    EXPECT_EQ(buscarCabecera(cabeceras, "content-type"), "text/html");
    EXPECT_EQ(buscarCabecera(cabeceras, "CONTENT-TYPE"), "text/html");
    EXPECT_EQ(buscarCabecera(cabeceras, "Vary"), "Accept, Origin");
    EXPECT_EQ(buscarCabecera(cabeceras, "Content-Typ"), std::nullopt);
    EXPECT_EQ(buscarCabecera(cabeceras, ""), std::nullopt);
}

}  // namespace
}  // namespace sorvenia
