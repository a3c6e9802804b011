#include "tarvel_mcp/puente.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "comun/herramientas_tarvel.h"

namespace sorvenia::puente {
namespace {

using Json = nlohmann::ordered_json;

const std::string textoCerrada =
    "Sorvenia Code no está abierto. Pide al usuario que abra la app (y un diseño) y vuelve a intentarlo.";

// A stand-in for the HTTP forward that records what it was given.
struct Servidor {
    Servidor() = default;
    explicit Servidor(Reenvio r) : respuesta(std::move(r)) {}
    Reenvio respuesta;
    std::vector<std::string> recibidos;
    Reenviador reenviador() {
        return [this](std::string_view m) {
            recibidos.emplace_back(m);
            return respuesta;
        };
    }
};

Json respuestaDe(const std::optional<std::string>& salida) {
    EXPECT_TRUE(salida.has_value());
    if (!salida) return nullptr;
    EXPECT_EQ(salida->back(), '\n');
    EXPECT_EQ(salida->find('\n'), salida->size() - 1);
    return Json::parse(*salida);
}

Json resultado(const Json& respuesta) {
    EXPECT_EQ(respuesta["jsonrpc"], "2.0");
    EXPECT_FALSE(respuesta.contains("error"));
    return respuesta["result"];
}

std::string textoError(const Json& r) {
    EXPECT_EQ(r["isError"], true);
    return r["content"][0]["text"];
}

TEST(Puente, LineasQueNoSonMensajesNoSeReenvianNiContestan) {
    Servidor s;
    for (std::string linea : {"", " \t ", "\xC2\xA0\xE3\x80\x80", "no json", "[1,2]", "3", "\"texto\"", "{", "null"})
        EXPECT_FALSE(atender(linea, s.reenviador()).has_value()) << linea;
    EXPECT_TRUE(s.recibidos.empty());
}

TEST(Puente, ReenviaLaLineaSinTocarYEscribeElCuerpo) {
    Servidor s{resultadoHTTP(200, R"({"jsonrpc":"2.0","id":1,"result":{"x":"ñ"}})")};
    const std::string linea = R"(  {"jsonrpc":"2.0","id":1,"method":"tools/call"} )";
    EXPECT_EQ(atender(linea, s.reenviador()), std::optional<std::string>(R"({"jsonrpc":"2.0","id":1,"result":{"x":"ñ"}})" "\n"));
    ASSERT_EQ(s.recibidos.size(), 1u);
    EXPECT_EQ(s.recibidos[0], linea);
}

TEST(Puente, CuerpoVacioOAceptadoNoEscribeNada) {
    for (long codigo : {200L, 202L}) {
        Servidor s{resultadoHTTP(codigo, "")};
        EXPECT_FALSE(atender(R"({"id":1,"method":"tools/call"})", s.reenviador()).has_value()) << codigo;
    }
    Servidor aceptado{resultadoHTTP(202, "ignorado")};
    EXPECT_FALSE(atender(R"({"id":1,"method":"ping"})", aceptado.reenviador()).has_value());
}

// Only a body that is one JSON value is relayed, and always as one line;
// anything else did not come from the application, which is then treated
// as closed.
TEST(Puente, SoloSeReenviaUnValorJSONEnUnaLinea) {
    struct Caso {
        std::string cuerpo;
        std::optional<std::string> escrito;  // nothing: answered as with the app closed
    };
    const std::vector<Caso> casos = {
        {"{\n  \"jsonrpc\": \"2.0\",\r\n  \"id\": 1,\n  \"result\": {\"t\": \"a\\nb\"}\n}\n",
         R"({  "jsonrpc": "2.0",  "id": 1,  "result": {"t": "a\nb"}})"},
        {"<html>\n<body>Hola</body>\n</html>", std::nullopt},
        {"{\"id\":1}\n{\"id\":2}", std::nullopt},
        {"{\"id\":1", std::nullopt},
        {" \n ", std::nullopt},
    };
    for (const auto& c : casos) {
        Servidor s{resultadoHTTP(200, c.cuerpo)};
        const auto llamada = atender(R"({"id":1,"method":"tools/call"})", s.reenviador());
        const auto lista = atender(R"({"id":2,"method":"tools/list"})", s.reenviador());
        const std::string traza = c.cuerpo.substr(0, 60);
        if (c.escrito) {
            EXPECT_EQ(llamada, *c.escrito + "\n") << traza;
            continue;
        }
        EXPECT_EQ(textoError(resultado(respuestaDe(llamada))), textoCerrada) << traza;
        EXPECT_EQ(resultado(respuestaDe(lista))["tools"], HerramientasTarvel::lista()) << traza;
    }
}

TEST(Puente, ConLaAppCerradaContestaLoQuePuede) {
    Servidor cerrada;
    const auto r = [&](const char* linea) { return resultado(respuestaDe(atender(linea, cerrada.reenviador()))); };
    EXPECT_EQ(r(R"({"id":1,"method":"initialize","params":{"protocolVersion":"x"}})")["protocolVersion"], "x");
    EXPECT_EQ(r(R"({"id":1,"method":"initialize","params":{"protocolVersion":""}})")["protocolVersion"], "");
    const Json init = r(R"({"id":1,"method":"initialize"})");
    EXPECT_EQ(init["protocolVersion"], "2025-06-18");
    EXPECT_EQ(init["capabilities"], (Json{{"tools", Json::object()}}));
    EXPECT_EQ(init["serverInfo"], (Json{{"name", "sorvenia-tarvel"}, {"version", "1.0"}}));
    EXPECT_EQ(init["instructions"],
              "Sorvenia Code: diseña webs y piezas en un tarvel de HTML/CSS. Antes de usar las herramientas, el usuario "
              "tiene que tener abierta la app Sorvenia Code en su ordenador (si no, pídeselo). Llama primero a ver_tarvel y a "
              "guia(tema: \"encargo\").");
    EXPECT_EQ(r(R"({"id":1,"method":"initialize","params":{"protocolVersion":5}})")["protocolVersion"], "2025-06-18");
    EXPECT_EQ(r(R"({"id":2,"method":"tools/list"})")["tools"], HerramientasTarvel::lista());
    EXPECT_EQ(r(R"({"id":3,"method":"ping"})"), Json::object());
    EXPECT_EQ(textoError(r(R"({"id":4,"method":"tools/call","params":{}})")), textoCerrada);
    EXPECT_EQ(textoError(r(R"({"id":5})")), textoCerrada);
    EXPECT_EQ(textoError(r(R"({"id":6,"method":7})")), textoCerrada);
    EXPECT_FALSE(atender(R"({"method":"notifications/initialized"})", cerrada.reenviador()).has_value());
}

TEST(Puente, ElIdSeDevuelveTalCual) {
    Servidor cerrada;
    for (const char* id : {"null", "0", "-7", "1.5", "1.0", "\"abc\"", "\"\\u00e9\"", "[1,{\"a\":null}]",
                           "18446744073709551615", "123456789012345678901234567890"}) {
        const std::string linea = std::string(R"({"method":"ping","id":)") + id + "}";
        const auto salida = atender(linea, cerrada.reenviador());
        const Json respuesta = respuestaDe(salida);
        EXPECT_TRUE(salida->starts_with(R"({"jsonrpc":"2.0","id":)" + std::string(id) + ",")) << *salida;
        EXPECT_EQ(respuesta.size(), 3u);
    }
}

TEST(Puente, RechazosDelServidor) {
    const struct {
        long codigo;
        const char* texto;
    } casos[] = {
        {404, "Sorvenia Code ha rechazado la petición (HTTP 404). Si acabas de abrir o reiniciar la app, vuelve a intentarlo."},
        {500, "Sorvenia Code ha rechazado la petición (HTTP 500). Si acabas de abrir o reiniciar la app, vuelve a intentarlo."},
        {413, "La petición es demasiado grande para Sorvenia Code (más de 16 MB). Mándala en trozos más pequeños."},
    };
    for (const auto& caso : casos) {
        Servidor s{resultadoHTTP(caso.codigo, "cuerpo ignorado")};
        const Json llamada = resultado(respuestaDe(atender(R"({"id":1,"method":"tools/call"})", s.reenviador())));
        EXPECT_EQ(textoError(llamada), caso.texto);
        // Anything but a tool call is answered as if the app were closed.
        const Json init = resultado(respuestaDe(atender(R"({"id":1,"method":"initialize"})", s.reenviador())));
        EXPECT_EQ(init["serverInfo"]["name"], "sorvenia-tarvel");
        EXPECT_FALSE(atender(R"({"method":"tools/call"})", s.reenviador()).has_value());
    }
}

TEST(Puente, BytesQueNoSonUtf8SeReparanAntesDeReenviar) {
    Servidor s;
    const Json respuesta = respuestaDe(atender("{\"id\":\"a\xFF\",\"method\":\"ping\"}", s.reenviador()));
    EXPECT_EQ(respuesta["id"], "a\xEF\xBF\xBD");
    ASSERT_EQ(s.recibidos.size(), 1u);
    EXPECT_EQ(s.recibidos[0], "{\"id\":\"a\xEF\xBF\xBD\",\"method\":\"ping\"}");
}

// The id is copied as text, never walked, however deep it is.
TEST(Puente, UnIdProfundoVuelveComoLlego) {
    Servidor s;
    const std::string id = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(atender(R"({"method":"ping","id":)" + id + "}", s.reenviador()),
              R"({"jsonrpc":"2.0","id":)" + id + R"(,"result":{}})" + "\n");
    EXPECT_EQ(s.recibidos.size(), 1u);
}

TEST(Puente, UrlDelServidor) {
    EXPECT_EQ(rutaDe({4000, "abc123"}), std::optional<std::string>("/mcp/abc123"));
    for (const char* malo : {"   ", "a b", "a\nb", "ñ", "a{b}"}) EXPECT_FALSE(rutaDe({4000, malo}).has_value()) << malo;
}

}  // namespace
}  // namespace sorvenia::puente
