#include "comun/utf8.h"

#include <gtest/gtest.h>

namespace sorvenia {
namespace {

TEST(Utf8, ReparaCadaSecuenciaRotaConUnReemplazo) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::string entrada, salida;
    } casos[] = {
        {"hola ñ 🙂", "hola ñ 🙂"},
        {"a\xFF" "b", "a" + r + "b"},
        {"\xE2\x82", r},                     // cut short at the end
        {"\xE2\x82" "A", r + "A"},           // cut short in the middle: one replacement
        {"\xC0\xAF", r + r},                 // overlong
        {"\xED\xA0\x80", r + r + r},         // surrogate
        {"\xF4\x90\x80\x80", r + r + r + r}, // past U+10FFFF
        {"\x80\x80", r + r},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : casos) EXPECT_EQ(repararUtf8(c.entrada), c.salida) << c.entrada;
}

TEST(Utf8, LongitudSoloDeSecuenciasCompletas) {
    EXPECT_EQ(longitudSecuencia("a"), 1u);
    EXPECT_EQ(longitudSecuencia("ñx"), 2u);
    EXPECT_EQ(longitudSecuencia("🙂"), 4u);
    EXPECT_EQ(longitudSecuencia("\xF0\x9F\x99"), 0u);
    EXPECT_EQ(longitudSecuencia(""), 0u);
}

}  // namespace
}  // namespace sorvenia
