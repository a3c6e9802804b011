#include "cuenta/json_valor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

namespace sorvenia {
namespace {

using nlohmann::json;

JSONValor de(std::string_view texto) {
    auto v = JSONValor::decodificar(texto);
    EXPECT_TRUE(v) << texto;
    return v.value_or(JSONValor());
}

TEST(JSONValor, CadaFormaDaSuCaso) {
    struct Caso {
        const char* texto;
        JSONValor::Caso caso;
    };
    const Caso casos[] = {
        {"null", JSONValor::Caso::nulo},      {"true", JSONValor::Caso::booleano},
        {"false", JSONValor::Caso::booleano}, {"1", JSONValor::Caso::numero},
        {"-2.5e3", JSONValor::Caso::numero},  {"\"1\"", JSONValor::Caso::texto},
        {"[]", JSONValor::Caso::lista},       {"{}", JSONValor::Caso::objeto},
    };
    for (const auto& c : casos) EXPECT_EQ(de(c.texto).caso(), c.caso) << c.texto;
    EXPECT_EQ(de("true").comoBool(), true);
    EXPECT_FALSE(de("1").comoBool()) << "a number never becomes a Boolean";
    EXPECT_EQ(de("1").comoNumero(), 1.0);
    EXPECT_EQ(de("-2.5e3").comoNumero(), -2500.0);
}

TEST(JSONValor, IdaYVueltaConservaEstructuraYValores) {
    const char* documentos[] = {
        R"({"mesas":[{"id":"a","html":"<p>Hola ñ 🙂</p>","x":1.5,"y":-3,"vacio":{},"nada":null,"si":true}],"orden":[]})",
        R"([[[],{}],"",0,1e-7,123456789012])",
        R"("solo texto")",
        "3",
        "null",
    };
    for (const char* texto : documentos) {
        SCOPED_TRACE(texto);
        const JSONValor v = de(texto);
        // Written compactly, read again, the same tree (key order apart).
        EXPECT_EQ(json::parse(v.cadena()), json::parse(texto));
        EXPECT_EQ(v.objeto(), json::parse(texto));
        const auto otra = JSONValor::decodificar(v.cadena());
        ASSERT_TRUE(otra);
        EXPECT_EQ(otra->cadena(), v.cadena());
    }
}

TEST(JSONValor, Cadena) {
    EXPECT_EQ(JSONValor().cadena(), "null");
    EXPECT_EQ(JSONValor("a/b\"c\\").cadena(), R"("a\/b\"c\\")");
    EXPECT_EQ(JSONValor(std::string("\n\t\x01", 3)).cadena(), R"("\n\t\u0001")");
    EXPECT_EQ(JSONValor(3).cadena(), "3");
    EXPECT_EQ(JSONValor(0.1).cadena(), "0.1");
    EXPECT_EQ(JSONValor(-0.0).cadena(), "-0.0");
    EXPECT_TRUE(std::signbit(*de(JSONValor(-0.0).cadena()).comoNumero()));
    EXPECT_EQ(JSONValor(JSONValor::Objeto{{"b", JSONValor(JSONValor::Lista{true, nullptr})}}).cadena(),
              R"({"b":[true,null]})");
    // One non-finite number makes the whole value unwritable.
    const JSONValor conInfinito(JSONValor::Objeto{{"a", 1}, {"b", std::numeric_limits<double>::infinity()}});
    EXPECT_EQ(conInfinito.cadena(), "null");
    EXPECT_EQ(JSONValor(std::nan("")).cadena(), "null");
    // Bytes that are not UTF-8 come out repaired, never as invalid text.
    EXPECT_EQ(JSONValor(std::string("a\xff")).cadena(), "\"a\xEF\xBF\xBD\"");
}

TEST(JSONValor, NumerosSiempreDobles) {
    // Past 2^53 only double precision is kept.
    const JSONValor grande = de("9007199254740993");
    EXPECT_EQ(grande.comoNumero(), 9007199254740992.0);
    EXPECT_EQ(de("3").objeto(), json(3.0));
    EXPECT_TRUE(de("3").objeto().is_number_float());
    EXPECT_FALSE(JSONValor::decodificar("1e400")) << "out of the range of a double";
}

TEST(JSONValor, ObjetoSueltoConservaLosNulos) {
    const JSONValor v = de(R"({"a":null,"b":[null]})");
    const json suelto = v.objeto();
    ASSERT_TRUE(suelto.contains("a"));
    EXPECT_TRUE(suelto["a"].is_null());
    EXPECT_EQ(suelto["b"].size(), 1u);
    EXPECT_EQ(de("{}").objeto(), json::object());
    EXPECT_EQ(de("[]").objeto(), json::array());
}

TEST(JSONValor, RechazaLoQueNoEsJSONOEsDemasiadoHondo) {
    for (const char* malo : {"", "{", "nul", "[1,]", "{\"a\" 1}", "1 2", "'a'"}) {
        EXPECT_FALSE(JSONValor::decodificar(malo)) << malo;
    }
    const auto anidado = [](int n) { return std::string(static_cast<std::size_t>(n), '[') + std::string(static_cast<std::size_t>(n), ']'); };
    EXPECT_TRUE(JSONValor::decodificar(anidado(JSONValor::profundidadMaxima)));
    EXPECT_FALSE(JSONValor::decodificar(anidado(JSONValor::profundidadMaxima + 1)));
    EXPECT_FALSE(JSONValor::decodificar(anidado(100000)));
}

TEST(JSONValor, CopiarEsIndependiente) {
    JSONValor a(JSONValor::Objeto{{"k", JSONValor(JSONValor::Lista{1, 2})}});
    JSONValor b = a;
    a = JSONValor("otro");
    EXPECT_EQ(b.cadena(), R"({"k":[1,2]})");
}

}  // namespace
}  // namespace sorvenia
