// The check for a newer build: what a feed offers, and one request per run.
#include "actualizacion/actualizacion.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "esperar_bucle.h"
#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

using Actualizacion::Nueva;
using Actualizacion::detalle::leerFeed;

TEST(Actualizacion, LoQueOfreceUnFeed) {
    const std::string carpeta = "https://s.example/descargas/sorvenia-code-linux/";
    const std::string url = carpeta + "SorveniaCode-2.1-120.tar.gz";
    const struct {
        const char* feed;
        std::int64_t instalada;
        std::optional<Nueva> esperado;
    } casos[] = {
        {R"({"build": 120, "version": "2.1", "fichero": "SorveniaCode-2.1-120.tar.gz"})", 119, Nueva{"2.1", url}},
        {R"({"build": "120", "version": "2.1", "fichero": "SorveniaCode-2.1-120.tar.gz"})", 119, Nueva{"2.1", url}},
        {R"({"build": "+120", "fichero": "SorveniaCode-2.1-120.tar.gz"})", 0, Nueva{"", url}},  // no version
        {R"({"build": 120, "version": "2.1", "fichero": "SorveniaCode-2.1-120.tar.gz"})", 120, std::nullopt},  // equal
        {R"({"build": "12a", "fichero": "SorveniaCode-2.1-120.tar.gz"})", 0, std::nullopt},
        {R"({"build": "", "fichero": "SorveniaCode-2.1-120.tar.gz"})", 0, std::nullopt},
        {R"({"fichero": "SorveniaCode-2.1-120.tar.gz"})", 0, std::nullopt},
        {R"({"build": 1.5, "fichero": "SorveniaCode-2.1-120.tar.gz"})", 0, std::nullopt},
        {R"({"build": "99999999999999999999", "fichero": "SorveniaCode-2.1-120.tar.gz"})", 0, std::nullopt},
        {R"({"build": 120, "fichero": "SorveniaCode-2.1.tar.gz"})", 0, std::nullopt},
        {R"({"build": 120, "fichero": "sorveniacode-2.1-120.tar.gz"})", 0, std::nullopt},
        {R"({"build": 120, "fichero": "SorveniaCode-2.1-120.tar.gz.zip"})", 0, std::nullopt},
        {R"({"build": 120, "fichero": "../SorveniaCode-2.1-120.tar.gz"})", 0, std::nullopt},
        {R"({"build": 120, "fichero": 7})", 0, std::nullopt},
        {R"([1, 2])", 0, std::nullopt},
        {"no es JSON", 0, std::nullopt},
    };
    for (const auto& caso : casos) EXPECT_EQ(leerFeed(caso.feed, carpeta, caso.instalada), caso.esperado) << caso.feed;
    EXPECT_EQ(Actualizacion::detalle::carpetaFeed("https://s.example"), carpeta);
    EXPECT_EQ(Actualizacion::detalle::carpetaFeed("https://s.example/"), carpeta);
}

// The feed comes from outside: a file name of any length is judged like a
// short one, never by recursion that could run out of stack.
TEST(Actualizacion, NombresDeFicheroMuyLargos) {
    const std::string carpeta = "https://s.example/descargas/sorvenia-code-linux/";
    const std::string digitos(100000, '7');
    const struct {
        std::string fichero;
        bool aceptado;
    } casos[] = {
        {"SorveniaCode-" + digitos + "-120.tar.gz", true},
        {"SorveniaCode-2.1-" + digitos + ".tar.gz", true},
        {"SorveniaCode-" + digitos + ".tar.gz", false},  // no build part
        {"SorveniaCode-2." + digitos + "-1.tar.gz.zip", false},
        {digitos, false},
    };
    for (const auto& caso : casos) {
        const nlohmann::json feed = {{"build", 120}, {"fichero", caso.fichero}};
        const auto nueva = leerFeed(feed.dump(), carpeta, 1);
        EXPECT_EQ(nueva.has_value(), caso.aceptado) << caso.fichero.substr(0, 20);
        if (nueva) EXPECT_EQ(nueva->url, carpeta + caso.fichero);
    }
}

TEST(Actualizacion, UnaSolaPeticionPorEjecucion) {
    Actualizacion::detalle::olvidar();
    const std::string feed = R"({"build": )" + std::to_string(Actualizacion::compilacionInstalada() + 1) +
                             R"(, "version": "9.9", "fichero": "SorveniaCode-9.9-9.tar.gz"})";
    prueba::ServidorHTTPPrueba servidor([&](const prueba::PeticionHTTP&) { return prueba::ServidorHTTPPrueba::respuesta(200, feed); });
    const std::string base = "http://127.0.0.1:" + std::to_string(servidor.puerto());
    const auto primera = prueba::esperarTarea(Actualizacion::comprobar(base)).value();
    ASSERT_TRUE(primera);
    EXPECT_EQ(primera->url, base + "/descargas/sorvenia-code-linux/SorveniaCode-9.9-9.tar.gz");
    EXPECT_EQ(Actualizacion::disponible(), primera);
    EXPECT_EQ(prueba::esperarTarea(Actualizacion::comprobar(base)).value(), primera);
    ASSERT_EQ(servidor.peticiones().size(), 1u);
    EXPECT_EQ(servidor.peticiones()[0].ruta, "/descargas/sorvenia-code-linux/ultima.json");

    // A failed check is not repeated either, and finds nothing.
    Actualizacion::detalle::olvidar();
    prueba::ServidorHTTPPrueba caido([](const prueba::PeticionHTTP&) { return prueba::ServidorHTTPPrueba::respuesta(503); });
    const std::string otra = "http://127.0.0.1:" + std::to_string(caido.puerto());
    EXPECT_FALSE(prueba::esperarTarea(Actualizacion::comprobar(otra)).value());
    EXPECT_FALSE(prueba::esperarTarea(Actualizacion::comprobar(otra)).value());
    EXPECT_EQ(caido.peticiones().size(), 1u);
    EXPECT_FALSE(Actualizacion::disponible());
}

}  // namespace
}  // namespace sorvenia
