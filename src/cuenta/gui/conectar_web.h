#pragma once
// The sign-in screen: shown by the root view while nobody is signed in. It
// owns the page's model and web view, and passes every change of the
// account's sign-in state (conectando, error) to the page.

#include <gtk/gtk.h>

#include <memory>

#include "cuenta/gui/conectar_modelo.h"
#include "cuenta/cuenta.h"
#include "cuenta/gui/web_conectar.h"

namespace sorvenia {

class ConectarWeb {
public:
    explicit ConectarWeb(std::shared_ptr<Cuenta> cuenta);
    ConectarWeb(const ConectarWeb&) = delete;
    ConectarWeb& operator=(const ConectarWeb&) = delete;

    // Fills the window.
    GtkWidget* widget() const { return web_.widget(); }
    ConectarModelo& modelo() { return modelo_; }
    WebVista& vista() { return web_.vista(); }

private:
    void enviarEstado();

    std::weak_ptr<Cuenta> cuenta_;
    ConectarModelo modelo_;
    WebConectar web_{modelo_};
    Cuenta::Suscripcion suscripcion_;
};

}  // namespace sorvenia
