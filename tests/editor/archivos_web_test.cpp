// The website files made from the editor page's page list.
#include <gtest/gtest.h>

#include "centro/editor_modelo.h"
#include "editor/gui/renderizador.h"

namespace sorvenia {
namespace {

using nlohmann::json;

std::vector<std::string> nombres(const json& paginas) {
    std::vector<std::string> r;
    for (const auto& [nombre, documento] : EditorModelo::archivosWeb(paginas, "Mi web")) r.push_back(nombre);
    return r;
}

TEST(ArchivosWeb, ElNombreDeCadaArchivo) {
    const struct {
        const char* caso;
        json paginas;
        std::vector<std::string> esperados;
    } casos[] = {
        {"home and named pages",
         json::array({{{"nombre", "Inicio"}, {"inicio", true}}, {{"nombre", "Servicios"}}, {{"nombre", "Sobre nosotros"}}}),
         {"index.html", "servicios.html", "sobre-nosotros.html"}},
        {"repeated names", json::array({{{"nombre", "Contacto"}}, {{"nombre", "Contacto"}}, {{"nombre", "contacto"}}}),
         {"contacto.html", "contacto-2.html", "contacto-2-2.html"}},
        {"only the home page is index",
         json::array({{{"nombre", "Index"}}, {{"nombre", "***"}}, json::object(), {{"nombre", ""}}}),
         {"pagina.html", "pagina-2.html", "pagina-2-2.html", "pagina-2-2-2.html"}},
        {"two home pages", json::array({{{"inicio", true}}, {{"nombre", "Otra"}, {"inicio", true}}}),
         {"index.html", "index-2.html"}},
        {"flags and names of the wrong type",
         json::array({{{"nombre", 5}, {"inicio", "true"}}, {{"nombre", "Índice Ñandú"}, {"inicio", 1}}}),
         {"pagina.html", "indice-nandu.html"}},
        {"no pages", json::array(), {}},
        {"not a list", json::object(), {}},
    };
    for (const auto& c : casos) EXPECT_EQ(nombres(c.paginas), c.esperados) << c.caso;
}

TEST(ArchivosWeb, CadaPaginaEsUnDocumentoCompleto) {
    const json paginas = json::array({
        {{"nombre", "Inicio"}, {"inicio", true},
         {"html", R"(<video data-escena="ola" src="escenas/ola.mp4" poster="escenas/ola.jpg"></video>)"}},
        {{"html", "<p>sin nombre</p>"}},
        {{"nombre", "Vacía"}},
    });
    const auto archivos = EditorModelo::archivosWeb(paginas, "Mi web");
    ASSERT_EQ(archivos.size(), 3u);
    // The site loads its fonts from the web and keeps the scenes' relative
    // paths: the site's own "escenas/" folder holds them.
    EXPECT_EQ(archivos[0].second, Renderizador::documento(paginas[0]["html"], "Inicio", true));
    EXPECT_NE(archivos[0].second.find(R"(src="escenas/ola.mp4" poster="escenas/ola.jpg")"), std::string::npos);
    EXPECT_NE(archivos[0].second.find("<title>Inicio</title>"), std::string::npos);
    EXPECT_NE(archivos[0].second.find("https://fonts.googleapis.com/"), std::string::npos);
    EXPECT_EQ(archivos[0].second.find("escena://"), std::string::npos);
    // An unnamed page takes the design's name as its title.
    EXPECT_EQ(archivos[1].first, "pagina.html");
    EXPECT_EQ(archivos[1].second, Renderizador::documento("<p>sin nombre</p>", "Mi web", true));
    // A page without HTML is a document with an empty body.
    EXPECT_NE(archivos[2].second.find("<title>Vacía</title>"), std::string::npos);
    EXPECT_NE(archivos[2].second.find("<body></body>"), std::string::npos);
}

}  // namespace
}  // namespace sorvenia
