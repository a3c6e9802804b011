// Reading the test channel's request files.

#include "app/canal_pruebas/orden_canal.h"

#include <gtest/gtest.h>

namespace sorvenia::CanalPruebas {
namespace {

TEST(OrdenCanal, DestinoDeLaOrden) {
    const struct {
        std::string_view orden;
        std::string destino;
    } casos[] = {
        {"// web:inicio\nreturn 1;", "inicio"},
        {"// web:   ajustes  \nreturn 1;", "ajustes"},
        {"// web:\tconectar\t", "conectar"},
        {"\n\n// web: agencia\nreturn 1;", "agencia"},  // the first non-empty line counts
        {"//web: inicio\nreturn 1;", "editor"},          // not a target line
        {"return 1;\n// web: inicio", "editor"},
        {"", "editor"},
        {"\n\n\n", "editor"},
        {"// web: inicio\r\nreturn 1;", "inicio\r"},  // a CRLF line keeps its carriage return
        {"// web:", ""},
        {"  // web: inicio", "editor"},  // leading spaces: not a target line
    };
    for (const auto& caso : casos) EXPECT_EQ(destinoOrden(caso.orden), caso.destino) << caso.orden;
}

TEST(OrdenCanal, PeticionesRecortadas) {
    EXPECT_EQ(recortarPeticion("  ventana\r\n"), "ventana");
    EXPECT_EQ(recortarPeticion("\t\n "), "");
    EXPECT_EQ(destinoCaptura(" \n\t "), "editor");
    EXPECT_EQ(destinoCaptura("conectar\n"), "conectar");
    EXPECT_EQ(destinoCaptura(""), "editor");
}

TEST(OrdenCanal, SoloTextoUtf8) {
    EXPECT_TRUE(esUtf8(""));
    EXPECT_TRUE(esUtf8("return «ñ» + '€';"));
    EXPECT_FALSE(esUtf8("return \xff;"));
    EXPECT_FALSE(esUtf8("corte \xe2\x82"));      // cut short at the end
    EXPECT_FALSE(esUtf8("\xc0\xaf"));            // overlong
    EXPECT_FALSE(esUtf8("\xed\xa0\x80"));        // surrogate
}

}  // namespace
}  // namespace sorvenia::CanalPruebas
