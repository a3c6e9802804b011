// What the account and store window loads, and where everything else goes.

#include "pantallas/politica_tienda.h"

#include <gtest/gtest.h>

namespace sorvenia {
namespace {

using PoliticaTienda::Destino;
constexpr const char* servidor = "https://cuenta.sorvenia.example";

TEST(PoliticaTienda, CadaNavegacionVaASuSitio) {
    struct Caso {
        const char* uri;
        bool principal;
        bool clic;
        bool propia;
        Destino destino;
    };
    const std::vector<Caso> casos = {
        {"https://cuenta.sorvenia.example/panel/", true, false, false, Destino::permitir},
        {"https://cuenta.sorvenia.example/panel/entrar.php?token=x&ir=%2Fpanel%2F", true, false, false,
         Destino::permitir},
        {"https://CUENTA.sorvenia.example/panel/gracias.php", true, true, false, Destino::permitir},
        {"https://cuenta.sorvenia.example/", true, true, false, Destino::tienda},
        {"https://cuenta.sorvenia.example", true, false, false, Destino::tienda},
        {"https://cuenta.sorvenia.example/login/", true, true, false, Destino::tienda},
        {"https://cuenta.sorvenia.example/login/", true, false, false, Destino::permitir},
        {"https://cuenta.sorvenia.example/blog/", true, true, false, Destino::navegador},
        {"https://cuenta.sorvenia.example:8443/panel/", true, true, false, Destino::navegador},
        {"http://cuenta.sorvenia.example/panel/", true, true, false, Destino::navegador},
        {"https://otra.example/panel/", true, true, false, Destino::navegador},
        {"https://otra.example/pago", false, false, false, Destino::permitir},
        {"mailto:ayuda@sorvenia.example", true, true, false, Destino::sistema},
        {"tel:+34600000000", false, true, false, Destino::sistema},
        {"file:///tmp/otra.html", true, false, false, Destino::cancelar},
        {"file:///recursos/editor/tienda/tienda.html", true, false, true, Destino::permitir},
        {"about:blank", true, false, false, Destino::permitir},
        {"data:text/html,hola", true, false, false, Destino::cancelar},
        {"", true, false, false, Destino::cancelar},
        {"no es una dirección", true, false, false, Destino::cancelar},
    };
    for (const auto& c : casos)
        EXPECT_EQ(PoliticaTienda::decidir(c.uri, c.principal, c.clic, c.propia, servidor), c.destino) << c.uri;
    // Without an account nothing is the account site.
    EXPECT_EQ(PoliticaTienda::decidir("https://cuenta.sorvenia.example/panel/", true, false, false, ""),
              Destino::navegador);
}

TEST(PoliticaTienda, LaBarraYLaCompra) {
    EXPECT_EQ(PoliticaTienda::textoBarra("https://cuenta.sorvenia.example/panel/x.php?token=secreto"),
              "cuenta.sorvenia.example/panel/x.php");
    EXPECT_EQ(PoliticaTienda::textoBarra("file:///a/tienda.html"), "");
    EXPECT_EQ(PoliticaTienda::textoBarra(""), "");
    EXPECT_TRUE(PoliticaTienda::candado("https://cuenta.sorvenia.example/panel/"));
    EXPECT_FALSE(PoliticaTienda::candado("http://127.0.0.1:8787/panel/"));
    EXPECT_FALSE(PoliticaTienda::candado("file:///a/tienda.html"));

    EXPECT_TRUE(PoliticaTienda::esCompra("https://cuenta.sorvenia.example/panel/gracias.php", servidor));
    EXPECT_TRUE(PoliticaTienda::esCompra("https://cuenta.sorvenia.example/panel/gracias.php?pedido=7", servidor));
    EXPECT_FALSE(PoliticaTienda::esCompra("https://cuenta.sorvenia.example/panel/gracias.php?cancelado=1", servidor));
    EXPECT_FALSE(PoliticaTienda::esCompra("https://otra.example/panel/gracias.php", servidor));
    EXPECT_FALSE(PoliticaTienda::esCompra("https://cuenta.sorvenia.example/panel/gracias.php/", servidor));

    EXPECT_TRUE(PoliticaTienda::abrirVentanaEnNavegador("https://otra.example/"));
    EXPECT_FALSE(PoliticaTienda::abrirVentanaEnNavegador("javascript:alert(1)"));
}

TEST(PoliticaTienda, MensajesDeLaPagina) {
    for (const char* bueno : {"/panel/", "/panel/comprar.php?producto=web"})
        EXPECT_TRUE(PoliticaTienda::esRutaPanel(bueno));
    for (const char* malo : {"panel/", "/panelx/", "/login/", "https://otra.example/panel/"})
        EXPECT_FALSE(PoliticaTienda::esRutaPanel(malo)) << malo;
    for (const char* bueno : {"mi-web.es", "a.b.example", "x1.io"})
        EXPECT_TRUE(PoliticaTienda::esDominio(bueno)) << bueno;
    for (const char* malo : {"Mi-web.es", "localhost", "mi_web.es", "-mi.es", "mi-.es", "mi.e", "mi.es/x", ""})
        EXPECT_FALSE(PoliticaTienda::esDominio(malo)) << malo;
}

}  // namespace
}  // namespace sorvenia
