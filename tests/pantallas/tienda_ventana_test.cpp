// The account and store window with a stand-in store page
// (paginas/editor/tienda/tienda.html, which records every call it receives)
// in a real web view under Xvfb, against the local account service: one
// window at most, the purchase callback kept when a later opening gives
// none, and a failed panel opening told to the store page.

#include "pantallas/gui/tienda_ventana.h"

#include <gtest/gtest.h>

#include "pantalla_prueba.h"
#include "esperar_bucle.h"
#include "navegacion/navegacion.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/identidad.h"
#include "plataforma/navegador.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;

class TiendaVentanaTest : public prueba::PantallaPrueba {
protected:
    void TearDown() override {
        if (const auto v = TiendaVentana::actual()) v->cerrar();
        esperarHasta([] { return false; }, std::chrono::milliseconds(50));
        PantallaPrueba::TearDown();
    }

    json pagina(const std::string& cuerpo) {
        const auto r = esperarTarea(TiendaVentana::actual()->vista().llamar(cuerpo));
        return r && r->ok() ? **r : json("sin respuesta");
    }
    std::vector<json> de(const std::string& funcion) {
        std::vector<json> r;
        for (const json& l : pagina("return window.llamadas || [];"))
            if (l.is_array() && l.at(0) == funcion) r.push_back(l.at(1));
        return r;
    }
    std::string direccion() {
        const char* uri = webkit_web_view_get_uri(TiendaVentana::actual()->vista().vistaWeb());
        return uri != nullptr ? uri : "";
    }
};

TEST_F(TiendaVentanaTest, UnaSolaVentanaQueConservaSuAvisoDeCompra) {
    int compras = 0;
    int avisadas = 0;
    const auto suscripcion = TiendaVentana::compras().observar([&] { ++avisadas; });
    TiendaVentana::abrir(cuenta, nav, "hosting", std::nullopt, [&] { ++compras; });
    const auto primera = TiendaVentana::actual();
    ASSERT_TRUE(primera);
    ASSERT_TRUE(esperarHasta([&] { return !de("datos").empty(); }));
    const json datos = de("datos").back();
    EXPECT_EQ(datos.at("seccion"), "hosting");
    EXPECT_EQ(datos.at("cliente"), "Ana Pérez");
    EXPECT_TRUE(datos.at("tienda").contains("secciones"));

    // A second opening without a callback: the same window, the new section,
    // the first callback still there.
    TiendaVentana::abrir(cuenta, nav, "vps");
    EXPECT_EQ(TiendaVentana::actual(), primera);
    ASSERT_TRUE(esperarHasta([&] {
        const auto d = de("datos");
        return !d.empty() && d.back().at("seccion") == "vps";
    }));

    const auto refrescos = servicio.registroDe("cuenta").size();
    TiendaVentana::abrir(cuenta, nav, "vps", "/panel/gracias.php");
    ASSERT_TRUE(esperarHasta([&] { return direccion() == servicio.base() + "/panel/gracias.php"; }));
    ASSERT_TRUE(esperarHasta([&] { return compras == 1 && avisadas == 1; }));
    ASSERT_TRUE(esperarHasta([&] { return servicio.registroDe("cuenta").size() > refrescos; }));
    EXPECT_TRUE(abiertos.empty());
}

TEST_F(TiendaVentanaTest, UnPanelQueNoSeAbreSeLeDiceALaPaginaDeLaTienda) {
    servicio.interruptores({{"sesion", {{"status", 500}}}});
    TiendaVentana::abrir(cuenta, nav, "mio", "/panel/facturas.php");
    ASSERT_TRUE(esperarHasta([&] { return !de("error").empty(); }));
    EXPECT_EQ(de("error").back(), json({{"texto", "Fallo forzado de «sesion»."}, {"ir", "/panel/facturas.php"}}));

    // From the store page: a path outside the panel asks for no link.
    const auto pedidos = servicio.registroDe("sesion").size();
    pagina("window.enviar({tipo: 'ir', ir: '/login/'}); window.enviar({tipo: 'ir', ir: 'panel/x'}); return 1;");
    pagina("window.enviar({tipo: 'ir', ir: '/panel/x'}); return 1;");
    ASSERT_TRUE(esperarHasta([&] { return servicio.registroDe("sesion").size() > pedidos; }));
    EXPECT_EQ(servicio.registroDe("sesion").size(), pedidos + 1);
}

}  // namespace
}  // namespace sorvenia
