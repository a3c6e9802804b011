// Which requests the endpoint serves, and its JSON-RPC answers.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "centro/respuesta_mcp.h"
#include "comun/herramientas_tarvel.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

const std::string token = "0123456789abcdef0123456789abcdef";
const std::string clave = "fedcba9876543210fedcba9876543210";

struct Peticion {
    std::string metodo = "POST";
    std::string ruta = "/mcp/" + token;
    std::vector<std::string> cabeceras = {"Host: 127.0.0.1:39847", "Content-Type: application/json"};
    std::string cuerpo = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";

    std::string cabecera() const {
        std::string c = metodo + " " + ruta + " HTTP/1.1";
        for (const auto& h : cabeceras) c += "\r\n" + h;
        return c;
    }
};

DecisionMCP decidirCon(const Peticion& p, std::string_view instrucciones = instruccionesIniciales) {
    return decidir(p.cabecera(), p.cuerpo, token, instrucciones);
}

// The HTTP response of a decision that needs no handler.
RespuestaEndpoint respuestaDe(const DecisionMCP& d) {
    if (const auto* r = std::get_if<RespuestaEndpoint>(&d)) return *r;
    if (const auto* i = std::get_if<Inicializar>(&d)) return i->respuesta;
    return {"(tool call)", ""};
}

std::string estadoDe(const Peticion& p) { return respuestaDe(decidirCon(p)).estado; }

Json jsonDe(const DecisionMCP& d) {
    const auto r = respuestaDe(d);
    EXPECT_EQ(r.estado, "200 OK");
    return Json::parse(r.cuerpo);
}

Peticion conCabeceras(std::vector<std::string> cabeceras) {
    Peticion p;
    p.cabeceras = std::move(cabeceras);
    return p;
}

TEST(RespuestaMCP, Rutas) {
    const std::string base = "/mcp/" + token;
    struct Caso {
        std::string ruta;
        RutaMCP esperada;
    };
    const std::vector<Caso> casos = {
        {base, {true, std::nullopt}},
        {base + "/" + clave, {true, clave}},
        {base + "/abcdefgh", {true, "abcdefgh"}},                     // 8 characters
        {base + "/" + std::string(40, 'z'), {true, std::string(40, 'z')}},
        {base + "/abcdefg", {}},                                      // 7
        {base + "/" + std::string(41, 'z'), {}},                      // 41
        {base + "/fedcba9876543210fedcbA9876543210", {}},             // one capital
        {base + "/" + clave + "/mas", {}},                            // a further segment
        {base + "/", {}},                                             // a slash and nothing
        {base + "?x=1", {}},
        {base + "/abcdefgh-1", {}},
        {"/mcp/" + token.substr(0, 31) + "0", {}},                    // another token
        {"/mcp/" + token + "0", {}},
        {"/MCP/" + token, {}},
        {"/otra/mcp/" + token, {}},
        {"/mcp/", {}},
    };
    for (const auto& c : casos) EXPECT_EQ(claveDeRuta(c.ruta, token), c.esperada) << c.ruta;
}

