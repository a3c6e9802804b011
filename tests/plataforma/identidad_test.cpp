#include "plataforma/identidad.h"

#include <gtest/gtest.h>

namespace sorvenia {
namespace {

TEST(Identidad, PorDefectoYCompilacionDePrueba) {
    EXPECT_EQ(idAplicacion(), "es.sorvenia.tarvel");
    EXPECT_FALSE(esCompilacionDePrueba());
    const std::string& antes = idAplicacion();

    const struct {
        const char* id;
        bool prueba;
    } casos[] = {
        {"es.sorvenia.tarvel.pruebas", true},
        {"es.sorvenia.tarvel.pruebasx", false},
        {"pruebas", false},
        {"es.sorvenia.tarvel", false},
    };
    for (const auto& caso : casos) {
        fijarIdAplicacion(caso.id);
        EXPECT_EQ(idAplicacion(), caso.id);
        EXPECT_EQ(esCompilacionDePrueba(), caso.prueba) << caso.id;
    }
    EXPECT_EQ(antes, "es.sorvenia.tarvel");  // an earlier reference stays valid
    fijarIdAplicacion(idAplicacionPorDefecto);
}

}  // namespace
}  // namespace sorvenia
