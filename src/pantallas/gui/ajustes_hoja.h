#pragma once
// The settings sheet: a modal window, 860 × 660, over the main window,
// showing the settings page ("ajustes/ajustes.html" of the resources, handler
// "ajustes", reachable by the test channel as "ajustes"; never inspectable)
// on the tab it is opened with. The page can show the user's fonts through
// the "fuente" scheme.
//
// A new one for each opening; closing it (its close button or the page's
// "cerrar") calls `alCerrar`, and its owner then destroys it. Main thread.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

#include "plataforma/objeto_g.h"

namespace sorvenia {

class AjustesModelo;
class WebVista;

class AjustesHoja {
public:
    AjustesHoja(GtkWindow* padre, std::string pestana, std::function<void()> alCerrar);
    ~AjustesHoja();
    AjustesHoja(const AjustesHoja&) = delete;
    AjustesHoja& operator=(const AjustesHoja&) = delete;

    GtkWindow* ventana() const { return ventana_.get(); }
    AjustesModelo& modelo() const { return *modelo_; }
    WebVista& vista() const { return *vista_; }

private:
    static gboolean alPedirCierre(GtkWindow* ventana, gpointer datos);

    std::shared_ptr<AjustesModelo> modelo_;
    std::unique_ptr<WebVista> vista_;
    Ref<GtkWindow> ventana_;
    std::shared_ptr<std::function<void()>> alCerrar_;
};

}  // namespace sorvenia