// The checks and their order: path, Host, Origin, method, body.
TEST(RespuestaMCP, ComprobacionesEnOrden) {
    struct Caso {
        const char* nombre;
        Peticion peticion;
        std::string estado;
    };
    const auto conRuta = [](std::string ruta) {
        Peticion p;
        p.ruta = std::move(ruta);
        return p;
    };
    const auto conMetodo = [](std::string metodo, std::vector<std::string> cabeceras) {
        Peticion p;
        p.metodo = std::move(metodo);
        p.cabeceras = std::move(cabeceras);
        return p;
    };
    const auto conCuerpo = [](std::string cuerpo) {
        Peticion p;
        p.cuerpo = std::move(cuerpo);
        return p;
    };
    const std::vector<Caso> casos = {
        {"servida", Peticion{}, "200 OK"},
        {"con clave de ruta", conRuta("/mcp/" + token + "/" + clave), "200 OK"},
        {"token equivocado", conRuta("/mcp/ffffffffffffffffffffffffffffffff"), "404 Not Found"},
        {"token equivocado y Host ajeno: 404 antes que 421",
         [] {
             Peticion p;
             p.ruta = "/mcp/x";
             p.cabeceras = {"Host: evil.example"};
             return p;
         }(),
         "404 Not Found"},
        {"GET de una página: Origin antes que el método",
         conMetodo("GET", {"Host: localhost:39847", "Origin: https://evil.example"}), "403 Forbidden"},
        {"GET con Host de otra web: Host antes que el método", conMetodo("GET", {"Host: evil.example"}),
         "421 Misdirected Request"},
        {"GET sin Origin", conMetodo("GET", {"Host: localhost"}), "405 Method Not Allowed"},
        {"método en minúsculas", conMetodo("post", {"Host: localhost"}), "405 Method Not Allowed"},
        // A sandboxed frame or a local file sends "null": still a page.
        {"Origin null", conCabeceras({"Host: 127.0.0.1", "Origin: null"}), "403 Forbidden"},
        {"Origin vacío", conCabeceras({"Host: 127.0.0.1", "Origin:"}), "403 Forbidden"},
        {"Origin NULL", conCabeceras({"Host: 127.0.0.1", "Origin: NULL"}), "403 Forbidden"},
        {"Origin de localhost también es ajeno", conCabeceras({"Host: 127.0.0.1", "origin: http://127.0.0.1:39847"}),
         "403 Forbidden"},
        {"cuerpo que no es JSON", conCuerpo("{"), "400 Bad Request"},
        {"cuerpo vacío", conCuerpo(""), "400 Bad Request"},
        {"lote JSON-RPC", conCuerpo(R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])"), "400 Bad Request"},
        {"fragmento", conCuerpo("1"), "400 Bad Request"},
        {"UTF-8 inválido en una cadena", conCuerpo("{\"id\":\"\xFF\",\"method\":\"ping\"}"), "400 Bad Request"},
        {"notificación", conCuerpo(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"), "202 Accepted"},
        {"initialize sin id es notificación", conCuerpo(R"({"method":"initialize","params":{}})"), "202 Accepted"},
        {"objeto vacío", conCuerpo("{}"), "202 Accepted"},
    };
    for (const auto& c : casos) EXPECT_EQ(estadoDe(c.peticion), c.estado) << c.nombre;

    Peticion sinLinea;
    EXPECT_EQ(respuestaDe(decidir("", sinLinea.cuerpo, token, "")).estado, "404 Not Found");
    EXPECT_EQ(respuestaDe(decidir("POST\r\nHost: localhost", sinLinea.cuerpo, token, "")).estado, "404 Not Found");
}

TEST(RespuestaMCP, Anfitriones) {
    struct Caso {
        std::vector<std::string> cabeceras;
        bool pasa;
    };
    const std::vector<Caso> casos = {
        {{"Host: 127.0.0.1"}, true},
        {{"Host: 127.0.0.1:1"}, true},
        {{"Host: 127.0.0.1:39847"}, true},
        {{"Host: localhost:39847"}, true},
        {{"Host: LOCALHOST:39847"}, true},
        {{"HOST  :  LocalHost  "}, true},
        {{"Host: [::1]:39847"}, true},
        {{"Host: [::1]"}, true},
        {{"Host: [::1"}, true},  // no "]": the whole value closed with one
        {{"Host: 127.0.0.2"}, false},
        {{"Host: localhost.evil.example"}, false},
        {{"Host: evil.example:39847"}, false},
        {{"Host: [::2]:39847"}, false},
        {{"Host: [::1]x"}, true},  // everything after "]" is ignored, like a port
        {{"Host: :39847"}, false},
        {{"Host:"}, false},
        {{}, false},
    };
    for (const auto& c : casos) {
        const auto estado = estadoDe(conCabeceras(c.cabeceras));
        EXPECT_EQ(estado, c.pasa ? "200 OK" : "421 Misdirected Request")
            << (c.cabeceras.empty() ? "(sin Host)" : c.cabeceras.front());
    }
    // Two Host lines are refused whichever comes last, even when both are
    // local: which one counts would depend on who reads them.
    for (const auto& dos : std::vector<std::vector<std::string>>{{"Host: evil.example", "Host: localhost"},
                                                                  {"Host: localhost", "host :evil.example"},
                                                                  {"Host: localhost", "Host: 127.0.0.1"}})
        EXPECT_EQ(estadoDe(conCabeceras(dos)), "400 Bad Request") << dos.back();
}

TEST(RespuestaMCP, Inicializar) {
    Peticion p;
    p.cuerpo = R"({"jsonrpc":"2.0","id":"a","method":"initialize","params":{"protocolVersion":"2024-11-05",)"
               R"("clientInfo":{"name":"claude-code","version":"2"}}})";
    const auto d = decidirCon(p, "mis instrucciones");
    const auto* inicio = std::get_if<Inicializar>(&d);
    ASSERT_NE(inicio, nullptr);
    EXPECT_EQ(inicio->cliente, "claude-code");
    const Json r = jsonDe(d);
    EXPECT_EQ(r["id"], "a");
    EXPECT_EQ(r["jsonrpc"], "2.0");
    EXPECT_EQ(r["result"]["protocolVersion"], "2024-11-05");
    EXPECT_EQ(r["result"]["capabilities"], Json::parse(R"({"tools":{}})"));
    EXPECT_EQ(r["result"]["serverInfo"], Json::parse(R"({"name":"sorvenia-tarvel","version":"1.0"})"));
    EXPECT_EQ(r["result"]["instructions"], "mis instrucciones");

    // Without params: the default revision, and an empty client name.
    p.cuerpo = R"({"jsonrpc":"2.0","id":1,"method":"initialize"})";
    const auto sinParams = decidirCon(p);
    ASSERT_TRUE(std::holds_alternative<Inicializar>(sinParams));
    EXPECT_EQ(std::get<Inicializar>(sinParams).cliente, "");
    EXPECT_EQ(jsonDe(sinParams)["result"]["protocolVersion"], versionMCP);
    EXPECT_EQ(jsonDe(sinParams)["result"]["instructions"], instruccionesIniciales);

    // A revision that is not text, and a name that is not text.
    p.cuerpo = R"({"id":1,"method":"initialize","params":{"protocolVersion":3,"clientInfo":{"name":7}}})";
    const auto raros = decidirCon(p);
    EXPECT_EQ(std::get<Inicializar>(raros).cliente, "");
    EXPECT_EQ(jsonDe(raros)["result"]["protocolVersion"], versionMCP);

    // The application's own agents (with a route key) never reach the
    // client-name handler.
    p.ruta = "/mcp/" + token + "/" + clave;
    p.cuerpo = R"({"id":1,"method":"initialize","params":{"clientInfo":{"name":"claude-code"}}})";
    const auto agente = decidirCon(p);
    EXPECT_TRUE(std::holds_alternative<RespuestaEndpoint>(agente));
    EXPECT_EQ(jsonDe(agente)["result"]["serverInfo"]["name"], "sorvenia-tarvel");
}

TEST(RespuestaMCP, ListaPingYMetodosDesconocidos) {
    Peticion p;
    p.cuerpo = R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})";
    const Json lista = jsonDe(decidirCon(p));
    EXPECT_EQ(lista["result"]["tools"], Json(HerramientasTarvel::lista()));
    EXPECT_EQ(lista["result"]["tools"].size(), 24u);

    p.cuerpo = R"({"jsonrpc":"2.0","id":3,"method":"ping"})";
    EXPECT_EQ(jsonDe(decidirCon(p)), Json::parse(R"({"jsonrpc":"2.0","id":3,"result":{}})"));

    struct Caso {
        std::string cuerpo;
        std::string mensaje;
    };
    const std::vector<Caso> casos = {
        {R"({"id":4,"method":"resources/list"})", "Método desconocido: resources/list"},
        {R"({"id":4,"method":"Ping"})", "Método desconocido: Ping"},
        {R"({"id":4,"result":{}})", "Método desconocido: "},  // an answer from the client
        {R"({"id":4,"method":["ping"]})", "Método desconocido: "},
    };
    for (const auto& c : casos) {
        p.cuerpo = c.cuerpo;
        const Json r = jsonDe(decidirCon(p));
        EXPECT_EQ(r["error"]["code"], -32601) << c.cuerpo;
        EXPECT_EQ(r["error"]["message"], c.mensaje) << c.cuerpo;
        EXPECT_EQ(r["id"], 4) << c.cuerpo;
        EXPECT_FALSE(r.contains("result")) << c.cuerpo;
    }
}

