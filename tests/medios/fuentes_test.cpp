// The font library with real font files (Debian's DejaVu faces, and the
// Inter WOFF2 the resources ship): what is read from each file, adding,
// duplicates, deleting a family, the index, the "fuente" URLs and inlining.
#include "medios/fuentes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "aislado.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

const fs::path dejavu = "/usr/share/fonts/truetype/dejavu";

std::string leerTodo(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class FuentesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::error_code ec;
        fs::remove_all(Fuentes::carpeta(), ec);
        origen = prueba::raizAislada() / "origen";
        fs::remove_all(origen, ec);
        fs::create_directories(origen);
    }
    fs::path copiar(const fs::path& desde, const std::string& nombre) {
        fs::copy_file(desde, origen / nombre);
        return origen / nombre;
    }
    fs::path origen;
};

TEST_F(FuentesTest, LoQueDiceCadaArchivo) {
    struct Caso {
        std::string archivo;
        std::string peso;
        std::string estilo;
    } casos[] = {
        {"DejaVuSans.ttf", "400", "normal"},
        {"DejaVuSans-Bold.ttf", "700", "normal"},
        {"DejaVuSans-Oblique.ttf", "400", "oblique"},
        {"DejaVuSans-BoldOblique.ttf", "700", "oblique"},
        {"DejaVuSans-ExtraLight.ttf", "200", "normal"},
    };
    for (const auto& c : casos) {
        const auto d = Fuentes::leer(dejavu / c.archivo);
        ASSERT_TRUE(d) << c.archivo;
        EXPECT_EQ(d->familia, "DejaVu Sans") << c.archivo;
        EXPECT_EQ(d->peso, c.peso) << c.archivo;
        EXPECT_EQ(d->estilo, c.estilo) << c.archivo;
    }
    std::ofstream(origen / "roto.ttf") << "no es una fuente";
    EXPECT_FALSE(Fuentes::leer(origen / "roto.ttf"));
}

TEST_F(FuentesTest, AnadirRepetirYBorrar) {
    copiar(dejavu / "DejaVuSans.ttf", "Mi Fuente (1).ttf");
    copiar(dejavu / "DejaVuSans-Bold.ttf", "Negrita.ttf");
    copiar(dejavu / "DejaVuSerif.ttf", "._oculta.ttf");
    std::ofstream(origen / "roto.otf") << "x";
    std::ofstream(origen / "leeme.txt") << "x";
    const auto mensaje = Fuentes::anadir({origen});
    EXPECT_EQ(mensaje, "Añadidas 2 fuentes de 1 familia: DejaVu Sans. 1 no se han podido leer.");
    const auto lista = Fuentes::lista();
    ASSERT_EQ(lista.size(), 2u);
    for (const auto& f : lista) {
        EXPECT_TRUE(Fuentes::nombreValido(f.archivo)) << f.archivo;
        EXPECT_EQ(f.formato, "truetype");
        // Eight hex characters, "-", and the original name made safe.
        EXPECT_EQ(f.archivo.find_first_not_of("0123456789abcdef"), 8u);
    }
    const bool conEspacios =
        lista[0].archivo.substr(9) == "Mi-Fuente--1-.ttf" || lista[1].archivo.substr(9) == "Mi-Fuente--1-.ttf";
    EXPECT_TRUE(conEspacios) << lista[0].archivo << " " << lista[1].archivo;
    // The source stays; a second time there is nothing new.
    EXPECT_TRUE(fs::exists(origen / "Negrita.ttf"));
    const auto indice = leerTodo(Fuentes::carpeta() / "fuentes.json");
    EXPECT_EQ(Fuentes::anadir({origen / "Negrita.ttf"}), "Esas fuentes ya estaban.");
    EXPECT_EQ(leerTodo(Fuentes::carpeta() / "fuentes.json"), indice);
    EXPECT_EQ(Fuentes::anadir({origen / "leeme.txt"}),
              "No había fuentes en lo que has elegido (.ttf, .otf, .woff o .woff2).");

    Fuentes::borrarFamilia("dejavu sans");  // exact names only
    EXPECT_EQ(Fuentes::lista().size(), 2u);
    Fuentes::borrarFamilia("DejaVu Sans");
    EXPECT_TRUE(Fuentes::lista().empty());
    for (const auto& f : lista) EXPECT_FALSE(fs::exists(Fuentes::carpeta() / f.archivo));
}

