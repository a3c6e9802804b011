#include "cuenta/marco_cuenta.h"

#include <gtest/gtest.h>

#include <limits>

#include "cuenta/error_api.h"

namespace sorvenia {
namespace {

std::optional<std::string> cabecera(const PeticionHTTP& p, const std::string& nombre) {
    for (const auto& [n, v] : p.cabeceras)
        if (n == nombre) return v;
    return std::nullopt;
}

TEST(MarcoCuenta, DireccionDelEndpoint) {
    struct Caso {
        const char* base;
        ConsultaCuenta consulta;
        const char* esperada;
    };
    const Caso casos[] = {
        {"https://cuenta.sorvenia.example", {}, "https://cuenta.sorvenia.example/api/v1/tarvel"},
        {"https://cuenta.sorvenia.example/", {}, "https://cuenta.sorvenia.example/api/v1/tarvel"},
        {"http://127.0.0.1:8787/base", {{"id", "d1"}}, "http://127.0.0.1:8787/base/api/v1/tarvel?id=d1"},
        {"http://127.0.0.1:8787/base/", {{"accion", "recurso"}, {"id", "d 1"}, {"ruta", "escenas/a+b&c=d#e.mp4"}},
         "http://127.0.0.1:8787/base/api/v1/tarvel?accion=recurso&id=d%201&ruta=escenas/a%2Bb%26c%3Dd%23e.mp4"},
        {"https://h.example", {{"ruta", "ñ"}}, "https://h.example/api/v1/tarvel?ruta=%C3%B1"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(direccion::endpoint(c.base, c.consulta), c.esperada) << c.base;
    }
    EXPECT_FALSE(direccion::endpoint("cuenta.sorvenia.example", {}));
    EXPECT_FALSE(direccion::endpoint("", {}));
}

TEST(MarcoCuenta, HostDeUnaDireccion) {
    EXPECT_EQ(direccion::host("https://Cuenta.Example:8443/x"), "Cuenta.Example") << "letter case is kept";
    EXPECT_EQ(direccion::host("http://127.0.0.1:9/"), "127.0.0.1");
    EXPECT_FALSE(direccion::host("file:///tmp/x"));
    EXPECT_FALSE(direccion::host("/panel/x"));
    EXPECT_FALSE(direccion::esURL("no es una url"));
    EXPECT_TRUE(direccion::esURL("mailto:a@b.es"));
}

TEST(MarcoCuenta, PeticionGETConClave) {
    const auto p = peticionDeCuenta("https://c.example/", LlamadaCuenta{}, std::string("k1"));
    EXPECT_EQ(p.metodo, "GET");
    EXPECT_EQ(p.url, "https://c.example/api/v1/tarvel");
    EXPECT_EQ(p.tiempoLimite, 30);
    EXPECT_EQ(cabecera(p, "User-Agent"), "SorveniaTarvel/1.0 (Mac)");
    EXPECT_EQ(cabecera(p, "Authorization"), "Bearer k1");
    EXPECT_FALSE(cabecera(p, "Content-Type")) << "a GET has no body and no content type";
    EXPECT_TRUE(p.cuerpo.empty());
    EXPECT_EQ(p.cabeceras.size(), 2u) << "no other header";
}

TEST(MarcoCuenta, CuerposJSONYBytes) {
    auto json = llamadaPOST({{"accion", "dominios"}}, 40, {{"q", "a/b"}});
    auto p = peticionDeCuenta("https://c.example", json, std::nullopt);
    EXPECT_EQ(p.metodo, "POST");
    EXPECT_EQ(p.tiempoLimite, 40);
    EXPECT_EQ(cabecera(p, "Content-Type"), "application/json");
    EXPECT_FALSE(cabecera(p, "Authorization")) << "the redeem sends no key";
    EXPECT_EQ(nlohmann::json::parse(p.cuerpo), nlohmann::json({{"q", "a/b"}}));

    auto bytes = llamadaGET({{"accion", "recurso"}}, 180);
    bytes.metodo = "POST";
    bytes.bytes = std::string("\x00\xff\x01", 3);
    p = peticionDeCuenta("https://c.example", bytes, std::string("k"));
    EXPECT_EQ(cabecera(p, "Content-Type"), "application/octet-stream");
    EXPECT_EQ(p.cuerpo, std::string("\x00\xff\x01", 3));
}

TEST(MarcoCuenta, CuerpoQueJSONNoPuedeLlevar) {
    const auto infinito = llamadaPOST({{"accion", "agencia"}}, 30,
                                      {{"datos", {{"x", std::numeric_limits<double>::infinity()}}}, {"version", 1}});
    EXPECT_THROW(peticionDeCuenta("https://c.example", infinito, std::string("k")), ErrorCodificacion);
    const auto noUtf8 = llamadaPOST({{"accion", "agencia"}}, 30, {{"datos", std::string("\xff")}});
    EXPECT_THROW(peticionDeCuenta("https://c.example", noUtf8, std::string("k")), ErrorCodificacion);
    EXPECT_THROW(peticionDeCuenta("no es una url", LlamadaCuenta{}, std::string("k")), ErrorAPI);
}

}  // namespace
}  // namespace sorvenia