TEST(RespuestaMCP, ElIdVuelveConSuTipo) {
    for (const char* id : {"7", "-1", "18446744073709551615", "2.5", "\"siete\"", "null", "{\"a\":[1]}"}) {
        Peticion p;
        p.cuerpo = std::string(R"({"method":"ping","id":)") + id + "}";
        EXPECT_EQ(jsonDe(decidirCon(p))["id"], Json::parse(id)) << id;
    }
}

// The id comes back as the very text it came in: a number too large for 64
// bits is not turned into a float, nor 1.0 into 1.
TEST(RespuestaMCP, ElIdVuelveTalCual) {
    struct Caso {
        std::string cuerpo;
        std::string id;
    };
    const std::vector<Caso> casos = {
        {R"({"method":"ping","id":123456789012345678901234567890})", "123456789012345678901234567890"},
        {R"({"method":"ping","id":-123456789012345678901234567890})", "-123456789012345678901234567890"},
        {R"({"method":"ping","id":1.0})", "1.0"},
        {R"({"method":"ping","id":1E3})", "1E3"},
        {R"({"method":"ping","id" : "a\u00e9\"}" })", R"("a\u00e9\"}")"},
        {"{\"method\":\"ping\",\"id\":[ 1 ,\n 2 ]}", "[1,2]"},
        {R"({"id":1,"method":"ping","id":2})", "2"},  // the parser keeps the last one
        {R"({"\u0069d":99999999999999999999,"method":"ping"})", "99999999999999999999"},
        {R"({"method":"nada","id":98765432109876543210987})", "98765432109876543210987"},
    };
    for (const auto& c : casos) {
        Peticion p;
        p.cuerpo = c.cuerpo;
        const auto r = respuestaDe(decidirCon(p));
        EXPECT_TRUE(r.cuerpo.starts_with(R"({"jsonrpc":"2.0","id":)" + c.id + ",")) << r.cuerpo;
        EXPECT_TRUE(Json::accept(r.cuerpo)) << r.cuerpo;
    }
    // A tool call keeps it until its late answer.
    Peticion p;
    p.cuerpo = R"({"method":"tools/call","id":123456789012345678901234567890})";
    const auto d = decidirCon(p);
    const auto* llamada = std::get_if<LlamarHerramienta>(&d);
    ASSERT_NE(llamada, nullptr);
    EXPECT_TRUE(respuestaDeHerramienta(llamada->id, Json::array())
                    .cuerpo.starts_with(R"({"jsonrpc":"2.0","id":123456789012345678901234567890,"result")"));
}

