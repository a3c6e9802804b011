#include "pantalla_prueba.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/identidad.h"

namespace sorvenia::prueba {

void PantallaPrueba::SetUpTestSuite() {
    ::setenv("SORVENIA_RECURSOS", (std::string(SORVENIA_FUENTE) + "/tests/pantallas/paginas").c_str(), 1);
    fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
    ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
}

void PantallaPrueba::SetUp() {
    CuentaPrueba::SetUp();
    anaConectada();
    cuenta = crear();
    ASSERT_TRUE(cuenta->cliente());
    anterior_ = Navegador::usarAbridor([this](const std::string& uri) {
        abiertos.push_back(uri);
        return true;
    });
}

void PantallaPrueba::TearDown() {
    Navegador::usarAbridor(anterior_);
    CuentaPrueba::TearDown();
}

}  // namespace sorvenia::prueba
