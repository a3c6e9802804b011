// Creating app projects in a folder of the test's own, with the real git and
// the application's own "apps" resources: the folder never taken over, the
// rules, ".gitignore", the first commit, the personalised mobile templates,
// and how a design finds its project afterwards.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "aislado.h"
#include "aplicaciones/proyecto_aplicacion.h"
#include "esperar_bucle.h"
#include "ias/publicar_vps_correr.h"
#include "plataforma/preferencias.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string leer(const fs::path& f) {
    std::ifstream e(f, std::ios::binary);
    std::stringstream s;
    s << e.rdbuf();
    return s.str();
}

std::string git(const fs::path& carpeta, std::vector<std::string> argumentos) {
    argumentos.insert(argumentos.begin(), {"-C", carpeta.string()});
    return PublicarVPS::correr("/usr/bin/git", argumentos, {}, std::nullopt).second;
}

const std::string lineasWeb = "node_modules/\ndatos/\n.env\n.env.*\n.claude/\n.sorvenia-code.json\n";

class CrearProyecto : public ::testing::Test {
protected:
    void SetUp() override {
        raiz_ = prueba::raizAislada() / "crear" / ::testing::UnitTest::GetInstance()->current_test_info()->name() /
                "Sorvenia Code";
        apps_ = fs::path(SORVENIA_FUENTE) / "resources/apps";
    }
    ProyectoAplicacion::Lugares lugares() const { return {raiz_, apps_}; }
    fs::path crear(const std::string& nombre, bool movil = false) {
        auto r = ProyectoAplicacion::crearCarpeta(lugares(), nombre, movil);
        EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.fallo().mensaje);
        return r.ok() ? *r : fs::path();
    }
    fs::path raiz_;
    fs::path apps_;
};

TEST_F(CrearProyecto, UnProyectoWebLlevaReglasGitignoreYSuPrimerCommit) {
    const fs::path p = crear("Mi Tienda Ñandú");
    ASSERT_EQ(p, raiz_ / "mi-tienda-nandu");
    const std::string reglas = leer(apps_ / "REGLAS.md");
    ASSERT_FALSE(reglas.empty());
    EXPECT_EQ(leer(p / "CLAUDE.md"), reglas);
    EXPECT_EQ(leer(p / "AGENTS.md"), reglas);
    EXPECT_EQ(leer(p / ".gitignore"), lineasWeb);
    EXPECT_FALSE(fs::exists(p / ".sorvenia-code.json"));
    EXPECT_FALSE(fs::exists(p / "ios"));

    EXPECT_EQ(git(p, {"rev-parse", "--abbrev-ref", "HEAD"}), "main\n");
    EXPECT_EQ(git(p, {"log", "--format=%s|%an|%ae"}),
              "Proyecto nuevo de Sorvenia Code|Sorvenia Code|code@sorvenia.example\n");
    EXPECT_EQ(git(p, {"ls-files"}), ".gitignore\nAGENTS.md\nCLAUDE.md\n");
    EXPECT_EQ(git(p, {"status", "--porcelain"}), "");
}

TEST_F(CrearProyecto, NuncaOcupaLoQueYaExiste) {
    EXPECT_EQ(crear("Tienda"), raiz_ / "tienda");
    EXPECT_EQ(crear("tienda"), raiz_ / "tienda-2");
    // Whatever holds a name, a file or a dangling link, keeps it.
    std::ofstream(raiz_ / "tienda-3") << "mío";
    fs::create_symlink(raiz_ / "no-existe", raiz_ / "tienda-4");
    EXPECT_EQ(crear("TIENDA"), raiz_ / "tienda-5");
    EXPECT_EQ(leer(raiz_ / "tienda-3"), "mío");
    EXPECT_TRUE(fs::is_symlink(raiz_ / "tienda-4"));
    EXPECT_FALSE(fs::exists(raiz_ / "no-existe"));

    EXPECT_EQ(crear("Sin título"), raiz_ / "mi-aplicacion");
    EXPECT_EQ(crear(""), raiz_ / "mi-aplicacion-2");
    EXPECT_EQ(crear("../../fuera"), raiz_ / "fuera");
    EXPECT_FALSE(fs::exists(raiz_.parent_path() / "fuera"));
}

