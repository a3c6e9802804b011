// The project's state file (what a damaged file reads as, what each rewrite
// keeps) and the names a project takes from its design's name: folder names
// that are always safe under the projects root, and the mobile type name,
// application id and display name.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "aislado.h"
#include "aplicaciones/nombres_proyecto.h"
#include "aplicaciones/proyecto_aplicacion.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class EstadoProyecto : public ::testing::Test {
protected:
    void SetUp() override {
        carpeta_ = prueba::raizAislada() / "estado" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(carpeta_);
    }
    void escribirEstado(const std::string& bytes) {
        std::ofstream(carpeta_ / ".sorvenia-code.json", std::ios::binary) << bytes;
    }
    json leerEstado() {
        std::ifstream e(carpeta_ / ".sorvenia-code.json");
        return json::parse(e);
    }
    fs::path carpeta_;
};

TEST_F(EstadoProyecto, UnArchivoIlegibleOMalFormadoSeLeeVacio) {
    struct Caso {
        const char* bytes;
        bool movil;
        std::optional<std::string> sesion;
    };
    const Caso casos[] = {
        {R"({"tipo": "movil", "sesion": 42})", true, std::nullopt},
        {R"({"tipo": "web", "sesion": "abc"})", false, "abc"},
        {R"({"tipo": ["movil"]})", false, std::nullopt},
        {R"(["movil"])", false, std::nullopt},
        {"{\"tipo\": \"movil\", \"sesion\": \"x", false, std::nullopt},
        {"{\"sesion\": \"\xff\xfe\"}", false, std::nullopt},
        {"", false, std::nullopt},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.bytes);
        escribirEstado(caso.bytes);
        const ProyectoAplicacion p(carpeta_);
        EXPECT_EQ(p.esMovil(), caso.movil);
        EXPECT_EQ(p.sesion(), caso.sesion);
    }
    fs::remove(carpeta_ / ".sorvenia-code.json");
    const ProyectoAplicacion sinArchivo(carpeta_);
    EXPECT_FALSE(sinArchivo.esMovil());
    EXPECT_EQ(sinArchivo.sesion(), std::nullopt);
    EXPECT_EQ(sinArchivo.estado(), json::object());
}

TEST_F(EstadoProyecto, LaSesionVaYVieneYLoDemasSeConserva) {
    ProyectoAplicacion p(carpeta_);
    p.fijarSesion("s-1");
    EXPECT_EQ(leerEstado(), (json{{"sesion", "s-1"}}));
    EXPECT_EQ(p.sesion(), "s-1");
    p.fijarSesion(std::nullopt);
    EXPECT_EQ(leerEstado(), json::object());

    escribirEstado(R"({"tipo": "movil", "otra": {"a": [1, 2]}})");
    p.fijarSesion("s-2");
    EXPECT_EQ(leerEstado(), (json{{"tipo", "movil"}, {"otra", {{"a", {1, 2}}}}, {"sesion", "s-2"}}));
    EXPECT_TRUE(p.esMovil());
    // A text that is not UTF-8 is written repaired, never as a broken file.
    p.fijarSesion(std::string("a\xff"));
    EXPECT_EQ(leerEstado()["sesion"], "a\xEF\xBF\xBD");
    EXPECT_EQ(leerEstado()["tipo"], "movil");

    // A damaged file is replaced by the key being set.
    escribirEstado("no es json");
    p.fijarSesion("s-3");
    EXPECT_EQ(leerEstado(), (json{{"sesion", "s-3"}}));
}

TEST_F(EstadoProyecto, LaCopiaDelDisenoSeReemplazaEnteraYSoloConNombresSimples) {
    ProyectoAplicacion p(carpeta_);
    p.guardarDiseno({{"index.html", "<h1>Hola</h1>"}, {"contacto.html", "<p>c</p>"}});
    p.guardarDiseno({{"index.html", "<h1>Otra</h1>"}, {"../fuera.html", "x"}, {"..", "x"}, {"a/b.html", "x"}});
    std::vector<std::string> nombres;
    for (const auto& e : fs::directory_iterator(carpeta_ / "diseno")) nombres.push_back(e.path().filename().string());
    EXPECT_EQ(nombres, std::vector<std::string>{"index.html"});
    std::stringstream s;
    s << std::ifstream(carpeta_ / "diseno/index.html").rdbuf();
    EXPECT_EQ(s.str(), "<h1>Otra</h1>");
    EXPECT_FALSE(fs::exists(carpeta_ / "fuera.html"));
    p.guardarDiseno({});
    EXPECT_TRUE(fs::is_directory(carpeta_ / "diseno"));
    EXPECT_TRUE(fs::is_empty(carpeta_ / "diseno"));
}

TEST(NombresProyecto, ElNombreDeCarpetaEsSeguro) {
    const std::pair<const char*, const char*> casos[] = {
        {"Mi Tienda Ñandú", "mi-tienda-nandu"},
        {"2048 juego", "app-2048-juego"},
        {"¡¡Hola!!", "hola"},
        {"Café & Té", "cafe-te"},
        {"", "app"},
        {"😀🎉", "app"},
        {"---", "app"},
        {"日本語", "app"},
        {"../../etc/passwd", "etc-passwd"},
        {"..", "app"},
        {".oculto", "oculto"},
        {"-rf --no-preserve-root", "rf-no-preserve-root"},
        {"a/b\\c", "a-b-c"},
        {"una aplicación con un nombre muy largo de verdad", "una-aplicacion-con-un-nombre"},
        {"abcdefghijklmnopqrstuvwxyz0-ab", "abcdefghijklmnopqrstuvwxyz0"},
        {"ÀÉÎÕÜ ç", "aeiou-c"},
    };
    for (const auto& [nombre, esperado] : casos) {
        SCOPED_TRACE(nombre);
        const std::string s = ProyectoAplicacion::slug(nombre);
        EXPECT_EQ(s, esperado);
        EXPECT_LE(s.size(), 32u);
        EXPECT_EQ(s.find('/'), std::string::npos);
        EXPECT_EQ(s.find(".."), std::string::npos);
        EXPECT_NE(s.front(), '.');
        EXPECT_NE(s.front(), '-');
    }
}

TEST(NombresProyecto, NombresDeLaAppMovil) {
    struct Caso {
        const char* nombre;
        const char* tipo;
        const char* visible;
        const char* limpio;
    };
    const Caso casos[] = {
        {"Mi tienda de café", "MiTiendaDeCafe", "Mi tienda de café", "Mi tienda de café"},
        {"2048 juego", "MiApp2048Juego", "2048 juego", "2048 juego"},
        {"Sin título", "MiApp", "Mi App", "Mi App"},
        {"", "MiApp", "Mi App", "Mi App"},
        {"😀", "MiApp", "😀", "😀"},
        {"Café \"El <Rincón>\" & Co", "CafeElRinconCo", "Café \"El <Rincón>\" & Co", "Café El Rincón> y Co"},
        {"app-de mARTA", "AppDeMARTA", "app-de mARTA", "app-de mARTA"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        const std::string visible = NombresProyecto::nombreVisible(c.nombre);
        EXPECT_EQ(visible, c.visible);
        EXPECT_EQ(NombresProyecto::nombreTipo(visible), c.tipo);
        EXPECT_EQ(NombresProyecto::nombreLimpio(visible), c.limpio);
    }
    EXPECT_EQ(NombresProyecto::idAplicacion("MiTiendaDeCafe"), "es.sorvenia.code.mitiendadecafe");
}

}  // namespace
}  // namespace sorvenia
