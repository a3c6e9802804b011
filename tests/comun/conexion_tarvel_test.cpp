#include "comun/conexion_tarvel.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
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

// Whatever sits at the path, reading answers at once, with nothing unless
// it is a small regular file. Each read runs aside so that a reader that
// blocks fails the test instead of hanging it.
TEST(ConexionTarvel, SoloUnFicheroNormalYPequeno) {
    namespace fs = std::filesystem;
    std::string plantilla = (fs::temp_directory_path() / "conexion-XXXXXX").string();
    ASSERT_NE(mkdtemp(plantilla.data()), nullptr);
    const fs::path carpeta = plantilla;
    const std::string valido = R"({"puerto":4000,"token":"ab"})";
    std::ofstream(carpeta / "bueno") << valido;
    std::ofstream(carpeta / "grande") << valido << std::string(ConexionTarvel::limiteFichero, ' ');
    std::ofstream(carpeta / "justo") << valido << std::string(ConexionTarvel::limiteFichero - valido.size(), ' ');
    fs::create_directory(carpeta / "carpeta");
    ASSERT_EQ(mkfifo((carpeta / "fifo").c_str(), 0600), 0);
    fs::create_symlink(carpeta / "bueno", carpeta / "enlace");
    fs::create_symlink("/dev/zero", carpeta / "cero");

    const struct {
        const char* nombre;
        std::optional<Conexion> esperado;
    } casos[] = {
        {"bueno", Conexion{4000, "ab"}}, {"justo", Conexion{4000, "ab"}}, {"grande", std::nullopt},
        {"carpeta", std::nullopt},       {"fifo", std::nullopt},          {"enlace", std::nullopt},
        {"cero", std::nullopt},          {"falta", std::nullopt},
    };
    for (const auto& caso : casos) {
        auto lectura = std::async(std::launch::async, [&] { return ConexionTarvel::leer(carpeta / caso.nombre); });
        if (lectura.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << caso.nombre << ": la lectura no vuelve";
            std::ofstream(carpeta / caso.nombre) << valido;  // a writer ends the wait on the FIFO
        }
        EXPECT_EQ(lectura.get(), caso.esperado) << caso.nombre;
    }
    fs::remove_all(carpeta);
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