TEST_F(CrearProyecto, SinRecursosNoCreaNadaYSinGitCreaSinRepositorio) {
    auto sinApps = ProyectoAplicacion::crearCarpeta({raiz_, std::nullopt}, "Tienda", false);
    ASSERT_FALSE(sinApps.ok());
    EXPECT_EQ(sinApps.fallo().mensaje, "Faltan las reglas de las aplicaciones dentro de la app.");
    EXPECT_EQ(sinApps.fallo().codigo, "plantilla");
    EXPECT_FALSE(fs::exists(raiz_));

    auto sinGit = ProyectoAplicacion::crearCarpeta({raiz_, apps_, "/no/existe/git"}, "Tienda", false);
    ASSERT_TRUE(sinGit.ok());
    EXPECT_TRUE(fs::exists(*sinGit / "CLAUDE.md"));
    EXPECT_FALSE(fs::exists(*sinGit / ".git"));

    // Rules missing from the resources: the failure names the copy; the
    // folder made before it stays.
    const fs::path appsSinMovil = raiz_.parent_path() / "apps";
    fs::create_directories(appsSinMovil);
    fs::copy_file(apps_ / "REGLAS.md", appsSinMovil / "REGLAS.md");
    auto sinReglas = ProyectoAplicacion::crearCarpeta({raiz_, appsSinMovil}, "Movil", true);
    ASSERT_FALSE(sinReglas.ok());
    EXPECT_NE(sinReglas.fallo().mensaje.find("CLAUDE.md"), std::string::npos) << sinReglas.fallo().mensaje;
    EXPECT_TRUE(fs::is_directory(raiz_ / "movil"));
}

