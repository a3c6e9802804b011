#pragma once
// A screen's test: the stand-in pages of tests/pantallas/paginas (each records
// the calls it receives) as the resources, GTK started, Ana signed in against
// the local account service, and the links the screen hands the browser
// recorded instead of opened.

#include <memory>
#include <string>
#include <vector>

#include "cuenta_prueba.h"
#include "navegacion/navegacion.h"
#include "plataforma/navegador.h"

namespace sorvenia::prueba {

class PantallaPrueba : public CuentaPrueba {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    std::shared_ptr<Cuenta> cuenta;
    std::shared_ptr<Navegacion> nav = std::make_shared<Navegacion>();
    std::vector<std::string> abiertos;  // what the screen asked the browser to open, in order

private:
    Navegador::Abridor anterior_;
};

}  // namespace sorvenia::prueba
