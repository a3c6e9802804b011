#include "aplicaciones/origen_vista_app.h"

#include <gtest/gtest.h>

namespace sorvenia {
namespace {

using D = DestinoNavegacion;

TEST(OrigenVistaApp, OrigenDeLaDireccionCargada) {
    const struct {
        const char* url;
        std::string host;
        int puerto;
    } casos[] = {
        {"http://127.0.0.1:4310/", "127.0.0.1", 4310},
        {"http://127.0.0.1/", "127.0.0.1", 80},
        {"https://ejemplo.es/a", "ejemplo.es", 80},
        {"about:blank", "", 80},
        {"esto no es una url", "", 80},
    };
    for (const auto& c : casos) {
        const auto o = origenDe(c.url);
        EXPECT_EQ(o.host, c.host) << c.url;
        EXPECT_EQ(o.puerto, c.puerto) << c.url;
    }
}

TEST(OrigenVistaApp, QueSeQuedaEnLaVista) {
    const OrigenVistaApp o3000{"127.0.0.1", 3000};
    const OrigenVistaApp o80{"127.0.0.1", 80};
    const struct {
        std::optional<std::string> url;
        OrigenVistaApp origen;
        bool local;
    } casos[] = {
        {"http://127.0.0.1:3000/tienda?x=1", o3000, true},
        {"http://127.0.0.1:3001/", o3000, false},
        {"http://127.0.0.2:3000/", o3000, false},
        {"http://127.0.0.1/", o80, true},
        {"http://127.0.0.1/", o3000, false},
        {"https://127.0.0.1:3000/", o3000, true},
        {"about:blank", o3000, true},
        {"blob:http://127.0.0.1:3000/1234", o3000, true},
        {"data:text/html,hola", o3000, true},
        {"ABOUT:blank", o3000, false},
        {"file:///etc/passwd", o3000, false},
        {std::nullopt, o3000, false},
    };
    for (const auto& c : casos) EXPECT_EQ(esLocal(c.url, c.origen), c.local) << c.url.value_or("(ninguna)");
}

TEST(OrigenVistaApp, NavegacionesYVentanasNuevas) {
    const OrigenVistaApp o{"127.0.0.1", 3000};
    const struct {
        std::optional<std::string> url;
        bool principal;
        D navegacion;
        D ventana;
    } casos[] = {
        {"http://127.0.0.1:3000/otra", true, D::quedarse, D::quedarse},
        {"http://127.0.0.1:3001/", true, D::abrirFuera, D::abrirFuera},
        {"https://ejemplo.es/", true, D::abrirFuera, D::abrirFuera},
        {"HTTPS://ejemplo.es/", true, D::abrirFuera, D::abrirFuera},
        {"mailto:hola@ejemplo.es", true, D::abrirFuera, D::descartar},
        {"tel:+34600000000", true, D::abrirFuera, D::descartar},
        {"javascript:alert(1)", true, D::descartar, D::descartar},
        {"file:///etc/passwd", true, D::descartar, D::descartar},
        {std::nullopt, true, D::descartar, D::descartar},
        // a sub-frame goes anywhere
        {"https://ejemplo.es/incrustado", false, D::quedarse, D::abrirFuera},
    };
    for (const auto& c : casos) {
        const auto u = c.url.value_or("(ninguna)");
        EXPECT_EQ(decidirNavegacion(c.url, c.principal, o), c.navegacion) << u;
        EXPECT_EQ(decidirVentana(c.url, o), c.ventana) << u;
    }
}

TEST(OrigenVistaApp, ElTextoDeUnDialogoSeCortaEnCuatrocientosCaracteres) {
    EXPECT_EQ(textoDialogo("¿Seguro?"), "¿Seguro?");
    std::string largo;
    for (int i = 0; i < 450; ++i) largo += "ñ";
    const auto cortado = textoDialogo(largo);
    EXPECT_EQ(cortado.size(), 800u);  // 400 two-byte letters, none split
    EXPECT_EQ(textoDialogo(std::string(400, 'a')), std::string(400, 'a'));
}

}  // namespace
}  // namespace sorvenia
