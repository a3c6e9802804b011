// What decides whether a page's message is accepted, and how calls into a
// page are wrapped: no display needed.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plataforma/gui/llamada_js.h"
#include "plataforma/gui/origen_permitido.h"
#include "plataforma/gui/relevo_mensajes.h"

namespace sorvenia {
namespace {

using nlohmann::json;

struct CasoOrigen {
    const char* uri;
    bool admitida;
};

void comprobar(const OrigenPermitido& origen, const std::vector<CasoOrigen>& casos) {
    for (const auto& caso : casos) EXPECT_EQ(origen.admite(caso.uri), caso.admitida) << caso.uri;
}

TEST(OrigenPermitido, AdmiteSoloArchivosDentroDeLaCarpeta) {
    const std::vector<CasoOrigen> casos = {
        {"file:///srv/app/editor/index.html", true},
        {"file:///srv/app/editor/sub/carpeta/x.html", true},
        {"file:///srv/app/editor/index.html?x=1#y", true},
        {"file://localhost/srv/app/editor/index.html", true},
        {"file:///srv/app/editor", false},
        {"file:///srv/app/editor/", false},
        {"file:///srv/app/editor2/index.html", false},
        {"file:///srv/app/editor-falso/index.html", false},
        {"file:///srv/app/index.html", false},
        {"file:///srv/app/editor/../fuera.html", false},
        {"file:///srv/app/editor/%2E%2E/fuera.html", false},
        {"file://otra-maquina/srv/app/editor/index.html", false},
        {"http://srv/app/editor/index.html", false},
        {"data:text/html,<p>hola</p>", false},
        {"about:blank", false},
        {"", false},
    };
    comprobar(OrigenPermitido::carpeta("/srv/app/editor"), casos);
    // The same folder written with a trailing separator or a detour.
    comprobar(OrigenPermitido::carpeta("/srv/app/editor/"), casos);
    comprobar(OrigenPermitido::carpeta("/srv/app/x/../editor"), casos);
}

TEST(OrigenPermitido, DescodificaLasRutasDeLasUris) {
    comprobar(OrigenPermitido::carpeta("/home/ana/páginas de prueba"),
              {
                  {"file:///home/ana/p%C3%A1ginas%20de%20prueba/index.html", true},
                  {"file:///home/ana/p%C3%A1ginas%20de%20prueba-falso/index.html", false},
                  {"file:///home/ana/paginas%20de%20prueba/index.html", false},
              });
}

TEST(OrigenPermitido, UnaUriExactaSinImportarElFragmento) {
    comprobar(OrigenPermitido::uri("file:///srv/app/base.html"),
              {
                  {"file:///srv/app/base.html", true},
                  {"file:///srv/app/base.html#arriba", true},
                  {"file:///srv/app/base.html?x", false},
                  {"file:///srv/app/otra.html", false},
                  {"file:///srv/app/", false},
              });
    // Neither an empty URI nor the default admits anything.
    for (const auto& origen : {OrigenPermitido::uri(""), OrigenPermitido{}, OrigenPermitido::carpeta("")})
        comprobar(origen, {{"", false}, {"about:blank", false}, {"file:///index.html", false}});
}

TEST(RelevoMensajes, SoloAceptaObjetosEnUnSobreCompleto) {
    const auto sobre = [](const json& uri, const json& mensaje) {
        return json{{"uri", uri}, {"mensaje", mensaje}}.dump();
    };

    const auto bueno = leerRelevo(sobre("file:///a/b.html", R"({"tipo":"listo","n":[1,2]})"));
    ASSERT_TRUE(bueno.has_value());
    EXPECT_EQ(bueno->uri, "file:///a/b.html");
    EXPECT_EQ(bueno->cuerpo, json({{"tipo", "listo"}, {"n", {1, 2}}}));

    const std::vector<std::string> malos = {
        sobre("file:///a/b.html", "[1, 2]"),
        sobre("file:///a/b.html", "\"listo\""),
        sobre("file:///a/b.html", "42"),
        sobre("file:///a/b.html", "null"),
        sobre("file:///a/b.html", "{\"tipo\": "),
        sobre("file:///a/b.html", json{{"tipo", "listo"}}),  // an object, not its text
        sobre(nullptr, "{}"),
        json{{"mensaje", "{}"}}.dump(),
        json{{"uri", "file:///a/b.html"}}.dump(),
        "{\"tipo\":\"listo\"}",
        "no es JSON",
        "",
    };
    for (const auto& texto : malos) EXPECT_FALSE(leerRelevo(texto).has_value()) << texto;
}

TEST(LlamadaJs, LosArgumentosDebenSerIdentificadoresDeUnObjeto) {
    for (const char* nombre : {"a", "_x", "$y", "a1", "camelCase"})
        EXPECT_TRUE(envolverLlamada("return 1;", {{nombre, 1}}).ok()) << nombre;
    for (const char* nombre : {"", "1a", "a-b", "a b", "ñ", "a;b", "a)"}) {
        const auto r = envolverLlamada("return 1;", {{nombre, 1}});
        ASSERT_FALSE(r.ok()) << nombre;
        EXPECT_EQ(r.fallo().codigo, "argumentos");
    }
    EXPECT_TRUE(envolverLlamada("return 1;", nullptr).ok());
    for (const json& argumentos : {json::array({1}), json(3), json("a")})
        EXPECT_FALSE(envolverLlamada("return 1;", argumentos).ok()) << argumentos;
}

TEST(LlamadaJs, LeeElResultado) {
    EXPECT_EQ(*leerResultadoLlamada(R"({"a":[1,null]})"), json({{"a", {1, nullptr}}}));
    EXPECT_EQ(*leerResultadoLlamada(nullptr), json(nullptr));
    EXPECT_FALSE(leerResultadoLlamada("{roto").ok());
}

}  // namespace
}  // namespace sorvenia
