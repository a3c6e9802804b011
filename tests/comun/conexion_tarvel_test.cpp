#include "comun/conexion_tarvel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace sorvenia {
namespace {

using ConexionTarvel::Conexion;

struct Caso {
    const char* fichero;
    std::optional<Conexion> esperado;
};

TEST(ConexionTarvel, InterpretaSoloFicherosUtiles) {
    const Caso casos[] = {
        {R"({"token":"ab"})", Conexion{39847, "ab"}},
        {R"({"puerto":65535,"token":"ab"})", Conexion{65535, "ab"}},
        {R"({"puerto":1,"token":"ab","otro":[1]})", Conexion{1, "ab"}},
        {R"({"puerto":0,"token":"ab"})", std::nullopt},
        {R"({"puerto":65536,"token":"ab"})", std::nullopt},
        {R"({"puerto":-1,"token":"ab"})", std::nullopt},
        {R"({"puerto":"4000","token":"ab"})", Conexion{39847, "ab"}},
        {R"({"puerto":4000.0,"token":"ab"})", Conexion{4000, "ab"}},
        {R"({"puerto":4000.5,"token":"ab"})", Conexion{39847, "ab"}},
        {R"({"puerto":true,"token":"ab"})", Conexion{39847, "ab"}},
        {R"({"puerto":null,"token":"ab"})", Conexion{39847, "ab"}},
        {R"({"puerto":1e300,"token":"ab"})", Conexion{39847, "ab"}},
        {R"({"puerto":18446744073709551615,"token":"ab"})", Conexion{39847, "ab"}},
        {R"({"token":"   "})", Conexion{39847, "   "}},
        {R"({"token":""})", std::nullopt},
        {R"({"puerto":4000})", std::nullopt},
        {R"({"token":12})", std::nullopt},
        {R"([{"token":"ab"}])", std::nullopt},
        {"", std::nullopt},
        {R"({"token":"ab")", std::nullopt},
        {"{\"token\":\"a\xff\"}", std::nullopt},
    };
    for (const auto& caso : casos)
        EXPECT_EQ(ConexionTarvel::interpretar(caso.fichero), caso.esperado) << caso.fichero;
}

TEST(ConexionTarvel, CarpetasBajoElHogarDelUsuario) {
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    const std::filesystem::path casa(home);
    EXPECT_EQ(ConexionTarvel::carpeta(), casa / ".local/share/SorveniaTarvel");
    EXPECT_EQ(ConexionTarvel::fichero(), casa / ".local/share/SorveniaTarvel/mcp.json");
    EXPECT_EQ(ConexionTarvel::puente(), casa / ".sorvenia-tarvel/bin/tarvel");
}

}  // namespace
}  // namespace sorvenia
