// The menu bar's actions: what each one does, and which ones wait for a
// signed-in customer.
#include "app/menus.h"

#include <gtest/gtest.h>

#include "cuenta_prueba.h"
#include "navegacion/navegacion.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/navegador.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

using Pantalla = Navegacion::Pantalla;

class MenusTest : public prueba::CuentaPrueba {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()); }
    void SetUp() override {
        prueba::CuentaPrueba::SetUp();
        anterior_ = Navegador::usarAbridor([this](const std::string& uri) {
            abiertos_.push_back(uri);
            return true;
        });
    }
    void TearDown() override {
        menus_.reset();
        Navegador::usarAbridor(anterior_);
        prueba::CuentaPrueba::TearDown();
    }
    void crearMenus() {
        ASSERT_TRUE(g_application_register(G_APPLICATION(app_.get()), nullptr, nullptr));
        cuenta_ = crear();
        menus_ = std::make_unique<Menus>(app_.get(), cuenta_, nav_, [] { return nullptr; }, [this] { ++salidas_; });
    }
    void activar(const char* accion) { g_action_group_activate_action(G_ACTION_GROUP(app_.get()), accion, nullptr); }

    Ref<GtkApplication> app_ =
        Ref<GtkApplication>::adoptar(gtk_application_new("es.sorvenia.tarvel.menus", G_APPLICATION_NON_UNIQUE));
    std::shared_ptr<Cuenta> cuenta_;
    std::shared_ptr<Navegacion> nav_ = std::make_shared<Navegacion>();
    std::unique_ptr<Menus> menus_;
    std::vector<std::string> abiertos_;
    int salidas_ = 0;
    Navegador::Abridor anterior_;
};

const char* const conCuenta[] = {"cerrar-sesion", "nueva-web", "nuevo-blanco", "ir-disenos",
                                 "ir-servidores", "ir-agencia", "tutorial"};
const char* const siempre[] = {"acerca", "ajustes", "conectar-agentes", "guias", "soporte", "salir"};

TEST_F(MenusTest, SinClienteSoloLoQueNoNecesitaCuenta) {
    crearMenus();
    for (const char* a : conCuenta) EXPECT_FALSE(menus_->activa(a)) << a;
    for (const char* a : siempre) EXPECT_TRUE(menus_->activa(a)) << a;
    activar("nueva-web");  // disabled: nothing happens
    EXPECT_EQ(nav_->pantalla(), Pantalla::inicio());
    activar("guias");
    activar("soporte");
    EXPECT_EQ(abiertos_, (std::vector<std::string>{"https://sorvenia.example/panel/guias.php",
                                                   "https://sorvenia.example/panel/soporte.php"}));
    activar("salir");
    EXPECT_EQ(salidas_, 1);
}

TEST_F(MenusTest, ConClienteCadaAccionLlevaASuSitio) {
    anaConectada();
    crearMenus();
    ASSERT_TRUE(cuenta_->cliente());
    for (const char* a : conCuenta) EXPECT_TRUE(menus_->activa(a)) << a;
    const struct {
        const char* accion;
        Pantalla pantalla;
    } casos[] = {
        {"nueva-web", Pantalla::editor(std::nullopt, Plantilla::conId("web"))},
        {"nuevo-blanco", Pantalla::editor(std::nullopt, Plantilla::conId("escritorio"))},
        {"ir-servidores", Pantalla::servidores()},
        {"ir-agencia", Pantalla::agencia()},
        {"ir-disenos", Pantalla::inicio()},
    };
    for (const auto& caso : casos) {
        activar(caso.accion);
        EXPECT_EQ(nav_->pantalla(), caso.pantalla) << caso.accion;
    }
    activar("ajustes");
    EXPECT_TRUE(nav_->ajustes());
    activar("conectar-agentes");
    EXPECT_TRUE(nav_->agentes());

    // Signing out (from anywhere) disables them again.
    esperarEnBucle(cuenta_->desconectar(false));
    for (const char* a : conCuenta) EXPECT_FALSE(menus_->activa(a)) << a;
}

}  // namespace
}  // namespace sorvenia
