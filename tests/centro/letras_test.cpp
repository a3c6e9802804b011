// Letters as the user sees them, and cutting long text items.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "centro/letras.h"
#include "centro/respuesta_mcp.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

const std::string familia = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";  // 👨‍👩‍👧
const std::string eAcentuada = "e\xCC\x81";                                                             // e + U+0301
const std::string espana = "\xF0\x9F\x87\xAA\xF0\x9F\x87\xB8";                                             // 🇪🇸
const std::string pulgarMoreno = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";                                       // 👍🏽
const std::string jamo = "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB";                                           // ᄒ ᅡ ᆫ
const std::string hangul = "\xED\x95\x9C";                                                                 // 한

TEST(Letras, Contar) {
    struct Caso {
        std::string texto;
        std::size_t letras;
    };
    const std::vector<Caso> casos = {
        {"", 0},
        {"abc", 3},
        {"ñandú", 5},
        {eAcentuada, 1},
        {"e\xCC\x81\xCC\xA3", 1},  // two combining marks
        {familia, 1},
        {familia + familia, 2},
        {pulgarMoreno, 1},
        {espana, 1},
        {espana + espana, 2},
        {espana + "\xF0\x9F\x87\xAA", 2},  // a lone regional indicator after a pair
        {jamo, 1},
        {hangul + jamo, 2},
        {"\r\n", 1},
        {"\n\r", 2},
        {"a\r\nb", 3},
        {"\xE2\x9D\xA4\xEF\xB8\x8F", 1},  // ❤ with variation selector
        {"\xFF\xFE", 2},                  // ill-formed bytes
    };
    for (const auto& c : casos) EXPECT_EQ(contarLetras(c.texto), c.letras) << c.texto;
}

TEST(Letras, CortarNoParteNingunaLetra) {
    const std::string texto = "a" + familia + eAcentuada + espana + "\r\n" + jamo + "z";
    const std::vector<std::string> prefijos = {
        "", "a", "a" + familia, "a" + familia + eAcentuada, "a" + familia + eAcentuada + espana,
        "a" + familia + eAcentuada + espana + "\r\n", "a" + familia + eAcentuada + espana + "\r\n" + jamo, texto};
    for (std::size_t n = 0; n < prefijos.size(); ++n) EXPECT_EQ(primerasLetras(texto, n), prefijos[n]) << n;
    EXPECT_EQ(primerasLetras(texto, 100), texto);

    // The same cuts from the end.
    for (std::size_t n = 0; n < prefijos.size(); ++n) {
        const std::size_t quitar = prefijos[prefijos.size() - 1 - n].size();
        EXPECT_EQ(ultimasLetras(texto, n), texto.substr(quitar)) << n;
    }
    EXPECT_EQ(ultimasLetras(texto, 100), texto);
}

std::string repetir(const std::string& pieza, std::size_t veces) {
    std::string r;
    r.reserve(pieza.size() * veces);
    for (std::size_t i = 0; i < veces; ++i) r += pieza;
    return r;
}

std::string aviso(std::size_t letras) {
    return "\n\n[…CORTADO: la respuesta medía " + std::to_string(letras) +
           " letras y sólo caben 44000. Pide algo más pequeño: el id de una sección en vez de la mesa entera "
           "(leer({id}) te da la sección con el CSS que usa).]";
}

TEST(Letras, AcotarTextosLargos) {
    struct Caso {
        const char* nombre;
        std::string pieza;
    };
    const std::vector<Caso> casos = {
        {"ASCII", "a"},
        {"letra con tilde combinada", eAcentuada},
        {"familia unida con ZWJ", familia},
        {"bandera", espana},
        {"sílaba hangul en jamo", jamo},
        {"CR LF", "\r\n"},
    };
    for (const auto& c : casos) {
        const Json justo = {{"type", "text"}, {"text", repetir(c.pieza, limiteLetras)}};
        EXPECT_EQ(acotar(justo), justo) << c.nombre;

        const Json largo = {{"type", "text"}, {"text", repetir(c.pieza, limiteLetras + 1)}, {"annotations", {1}}};
        const Json cortado = acotar(largo);
        EXPECT_EQ(cortado["text"], repetir(c.pieza, letrasConservadas) + aviso(limiteLetras + 1)) << c.nombre;
        EXPECT_EQ(cortado["annotations"], largo["annotations"]) << c.nombre;
        EXPECT_EQ(cortado["type"], "text");
    }
}

TEST(Letras, AcotarSoloTocaTexto) {
    const std::string mucho = repetir("a", limiteLetras + 10);
    const std::vector<Json> intactos = {
        {{"type", "image"}, {"data", mucho}, {"mimeType", "image/png"}},
        {{"type", "resource"}, {"text", mucho}},
        {{"text", mucho}},
        {{"type", "text"}, {"text", 5}},
        Json::object(),
        Json("suelto"),
    };
    for (const auto& item : intactos) EXPECT_EQ(acotar(item), item);

    // Inside a tool result every long item is cut, each on its own.
    const Json items = Json::array({{{"type", "text"}, {"text", "corto"}}, {{"type", "text"}, {"text", mucho}}});
    const Json r = Json::parse(respuestaDeHerramienta("1", items).cuerpo);
    EXPECT_EQ(r["result"]["content"][0]["text"], "corto");
    EXPECT_EQ(r["result"]["content"][1]["text"], repetir("a", letrasConservadas) + aviso(limiteLetras + 10));
}

}  // namespace
}  // namespace sorvenia
