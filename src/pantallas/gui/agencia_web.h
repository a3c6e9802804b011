#pragma once
// The agency screen: shown by the root view while the navigation names it.
// It makes the page's model and web view (handler "agencia",
// "editor/agencia/agencia.html" from the resources, reachable by the test
// channel as "agencia"), sends the page the account's design list whenever
// it changes and the job list whenever that changes. Leaving the screen
// uploads pending changes (the model outlives the screen while it does).
//
// A new one each time the screen is shown. Main thread only.

#include <gtk/gtk.h>

#include <memory>

#include "centro/trabajos.h"
#include "cuenta/cuenta.h"
#include "navegacion/navegacion.h"
#include "pantallas/fichero_agencia.h"

namespace sorvenia {

class AgenciaModelo;
class WebVista;

class AgenciaWeb {
public:
    // `fichero`: where the workspace is kept (tests give their own).
    AgenciaWeb(std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav,
               FicheroAgencia fichero = FicheroAgencia());
    ~AgenciaWeb();
    AgenciaWeb(const AgenciaWeb&) = delete;
    AgenciaWeb& operator=(const AgenciaWeb&) = delete;

    // Fills the window.
    GtkWidget* widget() const;
    AgenciaModelo& modelo() const { return *modelo_; }
    WebVista& vista() const { return *vista_; }

private:
    std::shared_ptr<AgenciaModelo> modelo_;
    std::unique_ptr<WebVista> vista_;
    Cuenta::Suscripcion suscripcionCuenta_;
    Trabajos::Suscripcion suscripcionTrabajos_;
};

}  // namespace sorvenia
