#include "plataforma/recursos.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "plataforma/carpetas.h"

namespace sorvenia {
namespace {
namespace fs = std::filesystem;
namespace detalle = Recursos::detalle;
using Lista = std::vector<fs::path>;

TEST(Recursos, CandidatasEnOrden) {
    const struct {
        const char* variable;
        fs::path compilados, fuente, ejecutable;
        Lista esperado;
    } casos[] = {
        {nullptr, "", "/src/st", "/opt/st/bin/sorvenia-tarvel",
         {"/src/st/resources", "/opt/st/share/sorvenia-tarvel/resources"}},
        {"/mis/recursos", "", "/src/st", "/usr/bin/sorvenia-tarvel",
         {"/mis/recursos", "/src/st/resources", "/usr/share/sorvenia-tarvel/resources"}},
        {nullptr, "/src/st/build/resources", "/src/st", "/src/st/build/sorvenia-tarvel",
         {"/src/st/build/resources", "/src/st/resources", "/src/st/share/sorvenia-tarvel/resources"}},
        {"relativos", "", "", "", {fs::current_path() / "relativos"}},
        {"", "", "", "/usr/bin/sorvenia-tarvel", {"/usr/share/sorvenia-tarvel/resources"}},
        {nullptr, "", "", "", {}},
    };
    for (const auto& caso : casos)
        EXPECT_EQ(detalle::candidatas(caso.variable, caso.compilados, caso.fuente, caso.ejecutable), caso.esperado)
            << (caso.variable ? caso.variable : "(null)");
}

struct RecursosTest : ::testing::Test {
    void SetUp() override {
        auto creada = CarpetaTemporal::crear("recursos-");
        ASSERT_TRUE(creada) << creada.fallo().mensaje;
        carpeta = std::move(*creada);
        raiz = fs::canonical(carpeta.ruta());
        fs::create_directories(raiz / "a/resources/editor");
        std::ofstream(raiz / "a/resources/editor/inicio.html") << "<p>";
        fs::create_directories(raiz / "b/resources");
        std::ofstream(raiz / "fichero") << "x";
        fs::create_symlink(raiz / "a/resources", raiz / "enlace");
    }
    CarpetaTemporal carpeta;
    fs::path raiz;
};

TEST_F(RecursosTest, PrimeraCarpetaQueExiste) {
    EXPECT_EQ(detalle::primera({raiz / "falta", raiz / "fichero", raiz / "b/resources", raiz / "a/resources"}),
              raiz / "b/resources");
    EXPECT_EQ(detalle::primera({raiz / "enlace"}), raiz / "a/resources");  // canonical
    EXPECT_EQ(detalle::primera({raiz / "b/../a/resources"}), raiz / "a/resources");
    EXPECT_EQ(detalle::primera({raiz / "falta", raiz / "fichero"}), std::nullopt);
    EXPECT_EQ(detalle::primera({}), std::nullopt);
}

TEST_F(RecursosTest, RutasBajoLaCarpeta) {
    const std::optional<fs::path> base = raiz / "a/resources";
    EXPECT_EQ(detalle::bajo(base, "editor/inicio.html"), raiz / "a/resources/editor/inicio.html");
    EXPECT_EQ(detalle::bajo(base, "editor"), raiz / "a/resources/editor");
    for (std::string_view mala : {"editor/falta.html", "falta", "../b/resources", "editor/../../b", "/etc/hostname"})
        EXPECT_EQ(detalle::bajo(base, mala), std::nullopt) << mala;
    EXPECT_EQ(detalle::bajo(std::nullopt, "editor"), std::nullopt);
}

// carpeta() is worked out once per process; no other test calls it.
TEST_F(RecursosTest, LaVariableVaPrimero) {
    setenv("SORVENIA_RECURSOS", (raiz / "enlace").c_str(), 1);
    EXPECT_EQ(Recursos::carpeta(), raiz / "a/resources");
    EXPECT_EQ(Recursos::ruta("editor/inicio.html"), raiz / "a/resources/editor/inicio.html");
    EXPECT_EQ(Recursos::ruta("editor/falta.html"), std::nullopt);
    unsetenv("SORVENIA_RECURSOS");
}

}  // namespace
}  // namespace sorvenia
