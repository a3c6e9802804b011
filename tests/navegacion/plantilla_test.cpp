// The page-size templates of new designs.
#include "navegacion/plantilla.h"

#include <gtest/gtest.h>

#include <set>

namespace sorvenia {
namespace {

TEST(Plantilla, LaTablaEnSuOrden) {
    const std::vector<Plantilla> esperada{
        {"web", "Página web", 1440, 900, true},         {"webmovil", "Web móvil", 390, 844, true},
        {"escritorio", "Pantalla", 1440, 900, false},   {"tableta", "Tableta", 834, 1194, false},
        {"movil", "Móvil", 390, 844, false},            {"redes", "Post redes", 1080, 1350, false},
        {"presentacion", "Diapositiva", 1920, 1080, false}, {"aplicacion", "Aplicación", 1440, 900, true},
        {"appmovil", "App de móvil", 390, 844, false},
    };
    EXPECT_EQ(Plantilla::todas(), esperada);
    EXPECT_EQ(Plantilla::web(), esperada.front());
}

TEST(Plantilla, BuscarPorIdConElWebDeReserva) {
    struct Caso {
        const char* id;
        std::optional<const char*> encontrada;
        const char* conId;
    };
    const Caso casos[] = {
        {"movil", "movil", "movil"},
        {"webmovil", "webmovil", "webmovil"},
        {"escritorio", "escritorio", "escritorio"},
        {"Web", std::nullopt, "web"},  // exact case only
        {"", std::nullopt, "web"},
        {"bienvenida", std::nullopt, "web"},  // the welcome template is not in the table
        {"movil ", std::nullopt, "web"},
    };
    for (const auto& c : casos) {
        const auto p = Plantilla::buscar(c.id);
        EXPECT_EQ(p.has_value(), c.encontrada.has_value()) << c.id;
        if (p && c.encontrada) EXPECT_EQ(p->id, *c.encontrada) << c.id;
        EXPECT_EQ(Plantilla::conId(c.id).id, c.conId) << c.id;
    }
    // A phone page of fixed height, and the same size following its content.
    EXPECT_FALSE(Plantilla::conId("movil").altoAutomatico);
    EXPECT_TRUE(Plantilla::conId("webmovil").altoAutomatico);
}

TEST(Plantilla, IgualdadYBienvenida) {
    // Three rows of one size differ in name and in whether the height follows.
    const auto web = Plantilla::conId("web"), escritorio = Plantilla::conId("escritorio"),
               aplicacion = Plantilla::conId("aplicacion");
    EXPECT_NE(web, escritorio);
    EXPECT_NE(web, aplicacion);
    EXPECT_NE(escritorio, aplicacion);

    const Plantilla bienvenida = Plantilla::bienvenida();
    EXPECT_NE(bienvenida, web);
    Plantilla comoWeb = bienvenida;
    comoWeb.id = web.id;
    comoWeb.nombre = web.nombre;
    EXPECT_EQ(comoWeb, web) << "the welcome template differs from the web row only in id and name";
    EXPECT_EQ(bienvenida.nombre, "Bienvenida");

    std::set<std::string> ids{bienvenida.id};
    for (const auto& p : Plantilla::todas()) EXPECT_TRUE(ids.insert(p.id).second) << p.id;
}

}  // namespace
}  // namespace sorvenia
