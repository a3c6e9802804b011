// The bridge's reader of the application's answers, fed whole and one byte
// at a time: the cut between receives must never change the outcome.
#include <gtest/gtest.h>

#include <string>

#include "tarvel_mcp/respuesta_local.h"

namespace sorvenia::puente {
namespace {

using Estado = LectorRespuesta::Estado;

struct Leido {
    Estado estado;
    long codigo = 0;
    std::string cuerpo;
};

// Feeds `bytes` in pieces of `paso`; with `cerrar`, the connection then ends.
Leido leer(const std::string& bytes, std::size_t paso, bool cerrar, std::size_t limite = 1024) {
    LectorRespuesta lector(limite);
    Estado estado = Estado::incompleta;
    for (std::size_t i = 0; i < bytes.size() && estado == Estado::incompleta; i += paso)
        estado = lector.agregar(std::string_view(bytes).substr(i, paso));
    if (estado == Estado::incompleta && cerrar) estado = lector.terminar();
    if (estado != Estado::completa) return {estado, 0, {}};
    return {estado, lector.codigo(), lector.cuerpo()};
}

TEST(RespuestaLocal, CasosEnterosYByteAByte) {
    const struct {
        const char* nombre;
        std::string bytes;
        bool cerrar;
        Estado estado;
        long codigo;
        std::string cuerpo;
    } casos[] = {
        {"con longitud", "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n{\"a\":1}", false, Estado::completa, 200, "{\"a\":1}"},
        {"lo que sigue a la longitud no cuenta", "HTTP/1.1 200 OK\r\ncontent-length: 2\r\n\r\nabcdef", false,
         Estado::completa, 200, "ab"},
        {"sin longitud, hasta el cierre", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nhola\r\n\r\nmundo", true,
         Estado::completa, 200, "hola\r\n\r\nmundo"},
        {"sin longitud y sin cierre todavía", "HTTP/1.1 200 OK\r\n\r\nhola", false, Estado::incompleta, 0, ""},
        {"rechazo sin cuerpo", "HTTP/1.1 413 Payload Too Large\r\nContent-Length: 0\r\n\r\n", false, Estado::completa,
         413, ""},
        {"204 nunca lleva cuerpo", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n", false, Estado::completa, 204,
         ""},
        {"HTTP/1.0 sin frase", "HTTP/1.0 202\r\n\r\n", true, Estado::completa, 202, ""},
        {"cortada antes de la longitud", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", true, Estado::invalida, 0,
         ""},
        {"cortada en la cabecera", "HTTP/1.1 200 OK\r\nContent-Le", true, Estado::invalida, 0, ""},
        {"nada", "", true, Estado::invalida, 0, ""},
        {"no es HTTP", "esto no es HTTP\r\n\r\n", true, Estado::invalida, 0, ""},
        {"estado de dos cifras", "HTTP/1.1 20 OK\r\n\r\n", true, Estado::invalida, 0, ""},
        {"respuesta provisional", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\n", true, Estado::invalida, 0, ""},
        {"troceada", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n", true,
         Estado::invalida, 0, ""},
        {"comprimida", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 1\r\n\r\nx", true,
         Estado::invalida, 0, ""},
        {"dos longitudes distintas", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", true,
         Estado::invalida, 0, ""},
        {"longitud con signo", "HTTP/1.1 200 OK\r\nContent-Length: +1\r\n\r\na", true, Estado::invalida, 0, ""},
        {"longitud enorme", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", true,
         Estado::invalida, 0, ""},
        {"línea sin dos puntos", "HTTP/1.1 200 OK\r\nbasura\r\n\r\n", true, Estado::invalida, 0, ""},
        {"línea continuada", "HTTP/1.1 200 OK\r\nX: a\r\n b\r\n\r\n", true, Estado::invalida, 0, ""},
        {"cuerpo declarado sobre el límite", "HTTP/1.1 200 OK\r\nContent-Length: 1025\r\n\r\n", false,
         Estado::invalida, 0, ""},
        {"cuerpo sin longitud sobre el límite", "HTTP/1.1 200 OK\r\n\r\n" + std::string(1025, 'a'), true,
         Estado::invalida, 0, ""},
        {"cuerpo justo en el límite", "HTTP/1.1 200 OK\r\n\r\n" + std::string(1024, 'a'), true, Estado::completa, 200,
         std::string(1024, 'a')},
        {"cabecera sin fin", "HTTP/1.1 200 OK\r\nX: " + std::string(limiteCabeceraRespuesta, 'x'), false,
         Estado::invalida, 0, ""},
    };
    for (const auto& caso : casos) {
        for (std::size_t paso : {caso.bytes.size() + 1, std::size_t{1}, std::size_t{3}}) {
            SCOPED_TRACE(std::string(caso.nombre) + ", de " + std::to_string(paso) + " en " + std::to_string(paso));
            const auto r = leer(caso.bytes, paso, caso.cerrar);
            EXPECT_EQ(r.estado, caso.estado);
            EXPECT_EQ(r.codigo, caso.codigo);
            EXPECT_EQ(r.cuerpo, caso.cuerpo);
        }
    }
}

// A reader fed after its answer is complete refuses: the bridge never reads
// a second answer on one connection.
TEST(RespuestaLocal, NoSeAlimentaTrasCompletar) {
    LectorRespuesta lector(64);
    ASSERT_EQ(lector.agregar("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), Estado::completa);
    EXPECT_EQ(lector.agregar("HTTP/1.1 200 OK\r\n"), Estado::invalida);
}

}  // namespace
}  // namespace sorvenia::puente