TEST(RespuestaMCP, LlamadaAHerramienta) {
    Peticion p;
    p.ruta = "/mcp/" + token + "/" + clave;
    p.cuerpo = R"({"jsonrpc":"2.0","id":9,"method":"tools/call","params":{"name":"leer","arguments":{"id":"x"}}})";
    const auto d = decidirCon(p);
    const auto* llamada = std::get_if<LlamarHerramienta>(&d);
    ASSERT_NE(llamada, nullptr);
    EXPECT_EQ(llamada->id, "9");
    EXPECT_EQ(llamada->peticion.nombre, "leer");
    EXPECT_EQ(llamada->peticion.argumentos, Json::parse(R"({"id":"x"})"));
    EXPECT_EQ(llamada->peticion.clave, clave);

    // Missing or ill-typed parts become empty ones; no key without one in the path.
    for (const char* params : {"", R"(,"params":[])", R"(,"params":{"name":3,"arguments":[1]})"}) {
        Peticion q;
        q.cuerpo = std::string(R"({"id":null,"method":"tools/call")") + params + "}";
        const auto e = decidirCon(q);
        const auto* l = std::get_if<LlamarHerramienta>(&e);
        ASSERT_NE(l, nullptr) << params;
        EXPECT_EQ(l->id, "null");
        EXPECT_EQ(l->peticion.nombre, "") << params;
        EXPECT_EQ(l->peticion.argumentos, Json::object()) << params;
        EXPECT_FALSE(l->peticion.clave) << params;
    }
}

