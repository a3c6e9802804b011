// The sign-in link and the callback URL, as text.

#include "cuenta/enlace_conexion.h"

#include <gtest/gtest.h>

namespace sorvenia {
namespace {

using Opcional = std::optional<std::string>;

TEST(EnlaceConexion, LeeLaLlamadaDelNavegador) {
    const struct {
        const char* url;
        Opcional state, error, code;
    } casos[] = {
        {"sorvenia-tarvel://conectar?state=abc&code=xyz", "abc", {}, "xyz"},
        {"sorvenia-tarvel:?code=1&state=s", "s", {}, "1"},  // host and path are not looked at
        {"sorvenia-tarvel://x/y?state=s&error=denegado&code=c", "s", "denegado", "c"},
        {"sorvenia-tarvel://x?state=a&state=b", "a", {}, {}},    // the first item of a name counts
        {"sorvenia-tarvel://x?state&state=b&code=", {}, {}, ""},  // no value: missing, even if a later one has
        {"sorvenia-tarvel://x?state=%C3%B1%2B+&code=a%3Db", "ñ++", {}, "a=b"},
        {"sorvenia-tarvel://x?otro=1#state=frag", {}, {}, {}},
        {"sorvenia-tarvel://x?", {}, {}, {}},
    };
    for (const auto& caso : casos) {
        const auto llamada = leerLlamadaConexion(caso.url);
        ASSERT_TRUE(llamada) << caso.url;
        EXPECT_EQ(llamada->state, caso.state) << caso.url;
        EXPECT_EQ(llamada->error, caso.error) << caso.url;
        EXPECT_EQ(llamada->code, caso.code) << caso.url;
    }
}

TEST(EnlaceConexion, IgnoraLoQueNoEsUnaLlamadaNuestra) {
    for (const char* url : {
             "SORVENIA-TARVEL://conectar?state=a&code=b",  // letter case counts
             "Sorvenia-tarvel://conectar?state=a&code=b",
             "https://sorvenia.es/?state=a&code=b",
             "sorvenia-tarvel://conectar",             // no query
             "sorvenia-tarvel://conectar#?state=a",    // the query is after the fragment mark
             "conectar?state=a",                       // no scheme
             ":?state=a",
             "sorvenia-tarvel://conectar?state=a b",   // a space
             "sorvenia-tarvel://conectar?state=%G1",   // a broken escape
             "sorvenia-tarvel://conectar?state=%C3",   // cut short
             "sorvenia-tarvel://conectar?state=%FF",   // not UTF-8
             "sorvenia-tarvel://conectar?state=ñ",     // not encoded
             "",
         })
        EXPECT_FALSE(leerLlamadaConexion(url)) << url;
}

TEST(EnlaceConexion, SoloTextosQueSonURL) {
    EXPECT_TRUE(esURL("sorvenia-tarvel://conectar?state=a"));
    EXPECT_TRUE(esURL("mailto:ana@example.com"));
    EXPECT_FALSE(esURL("/home/ana/diseño.html"));
    EXPECT_FALSE(esURL("no es una url"));
    EXPECT_FALSE(esURL("1abc:def"));
}

TEST(EnlaceConexion, EnlaceDeConexion) {
    EXPECT_EQ(enlaceConectar("https://sorvenia.es", "st", "ch", "Portátil de Ana & co"),
              "https://sorvenia.es/conectar-app/?app=tarvel&state=st&challenge=ch&equipo=Port%C3%A1til%20de%20Ana%20%26%20co");
    // A base with a path keeps it; a trailing slash is not doubled.
    EXPECT_EQ(enlaceConectar("http://127.0.0.1:8787/cuenta/", "a-_", "b", "pc"),
              "http://127.0.0.1:8787/cuenta/conectar-app/?app=tarvel&state=a-_&challenge=b&equipo=pc");
    EXPECT_EQ(anadirRuta("https://sorvenia.es", "registro/"), "https://sorvenia.es/registro/");
    EXPECT_EQ(anadirRuta("https://sorvenia.es/", "registro/"), "https://sorvenia.es/registro/");
    EXPECT_EQ(codificarConsulta("a~b.c-d_e+f/g=h"), "a~b.c-d_e%2Bf%2Fg%3Dh");
}

}  // namespace
}  // namespace sorvenia