TEST_F(CrearProyecto, UnProyectoMovilPersonalizaLasDosPlantillas) {
    const fs::path p = crear("Café \"El <Rincón>\" & Co", true);
    ASSERT_EQ(p, raiz_ / "cafe-el-rincon-co");
    EXPECT_EQ(leer(p / "CLAUDE.md"), leer(apps_ / "REGLAS-MOVIL.md"));
    EXPECT_EQ(leer(p / ".gitignore"), lineasWeb +
                                          "ios/build/\nandroid/.gradle/\nandroid/build/\nandroid/app/build/\n"
                                          "android/local.properties\n*.xcuserstate\nxcuserdata/\n");
    EXPECT_EQ(json::parse(leer(p / ".sorvenia-code.json")), (json{{"tipo", "movil"}}));
    EXPECT_TRUE(ProyectoAplicacion(p).esMovil());

    // iOS: the marker is gone from names (a file inside a folder of the
    // marker's name too) and contents.
    const std::string pbx = leer(p / "ios/CafeElRinconCo.xcodeproj/project.pbxproj");
    EXPECT_NE(pbx.find("INFOPLIST_KEY_CFBundleDisplayName = \"Café El Rincón> y Co\";"), std::string::npos);
    EXPECT_NE(pbx.find("PRODUCT_BUNDLE_IDENTIFIER = es.sorvenia.code.cafeelrinconco;"), std::string::npos);
    EXPECT_NE(leer(p / "ios/CafeElRinconCo/CafeElRinconCoApp.swift").find("struct CafeElRinconCoApp: App"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(p / "ios/LEEME.md"));

    // Android: the app name, the id, the package folder, the scripts.
    EXPECT_NE(leer(p / "android/app/src/main/res/values/strings.xml")
                  .find("<string name=\"app_name\">Café El Rincón> y Co</string>"),
              std::string::npos);
    EXPECT_NE(leer(p / "android/app/build.gradle.kts").find("applicationId = \"es.sorvenia.code.cafeelrinconco\""),
              std::string::npos);
    const fs::path actividad = p / "android/app/src/main/java/es/sorvenia/code/cafeelrinconco/MainActivity.kt";
    EXPECT_NE(leer(actividad).find("package es.sorvenia.code.cafeelrinconco\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(p / "android/app/src/main/java/es/sorvenia/code/plantilla"));
    EXPECT_FALSE(fs::exists(p / "android/LEEME.md"));
    for (const char* script : {"android/gradlew", "android/herramientas/movil.sh"}) {
        struct stat datos {};
        ASSERT_EQ(::stat((p / script).c_str(), &datos), 0) << script;
        EXPECT_EQ(datos.st_mode & 0777, 0755u) << script;
    }

    // Nothing of the templates' markers is left anywhere.
    for (const auto& e : fs::recursive_directory_iterator(p / "ios"))
        EXPECT_EQ(e.path().string().find("AppPlantilla"), std::string::npos) << e.path();
    for (const auto& raizMovil : {p / "ios", p / "android"})
        for (const auto& e : fs::recursive_directory_iterator(raizMovil)) {
            if (!e.is_regular_file()) continue;
            const std::string texto = leer(e.path());
            EXPECT_EQ(texto.find("AppPlantilla"), std::string::npos) << e.path();
            EXPECT_EQ(texto.find("es.sorvenia.code.plantilla"), std::string::npos) << e.path();
        }
    // Everything, the state file excepted, is in the first commit.
    EXPECT_EQ(git(p, {"status", "--porcelain", "--ignored"}), "!! .sorvenia-code.json\n");
    EXPECT_NE(git(p, {"ls-files"}).find("android/gradlew"), std::string::npos);
}

// crear() itself: the work off the main thread, the design's entry.
TEST(CrearProyectoDeDiseno, ElDisenoEncuentraSuProyectoMasNuevo) {
    auto& prefs = Preferencias::estandar();
    const auto primero = prueba::esperarTarea(ProyectoAplicacion::crear("d1", "Barbería", false));
    ASSERT_TRUE(primero && primero->ok()) << (primero && !primero->ok() ? primero->fallo().mensaje : "");
    const fs::path carpeta1 = (**primero)->carpeta();
    EXPECT_EQ(carpeta1, ProyectoAplicacion::raiz() / "barberia");
    EXPECT_EQ(ProyectoAplicacion::raiz(), prueba::raizAislada() / "casa/Sites/Sorvenia Code");
    EXPECT_EQ(prefs.mapaTextos("appDeDiseno").at("d1"), "barberia");
    ASSERT_TRUE(ProyectoAplicacion::de("d1"));
    EXPECT_EQ(ProyectoAplicacion::de("d1")->carpeta(), carpeta1);

    const auto segundo = prueba::esperarTarea(ProyectoAplicacion::crear("d1", "Barbería", false));
    ASSERT_TRUE(segundo && segundo->ok());
    EXPECT_EQ((**segundo)->carpeta(), ProyectoAplicacion::raiz() / "barberia-2");
    EXPECT_EQ(ProyectoAplicacion::de("d1")->carpeta(), ProyectoAplicacion::raiz() / "barberia-2");

    EXPECT_EQ(ProyectoAplicacion::de(std::nullopt), nullptr);
    EXPECT_EQ(ProyectoAplicacion::de("otro"), nullptr);
    // An entry whose folder went away, a plain file, or a name that would
    // lead out of the root: no project, and the entry stays.
    std::ofstream(ProyectoAplicacion::raiz() / "fichero") << "x";
    fs::create_directories(ProyectoAplicacion::raiz().parent_path() / "fuera");
    auto mapa = prefs.mapaTextos("appDeDiseno");
    mapa["borrado"] = "ya-no-esta";
    mapa["fichero"] = "fichero";
    mapa["fuera"] = "../fuera";
    mapa["vacio"] = "";
    prefs.fijarMapaTextos("appDeDiseno", mapa);
    for (const char* doc : {"borrado", "fichero", "fuera", "vacio"})
        EXPECT_EQ(ProyectoAplicacion::de(doc), nullptr) << doc;
    EXPECT_EQ(prefs.mapaTextos("appDeDiseno").at("borrado"), "ya-no-esta");
}

}  // namespace
}  // namespace sorvenia
