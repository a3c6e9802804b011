#include "cuenta/error_api.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace sorvenia {
namespace {

TEST(ErrorAPI, DeUnaRespuestaDeError) {
    struct Caso {
        int status;
        const char* cuerpo;
        const char* codigo;
        const char* mensaje;
    };
    const char* grande = "El diseño es demasiado grande para guardarlo (más de 4 MB): quita o reduce alguna imagen.";
    const Caso casos[] = {
        {409, R"({"error":{"code":"conflicto","message":"M"}})", "conflicto", "M"},
        {413, "<html>Too large</html>", "demasiado_grande", grande},
        {413, R"({"error":{"code":"limite","message":"Demasiado."}})", "limite", "Demasiado."},
        {503, "", "http_503", "El servidor de Sorvenia no responde bien (503). Se reintentará."},
        {500, R"({"error":"x"})", "http_500", "El servidor de Sorvenia no responde bien (500). Se reintentará."},
        {404, "", "http_404", "El servidor ha contestado 404."},
        {300, "", "http_300", "El servidor ha contestado 300."},
        // JSON but not an error answer: as if it were not JSON.
        {401, R"({"error":{"code":5,"message":"M"}})", "http_401", "El servidor ha contestado 401."},
        {401, R"({"error":{"code":"c"}})", "http_401", "El servidor ha contestado 401."},
        {401, R"({"code":"c","message":"M"})", "http_401", "El servidor ha contestado 401."},
        {401, R"([{"error":{"code":"c","message":"M"}}])", "http_401", "El servidor ha contestado 401."},
        {401, R"({"error":{"code":"clave_invalida","message":"La clave ya no vale.","extra":1}})", "clave_invalida",
         "La clave ya no vale."},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(std::to_string(c.status) + " " + c.cuerpo);
        const ErrorAPI e = errorDe(c.cuerpo, c.status);
        EXPECT_EQ(e.codigo, c.codigo);
        EXPECT_EQ(e.mensaje, c.mensaje);
        EXPECT_EQ(e.status, c.status);
        EXPECT_STREQ(e.what(), c.mensaje);
    }
}

TEST(ErrorAPI, Reintentable) {
    for (int status : {429, 500, 502, 503}) {
        EXPECT_TRUE(reintentable(ErrorAPI("x", "m", status))) << status;
    }
    for (int status : {0, 400, 404, 409, 413, 499}) {
        EXPECT_FALSE(reintentable(ErrorAPI("x", "m", status))) << status;
    }
    EXPECT_TRUE(reintentable(ErrorAPI::respuestaRara()));
    EXPECT_FALSE(reintentable(ErrorAPI::sinClave()));
    EXPECT_TRUE(reintentable(ErrorTransporte(Fallo{"Se ha agotado el tiempo.", "tiempo"})));
    EXPECT_TRUE(reintentable(ErrorTransporte(Fallo{"Sin conexión.", "conexion"})));
    EXPECT_FALSE(reintentable(ErrorCodificacion()));
    EXPECT_FALSE(reintentable(std::runtime_error("otro")));
    // Through an exception_ptr, as a coroutine's catch(...) hands it over.
    EXPECT_TRUE(reintentable(std::make_exception_ptr(ErrorAPI("x", "m", 429))));
    EXPECT_FALSE(reintentable(std::make_exception_ptr(42)));
    EXPECT_FALSE(reintentable(std::exception_ptr()));
}

}  // namespace
}  // namespace sorvenia