TEST(RespuestaMCP, AnidacionAcotada) {
    Peticion p;
    const auto anidado = [](std::size_t niveles) {
        return R"({"id":1,"method":"ping","params":)" + std::string(niveles, '[') + std::string(niveles, ']') + "}";
    };
    p.cuerpo = anidado(100'000);
    EXPECT_EQ(estadoDe(p), "400 Bad Request");
    p.cuerpo = anidado(profundidadMaximaJSON);  // one more level is the message itself
    EXPECT_EQ(estadoDe(p), "400 Bad Request");
    p.cuerpo = anidado(profundidadMaximaJSON - 1);
    EXPECT_EQ(estadoDe(p), "200 OK");
    // Brackets inside strings, escaped quotes included, do not count.
    p.cuerpo = R"({"id":1,"method":"ping","params":{"t":"\"[[[[)" + std::string(1000, '[') + R"("}})";
    EXPECT_EQ(estadoDe(p), "200 OK");
}

TEST(RespuestaMCP, ResultadoDeHerramienta) {
    const auto resultado = [](const Json& items) {
        const auto r = respuestaDeHerramienta(R"("k")", items);
        EXPECT_EQ(r.estado, "200 OK");
        const Json j = Json::parse(r.cuerpo);
        EXPECT_EQ(j["id"], "k");
        EXPECT_EQ(j["jsonrpc"], "2.0");
        return j["result"];
    };
    const Json dos = resultado(Json::parse(
        R"([{"type":"text","text":"mal","error":true},{"type":"text","text":"b","error":false}])"));
    EXPECT_EQ(dos, Json::parse(R"({"content":[{"type":"text","text":"mal"},{"type":"text","text":"b"}],"isError":true})"));

    struct Caso {
        const char* items;
        bool esError;
    };
    const std::vector<Caso> casos = {
        {R"([])", false},
        {R"([{"type":"text","text":"a"},{"type":"text","text":"b","error":true}])", false},  // only the first counts
        {R"([{"type":"text","text":"a","error":"true"}])", false},
        {R"([{"type":"text","text":"a","error":false}])", false},
        {R"([{"type":"image","data":"AAAA","mimeType":"image/png","error":true}])", true},
    };
    for (const auto& c : casos) {
        const Json r = resultado(Json::parse(c.items));
        EXPECT_EQ(r["isError"], c.esError) << c.items;
        for (const auto& item : r["content"]) EXPECT_FALSE(item.contains("error")) << c.items;
        EXPECT_EQ(r["content"].size(), Json::parse(c.items).size()) << c.items;
    }

    EXPECT_EQ(resultado(itemsSinManejador()),
              Json::parse(R"({"content":[{"type":"text","text":"El tarvel no está abierto."}],"isError":false})"));
    EXPECT_EQ(resultado(itemsDeError("Falla."))["isError"], true);

    // Text that cannot be written as JSON: still "200 OK", with nothing in it.
    const auto roto = respuestaDeHerramienta("1", Json::array({{{"type", "text"}, {"text", "\xFF"}}}));
    EXPECT_EQ(roto, (RespuestaEndpoint{"200 OK", ""}));
}

}  // namespace
}  // namespace sorvenia