TEST_F(FuentesTest, UnaWoff2GanaASuTtfYSeSirve) {
    const fs::path inter = fs::path(SORVENIA_RECURSOS_COMPILADOS) / "editor" / "fuentes" / "inter.woff2";
    if (!fs::exists(inter)) GTEST_SKIP() << "sin " << inter;
    copiar(inter, "Inter.woff2");
    copiar(dejavu / "DejaVuSans.ttf", "Inter.ttf");
    EXPECT_EQ(Fuentes::anadir({origen}), "Añadidas 1 fuente de 1 familia: Inter.");
    const auto f = Fuentes::lista().at(0);
    EXPECT_EQ(f.formato, "woff2");
    EXPECT_EQ(Fuentes::mime(f.archivo), "font/woff2");
    EXPECT_EQ(Fuentes::servir("fuente://local/" + f.archivo), leerTodo(inter));
    EXPECT_EQ(Fuentes::servir("fuente://otro/a/b/" + f.archivo), leerTodo(inter));
    const std::string html =
        "a url(fuente://local/" + f.archivo + ") b url(fuente://local/" + f.archivo + ") c fuente://local/falta.ttf";
    const std::string hecho = Fuentes::incrustar(html);
    const auto uri = hecho.find("data:font/woff2;base64,");
    ASSERT_NE(uri, std::string::npos);
    EXPECT_NE(hecho.find("data:font/woff2;base64,", uri + 1), std::string::npos);
    EXPECT_NE(hecho.find("fuente://local/falta.ttf"), std::string::npos);
    EXPECT_EQ(Fuentes::incrustar("sin nada"), "sin nada");
}

TEST(FuentesNombres, ReglasDeNombresYTipos) {
    EXPECT_TRUE(Fuentes::nombreValido(std::string(121, 'a')));
    EXPECT_FALSE(Fuentes::nombreValido(std::string(122, 'a')));
    for (const char* malo : {"", ".a", "-a", "a..b", "a/b", "a b"}) EXPECT_FALSE(Fuentes::nombreValido(malo)) << malo;
    EXPECT_FALSE(Fuentes::servir("fuente://local/..%2F..%2Fetc%2Fpasswd"));
    EXPECT_FALSE(Fuentes::servir("fuente://local/no-existe.ttf"));
    EXPECT_EQ(Fuentes::mime("A.WOFF2"), "font/woff2");
    EXPECT_EQ(Fuentes::mime("a.otf"), "font/otf");
    EXPECT_EQ(Fuentes::mime("a.bin"), "font/ttf");
    EXPECT_EQ(Fuentes::formato("OTF"), "opentype");
    EXPECT_EQ(Fuentes::formato("woff"), "woff");
}

TEST_F(FuentesTest, UnIndiceRaroEsUnaBibliotecaVacia) {
    fs::copy_file(dejavu / "DejaVuSans.ttf", Fuentes::carpeta() / "a.ttf");
    std::ofstream(Fuentes::carpeta() / "fuentes.json") << R"([{"familia":"A","archivo":"a.ttf"}])";
    const auto l = Fuentes::lista();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].peso, "400");
    EXPECT_EQ(l[0].estilo, "normal");
    EXPECT_EQ(l[0].formato, "truetype");
    std::ofstream(Fuentes::carpeta() / "fuentes.json") << R"([{"familia":"A","archivo":"a.ttf","peso":400}])";
    EXPECT_TRUE(Fuentes::lista().empty());
    std::ofstream(Fuentes::carpeta() / "fuentes.json") << R"([{"familia":"A","archivo":"falta.ttf"}])";
    EXPECT_TRUE(Fuentes::lista().empty());
}

}  // namespace
}  // namespace sorvenia
