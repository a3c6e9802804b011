// Exports reach the place the user chose whole or not at all: files and new
// folders appear under their final name only when complete, an existing
// folder keeps what the export does not replace, and the notice counts the
// pages that were really written.
#include "editor/exportacion.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "editor/escenas.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using Archivos = std::vector<std::pair<std::string, std::string>>;

std::string leer(const fs::path& archivo) {
    std::ifstream entrada(archivo, std::ios::binary);
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

void escribir(const fs::path& archivo, const std::string& texto) { std::ofstream(archivo, std::ios::binary) << texto; }

std::set<std::string> nombres(const fs::path& carpeta) {
    std::set<std::string> r;
    for (const auto& e : fs::directory_iterator(carpeta)) r.insert(e.path().filename().string());
    return r;
}

class ExportacionTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(lugar_); }
    void TearDown() override {
        fs::remove_all(lugar_);
        fs::remove_all(Escenas::carpeta(doc_));
    }
    fs::path lugar_ = fs::temp_directory_path() / ("exportacion-" + std::to_string(::getpid()));
    std::string doc_ = "exportacion-" + std::to_string(::getpid());
};

TEST_F(ExportacionTest, UnArchivoEnteroONada) {
    const fs::path png = lugar_ / "Mi diseño.png";
    ASSERT_TRUE(Exportacion::escribirArchivo(png, "primera"));
    ASSERT_TRUE(Exportacion::escribirArchivo(png, "segunda"));
    EXPECT_EQ(leer(png), "segunda");
    EXPECT_EQ(nombres(lugar_), std::set<std::string>{"Mi diseño.png"});

    // A place that cannot take it: a sentence naming the file, and nothing
    // left behind under any name.
    const auto sinCarpeta = Exportacion::escribirArchivo(lugar_ / "no-hay" / "a.html", "x");
    ASSERT_FALSE(sinCarpeta);
    EXPECT_NE(sinCarpeta.fallo().mensaje.find("a.html"), std::string::npos);
    fs::create_directory(lugar_ / "es-carpeta.html");
    EXPECT_FALSE(Exportacion::escribirArchivo(lugar_ / "es-carpeta.html", "x"));
    EXPECT_EQ(nombres(lugar_), (std::set<std::string>{"Mi diseño.png", "es-carpeta.html"}));
}

TEST_F(ExportacionTest, UnaWebNuevaConSusEscenas) {
    fs::create_directories(Escenas::carpeta(doc_));
    escribir(Escenas::carpeta(doc_) / "ola.mp4", "video");
    escribir(Escenas::carpeta(doc_) / "ola.jpg", "poster");
    const Archivos archivos = {{"index.html", R"(<video data-escena="ola" src="escenas/ola.mp4"></video>)"},
                               {"servicios.html", "<p>servicios</p>"}};
    const auto web = Exportacion::escribirWeb(lugar_ / "Mi web", archivos, doc_);
    EXPECT_EQ(web.escritas, 2);
    EXPECT_EQ(Exportacion::aviso(web), "Web exportada: 2 páginas en Mi web");
    // Only the finished folder, no temporary one beside it.
    EXPECT_EQ(nombres(lugar_), std::set<std::string>{"Mi web"});
    EXPECT_EQ(nombres(lugar_ / "Mi web"), (std::set<std::string>{"index.html", "servicios.html", "escenas"}));
    EXPECT_EQ(leer(lugar_ / "Mi web" / "servicios.html"), "<p>servicios</p>");
    EXPECT_EQ(leer(lugar_ / "Mi web" / "escenas" / "ola.mp4"), "video");
    EXPECT_EQ(leer(lugar_ / "Mi web" / "escenas" / "ola.jpg"), "poster");
}

TEST_F(ExportacionTest, EnUnaCarpetaQueYaExiste) {
    const fs::path carpeta = lugar_ / "web";
    fs::create_directories(carpeta / "contacto.html");  // a folder where a page should go
    escribir(carpeta / "index.html", "vieja");
    escribir(carpeta / "antigua.html", "de antes");
    const Archivos archivos = {{"index.html", "nueva"}, {"contacto.html", "contacto"}, {"mas.html", "mas"}};
    const auto web = Exportacion::escribirWeb(carpeta, archivos, std::nullopt);
    EXPECT_EQ(web.escritas, 2);
    EXPECT_EQ(Exportacion::aviso(web), "Web exportada: 2 de 3 páginas en web");
    EXPECT_EQ(leer(carpeta / "index.html"), "nueva");
    EXPECT_EQ(leer(carpeta / "antigua.html"), "de antes");
    EXPECT_EQ(nombres(carpeta), (std::set<std::string>{"index.html", "antigua.html", "contacto.html", "mas.html"}));
}

TEST_F(ExportacionTest, NadaEscritoNadaQueda) {
    escribir(lugar_ / "fichero", "no es una carpeta");
    const Archivos archivos = {{"index.html", "x"}};
    const auto web = Exportacion::escribirWeb(lugar_ / "fichero" / "web", archivos, std::nullopt);
    EXPECT_EQ(web.escritas, 0);
    EXPECT_EQ(Exportacion::aviso(web), "No se ha podido exportar la web.");
    EXPECT_EQ(nombres(lugar_), std::set<std::string>{"fichero"});
}

TEST(ExportacionAviso, Textos) {
    const struct {
        Exportacion::Web web;
        const char* esperado;
    } casos[] = {
        {{"/a/Mi web", 3, 3}, "Web exportada: 3 páginas en Mi web"},
        {{"/a/web", 1, 1}, "Web exportada: 1 página en web"},
        {{"/a/web", 1, 2}, "Web exportada: 1 de 2 páginas en web"},
        {{"/a/web", 0, 2}, "No se ha podido exportar la web."},
    };
    for (const auto& c : casos) EXPECT_EQ(Exportacion::aviso(c.web), c.esperado);
}

}  // namespace
}  // namespace sorvenia
