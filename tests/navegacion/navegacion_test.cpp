// The navigation model: screens, the sheets' effect on the open editor, the
// welcome design and the hand-over to the next new design.
#include "navegacion/navegacion.h"

#include <gtest/gtest.h>

#include <memory>

#include "centro/centro.h"
#include "editor_doble.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;
using Pantalla = Navegacion::Pantalla;
using prueba::EditorDoble;

TEST(Navegacion, EmpiezaEnInicio) {
    Navegacion nav;
    EXPECT_EQ(nav.pantalla(), Pantalla::inicio());
    EXPECT_EQ(nav.pantalla().caso(), Pantalla::Caso::inicio);
    EXPECT_FALSE(nav.ajustes());
    EXPECT_FALSE(nav.agentes());
    EXPECT_FALSE(nav.promptPendiente);
    EXPECT_TRUE(nav.recursosPendientes.empty());
    EXPECT_FALSE(nav.iaPendiente);
}

TEST(Navegacion, IgualdadDePantallas) {
    const auto web = Plantilla::conId("web");
    EXPECT_NE(Pantalla::editor("a", std::nullopt), Pantalla::editor("a", web));
    EXPECT_NE(Pantalla::editor("a", std::nullopt), Pantalla::editor("b", std::nullopt));
    EXPECT_NE(Pantalla::editor(std::nullopt, std::nullopt), Pantalla::inicio());
    EXPECT_EQ(Pantalla::editor(std::nullopt, Plantilla::conId("web")),
              Pantalla::editor(std::nullopt, Plantilla{"web", "Página web", 1440, 900, true}));
    EXPECT_NE(Pantalla::editor(std::nullopt, web), Pantalla::editor(std::nullopt, Plantilla::bienvenida()));
    EXPECT_NE(Pantalla::servidores(), Pantalla::agencia());
    EXPECT_EQ(Pantalla::agencia(), Pantalla::agencia());
}

TEST(Navegacion, CadaAsignacionSePublica) {
    Navegacion nav;
    std::vector<Navegacion::Cambio> oidos;
    std::vector<Pantalla> vistas;
    auto s = nav.observar([&](Navegacion::Cambio c) {
        oidos.push_back(c);
        vistas.push_back(nav.pantalla());
    });
    nav.fijarPantalla(Pantalla::servidores());
    nav.fijarPantalla(Pantalla::servidores());
    nav.fijarAjustes(true);
    nav.fijarAgentes(false);
    using C = Navegacion::Cambio;
    EXPECT_EQ(oidos, (std::vector<C>{C::pantalla, C::pantalla, C::ajustes, C::agentes}));
    EXPECT_EQ(vistas.front(), Pantalla::servidores()) << "observers read the new value";
    EXPECT_TRUE(nav.ajustes());
}

TEST(Navegacion, CerrarUnaHojaMandaLasIntegracionesAlEditor) {
    Navegacion nav;
    const Json tarjetas = Json::array({{{"id", "pexels"}, {"estado", "conectada"}}});
    int pedidas = 0;
    nav.integraciones = [&] {
        ++pedidas;
        return tarjetas;
    };

    nav.fijarAjustes(false);
    EXPECT_EQ(pedidas, 0) << "no design open: nothing to send";

    auto editor = std::make_shared<EditorDoble>("aaaaaaaaaaaaaaaa");
    Centro::compartido().editor = editor;
    nav.fijarAjustes(true);
    nav.fijarAgentes(true);
    EXPECT_TRUE(editor->paginas.empty()) << "opening a sheet sends nothing";

    nav.fijarAjustes(false);
    nav.fijarAjustes(false);  // already closed: sent again
    nav.fijarAgentes(false);
    ASSERT_EQ(editor->paginas.size(), 3u);
    for (const auto& [funcion, argumento] : editor->paginas) {
        EXPECT_EQ(funcion, "integraciones");
        EXPECT_EQ(argumento, tarjetas);
    }

    // Without a source of cards nothing is sent either.
    nav.integraciones = nullptr;
    nav.fijarAgentes(false);
    EXPECT_EQ(editor->paginas.size(), 3u);
    Centro::compartido().editor.reset();
}

TEST(Navegacion, TutorialAbreElBienvenidoMasReciente) {
    const auto bienvenida = Plantilla::bienvenida();
    const auto d = [](const char* id, const char* nombre, const char* modificado) {
        return DisenoResumen{id, nombre, 1, std::nullopt, "2025-01-01 10:00:00", modificado};
    };
    struct Caso {
        const char* que;
        std::vector<DisenoResumen> disenos;
        std::optional<std::string> abre;
    };
    const Caso casos[] = {
        {"no designs", {}, std::nullopt},
        {"none with the name", {d("x", "Bienvenido", "2025-05-01 10:00:00")}, std::nullopt},
        {"the later one",
         {d("a", "Bienvenido a Sorvenia Code", "2025-02-01 10:00:00"), d("x", "Otro", "2025-09-01 10:00:00"),
          d("b", "Bienvenido a Sorvenia Code", "2025-03-01 10:00:00")},
         "b"},
        {"equal dates: the first",
         {d("a", "Bienvenido a Sorvenia Code", "2025-03-01 10:00:00"),
          d("b", "Bienvenido a Sorvenia Code", "2025-03-01 10:00:00")},
         "a"},
    };
    for (const auto& c : casos) {
        Navegacion nav;
        nav.tutorial(c.disenos);
        EXPECT_EQ(nav.pantalla(), Pantalla::editor(c.abre, bienvenida)) << c.que;
    }
}

TEST(Navegacion, LoPendienteLoTomaUnSoloEditor) {
    Navegacion nav;
    nav.promptPendiente = "";
    nav.iaPendiente = "claude";
    EXPECT_FALSE(nav.tomarPendiente()) << "an empty request is never taken";
    EXPECT_EQ(nav.iaPendiente, "claude") << "and nothing is cleared";

    nav.promptPendiente = "Web para mi panadería";
    nav.recursosPendientes = {Json{{"nombre", "logo"}, {"src", "data:image/png;base64,AA=="}}};
    nav.fijarPantalla(Pantalla::editor(std::nullopt, Plantilla::web()));
    nav.fijarPantalla(Pantalla::inicio());  // other screens do not touch it

    const auto tomado = nav.tomarPendiente();
    ASSERT_TRUE(tomado);
    EXPECT_EQ(tomado->prompt, "Web para mi panadería");
    EXPECT_EQ(tomado->ia, "claude");
    ASSERT_EQ(tomado->recursos.size(), 1u);
    EXPECT_EQ(tomado->recursos[0]["nombre"], "logo");
    EXPECT_FALSE(nav.promptPendiente);
    EXPECT_TRUE(nav.recursosPendientes.empty());
    EXPECT_FALSE(nav.iaPendiente);
    EXPECT_FALSE(nav.tomarPendiente()) << "only once";
}

}  // namespace
}  // namespace sorvenia
