#include "ias/publicar_vps_correr.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace sorvenia::PublicarVPS {
namespace {

TEST(PublicarVPSCorrer, CorreHastaElFinYDevuelveExitoYTexto) {
    setenv("SORVENIA_A", "viejo", 1);
    setenv("SORVENIA_B", "queda", 1);
    const std::string eco = "printf '%s %s|' \"$SORVENIA_A\" \"$SORVENIA_B\"; [ \"$PATH\" = \"$1\" ] && echo mismo-path";
    const struct {
        std::string programa;
        std::vector<std::string> argumentos;
        Entorno entorno;
        std::optional<std::string> entrada;
        std::pair<bool, std::string> esperado;
    } casos[] = {
        {"/no/existe", {}, {}, std::nullopt, {false, "no arranca"}},
        {"/bin/sh", {"-c", "echo 'sin permiso' >&2; exit 1"}, {}, std::nullopt, {false, "sin permiso\n"}},
        {"/bin/sh", {"-c", "echo a; echo b >&2; echo c"}, {}, std::nullopt, {true, "a\nb\nc\n"}},
        {"/bin/sh", {"-c", "printf 'x\\377y'"}, {}, std::nullopt, {true, "x\xEF\xBF\xBDy"}},
        {"/bin/cat", {}, {}, std::nullopt, {true, ""}},
        {"/bin/cat", {}, {}, std::string(), {true, ""}},
        {"/bin/cat", {}, {}, std::string("hola\nadiós"), {true, "hola\nadiós"}},
        {"/bin/sh", {"-c", "wc -c"}, {}, std::string(1 << 20, 'x'), {true, "1048576\n"}},
        {"/bin/sh", {"-c", eco, "sh", std::getenv("PATH")}, {{"SORVENIA_A", "nuevo"}}, std::nullopt,
         {true, "nuevo queda|mismo-path\n"}},
    };
    for (const auto& c : casos)
        EXPECT_EQ(correr(c.programa, c.argumentos, c.entorno, c.entrada), c.esperado)
            << ::testing::PrintToString(c.argumentos);
}

}  // namespace
}  // namespace sorvenia::PublicarVPS
