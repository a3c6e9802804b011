#pragma once
// The servers screen: shown by the root view when the navigation names it
// (Control+2, "--servidores", the home menu). It makes the page's model and
// web view (handler "servidores", "editor/servidores/servidores.html" from
// the resources, reachable by the test channel as "servidores"). Leaving
// the screen, or the application quitting, ends every terminal and the
// shared ssh connections it used.
//
// A new one each time the screen is shown. Main thread only.

#include <gtk/gtk.h>

#include <memory>

#include "cuenta/cuenta.h"
#include "navegacion/navegacion.h"

namespace sorvenia {

class ServidoresModelo;
class WebVista;

class ServidoresWeb {
public:
    ServidoresWeb(std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav);
    ~ServidoresWeb();
    ServidoresWeb(const ServidoresWeb&) = delete;
    ServidoresWeb& operator=(const ServidoresWeb&) = delete;

    GtkWidget* widget() const;
    ServidoresModelo& modelo() const { return *modelo_; }

private:
    std::shared_ptr<ServidoresModelo> modelo_;
    std::unique_ptr<WebVista> vista_;
    gulong alSalir_ = 0;
};

}  // namespace sorvenia
