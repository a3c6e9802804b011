#pragma once
// The running app's preview inside the editor: a web view of its own laid
// over the editor page, where the page asks for it, showing the app from its
// local server. Nothing in it reaches native code: it has no message handler
// and no page object.
//
// It keeps to the app's own origin (origen_vista_app.h): the app's pages stay
// in it, the rest of the web opens in the user's browser, and the app's
// alert and confirm dialogs and file inputs get the application's own
// panels ("Aceptar", "Cancelar"). Main thread only.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <memory>
#include <optional>
#include <string>

#include "aplicaciones/origen_vista_app.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {

class VistaApp {
public:
    VistaApp();
    ~VistaApp();
    VistaApp(const VistaApp&) = delete;
    VistaApp& operator=(const VistaApp&) = delete;

    struct Rect {
        int x = 0, y = 0, w = 0, h = 0;
    };
    // Lays the view over `pagina` (the editor page's widget, whose parent is
    // the editor screen's overlay) at `rect`, in the page's points, or hides
    // it when there is no rectangle. A `url` different from the one shown is
    // loaded, the origin set from it first.
    void colocar(GtkWidget* pagina, std::optional<Rect> rect, const std::optional<std::string>& url);
    // Hides the view and forgets the page it was shown over.
    void ocultar();

    WebKitWebView* vistaWeb() const { return web_.get(); }
    GtkWidget* widget() const { return comoG<GtkWidget>(web_.get()); }
    const OrigenVistaApp& origen() const { return origen_; }
    // How many loads have finished; -1 while nothing was loaded.
    int cargas() const { return cargas_; }
    const std::optional<std::string>& url() const { return url_; }

private:
    static gboolean alDecidir(WebKitWebView* web, WebKitPolicyDecision* decision, WebKitPolicyDecisionType tipo,
                              gpointer datos);
    static GtkWidget* alCrear(WebKitWebView* web, WebKitNavigationAction* accion, gpointer datos);
    static gboolean alDialogo(WebKitWebView* web, WebKitScriptDialog* dialogo, gpointer datos);
    static gboolean alElegirArchivos(WebKitWebView* web, WebKitFileChooserRequest* peticion, gpointer datos);
    static void alCargar(WebKitWebView* web, WebKitLoadEvent evento, gpointer datos);
    // A new window the page asked for: loaded here or opened outside.
    void nuevaVentana(const std::optional<std::string>& url);

    Ref<WebKitWebView> web_;
    OrigenVistaApp origen_;
    std::optional<std::string> url_;
    int cargas_ = -1;
};

}  // namespace sorvenia
