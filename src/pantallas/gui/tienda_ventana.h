#pragma once
// The account and store window, "Mi cuenta y tienda · Sorvenia": our store
// page ("editor/tienda/tienda.html", handler "tienda", test-channel name
// "tienda") and, inside the same view, the account site's panel pages,
// opened signed in through one-time links. A bar above the page goes back
// to the store page, shows the address with a lock for secure pages, and
// opens the page shown in the default browser. When a purchase ends on the
// panel's thank-you page the window tells its opener, refreshes the account
// and tells everyone listening (compras()).
//
// Only panel pages load inside; every other web address goes to the default
// browser, other schemes to the system. The view keeps its cookies in a
// session of its own that ends with the window, and only the store page
// itself may post messages to native code.
//
// At most one window; main thread only.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "plataforma/objeto_g.h"
#include "plataforma/observadores.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Cuenta;
class Navegacion;
class WebVista;

class TiendaVentana : public std::enable_shared_from_this<TiendaVentana> {
public:
    using AlComprar = std::function<void()>;

    // Opens the window at `seccion`, or brings the open one forward with
    // that section (a new callback replaces the old one; none keeps it).
    // With `ir` (a panel path) that page opens signed in; without it the
    // store page loads.
    static void abrir(std::shared_ptr<Cuenta> cuenta, std::weak_ptr<Navegacion> nav, std::string seccion,
                      std::optional<std::string> ir = std::nullopt, AlComprar alComprar = {});
    // The open window, if any.
    static std::shared_ptr<TiendaVentana> actual();
    // Every finished purchase, whichever window saw it.
    static Observadores<>& compras();

    void cerrar();
    GtkWindow* ventana() const { return ventana_.get(); }
    WebVista& vista() const { return *vista_; }
    const std::string& seccion() const { return seccion_; }

    // One message from the store page; anything malformed is ignored.
    void recibir(const nlohmann::json& mensaje);

    ~TiendaVentana();
    TiendaVentana(const TiendaVentana&) = delete;
    TiendaVentana& operator=(const TiendaVentana&) = delete;

private:
    struct Clave {};

public:
    TiendaVentana(Clave, std::weak_ptr<Cuenta> cuenta, std::weak_ptr<Navegacion> nav, std::string seccion,
                  AlComprar alComprar);

private:
    using Json = nlohmann::json;

    void construir();
    void cargarTienda();
    // `yo` keeps the window object alive from the start: a task may begin
    // only after the window was closed.
    static Tarea<void> irAlPanel(std::shared_ptr<TiendaVentana> yo, std::string ir);
    static Tarea<void> mandarDatos(std::shared_ptr<TiendaVentana> yo);
    void js(const std::string& funcion, const Json& valor);
    void pintarBarra();
    void alTerminarCarga();
    void enNavegador();

    static gboolean alDecidir(WebKitWebView* web, WebKitPolicyDecision* decision, WebKitPolicyDecisionType tipo,
                              gpointer datos);
    static GtkWidget* alCrear(WebKitWebView* web, WebKitNavigationAction* accion, gpointer datos);
    static void alCambiarCarga(WebKitWebView* web, WebKitLoadEvent evento, gpointer datos);
    static gboolean alPedirCierre(GtkWindow* ventana, gpointer datos);

    std::weak_ptr<Cuenta> cuenta_;
    std::weak_ptr<Navegacion> nav_;
    std::string seccion_;
    AlComprar alComprar_;
    Ref<WebKitNetworkSession> sesion_;
    std::unique_ptr<WebVista> vista_;
    Ref<GtkWindow> ventana_;
    GtkWidget* volver_ = nullptr;
    GtkWidget* candado_ = nullptr;
    GtkWidget* barra_ = nullptr;
    GtkWidget* navegador_ = nullptr;
    // A failed panel opening to tell the store page once it is ready.
    std::optional<Json> errorPendiente_;
};

}  // namespace sorvenia
