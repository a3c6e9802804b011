#pragma once
// The home screen: shown by the root view while a customer is signed in and
// the navigation names it. It makes the page's model and web view (handler
// "inicio", "editor/inicio/inicio.html" from the resources, reachable by the test
// channel as "inicio"), refreshes the account and sends the page its data,
// opens the welcome design for a customer who has none yet, and sends the
// data again whenever the account's designs or error change, a settings
// sheet closes, or the job list changes (then only the jobs).
//
// A new one each time the screen is shown. Main thread only.

#include <gtk/gtk.h>

#include <memory>

#include "navegacion/navegacion.h"
#include "centro/trabajos.h"
#include "cuenta/cuenta.h"

namespace sorvenia {

class InicioModelo;
class WebVista;

class InicioWeb {
public:
    InicioWeb(std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav);
    ~InicioWeb();
    InicioWeb(const InicioWeb&) = delete;
    InicioWeb& operator=(const InicioWeb&) = delete;

    // Fills the window.
    GtkWidget* widget() const;
    InicioModelo& modelo() const { return *modelo_; }
    WebVista& vista() const { return *vista_; }

private:
    // The screen's first steps: refresh the account, send the data, and the
    // welcome design. Stops after the refresh when the screen is gone.
    static Tarea<void> alMostrar(std::weak_ptr<InicioModelo> modelo, std::weak_ptr<Cuenta> cuenta,
                                 std::weak_ptr<Navegacion> nav);

    std::shared_ptr<InicioModelo> modelo_;
    std::unique_ptr<WebVista> vista_;
    Cuenta::Suscripcion suscripcionCuenta_;
    Navegacion::Suscripcion suscripcionNav_;
    Trabajos::Suscripcion suscripcionTrabajos_;
};

}  // namespace sorvenia
