// The launch arguments that open a screen at start.
#include "navegacion/argumentos_lanzamiento.h"

#include <gtest/gtest.h>

#include "navegacion/navegacion.h"

namespace sorvenia {
namespace {

using Pantalla = Navegacion::Pantalla;

TEST(ArgumentosLanzamiento, LaPrimeraReglaQueValeGana) {
    const auto plantilla = [](const char* id) { return Pantalla::editor(std::nullopt, Plantilla::conId(id)); };
    const struct {
        std::vector<std::string> argumentos;
        Pantalla esperada;
    } casos[] = {
        {{"app"}, Pantalla::inicio()},
        {{"app", "--nuevo"}, plantilla("escritorio")},
        {{"app", "--nuevo", "tableta"}, plantilla("tableta")},
        {{"app", "--nuevo", "Tableta"}, plantilla("web")},      // ids are case-sensitive
        {{"app", "--nuevo", "no-existe"}, plantilla("web")},
        {{"app", "--nuevo", "--abrir", "abc"}, plantilla("web")},  // the next argument is the id, whatever it is
        {{"app", "--abrir", "abc", "--nuevo", "movil"}, plantilla("movil")},
        {{"app", "--abrir", "abc"}, Pantalla::editor("abc", std::nullopt)},
        {{"app", "--abrir"}, Pantalla::inicio()},
        {{"app", "--nuevo", "web", "--servidores"}, Pantalla::servidores()},
        {{"app", "--servidores-prueba"}, Pantalla::servidores()},
        {{"app", "--abrir", "a", "--abrir", "b"}, Pantalla::editor("a", std::nullopt)},
    };
    for (const auto& caso : casos) {
        Navegacion nav;
        aplicarArgumentosLanzamiento(caso.argumentos, true, nav);
        EXPECT_EQ(nav.pantalla(), caso.esperada) << testing::PrintToString(caso.argumentos);
    }
    ASSERT_EQ(Plantilla::conId("escritorio").ancho, 1440);
    EXPECT_FALSE(Plantilla::conId("escritorio").altoAutomatico);
}

TEST(ArgumentosLanzamiento, SinClienteNoCambiaNada) {
    for (const std::vector<std::string>& argumentos : {std::vector<std::string>{"app", "--nuevo", "web"},
                                                      {"app", "--abrir", "abc"},
                                                      {"app", "--servidores"}}) {
        Navegacion nav;
        int avisos = 0;
        const auto s = nav.observar([&](Navegacion::Cambio) { ++avisos; });
        aplicarArgumentosLanzamiento(argumentos, false, nav);
        EXPECT_EQ(nav.pantalla(), Pantalla::inicio());
        EXPECT_EQ(avisos, 0);
    }
}

}  // namespace
}  // namespace sorvenia
