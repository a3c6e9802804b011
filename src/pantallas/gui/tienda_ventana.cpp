// The account and store window: building it, its bar, what its view may load.

#include "pantallas/gui/tienda_ventana.h"

#include "cuenta/cuenta.h"
#include "pantallas/politica_tienda.h"
#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/gui/llamada_js.h"
#include "plataforma/gui/origen_permitido.h"
#include "plataforma/gui/tema.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/navegador.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace {

std::shared_ptr<TiendaVentana>& unica() {
    static std::shared_ptr<TiendaVentana> ventana;
    return ventana;
}

// The window's looks: a near-black content (3 % white) under the store
// page, and the address in a small, dimmed type. Installed once.
void instalarEstilo() {
    Tema::instalarHoja("tienda",
                       ".tienda-contenido { background-color: rgb(8, 8, 8); }\n"
                       ".tienda-direccion { color: alpha(" + Tema::css(Tema::tinta()) + ", 0.6); font-size: 12pt; }\n");
}

GtkWidget* botonBarra(const char* texto) {
    GtkWidget* b = gtk_button_new_with_label(texto);
    gtk_widget_set_valign(b, GTK_ALIGN_CENTER);
    return b;
}

// Whether `uri` is a file of our own pages' folder.
bool esPropia(const char* uri) {
    const auto editor = Recursos::ruta("editor");
    return uri != nullptr && editor && OrigenPermitido::carpeta(*editor).admite(uri);
}

}  // namespace

Observadores<>& TiendaVentana::compras() {
    static Observadores<> c;
    return c;
}

std::shared_ptr<TiendaVentana> TiendaVentana::actual() { return unica(); }

void TiendaVentana::abrir(std::shared_ptr<Cuenta> cuenta, std::weak_ptr<Navegacion> nav, std::string seccion,
                          std::optional<std::string> ir, AlComprar alComprar) {
    auto& v = unica();
    if (v) {
        v->seccion_ = std::move(seccion);
        if (alComprar) v->alComprar_ = std::move(alComprar);
        gtk_window_present(v->ventana());
    } else {
        v = std::make_shared<TiendaVentana>(Clave{}, cuenta, std::move(nav), std::move(seccion), std::move(alComprar));
        v->construir();
    }
    if (!ir) v->cargarTienda();
    else if (cuenta) lanzar(irAlPanel(v, std::move(*ir)));
}

TiendaVentana::TiendaVentana(Clave, std::weak_ptr<Cuenta> cuenta, std::weak_ptr<Navegacion> nav, std::string seccion,
                             AlComprar alComprar)
    : cuenta_(std::move(cuenta)),
      nav_(std::move(nav)),
      seccion_(std::move(seccion)),
      alComprar_(std::move(alComprar)) {}

void TiendaVentana::construir() {
    // Cookies and storage of the panel's sign-in live as long as the window.
    sesion_ = Ref<WebKitNetworkSession>::adoptar(webkit_network_session_new_ephemeral());
    OpcionesWebVista opciones;
    opciones.sesion = sesion_.get();
    vista_ = std::make_unique<WebVista>("tienda", opciones);
    vista_->alMensaje([debil = weak_from_this()](const nlohmann::json& mensaje) {
        if (const auto v = debil.lock()) v->recibir(mensaje);
    });
    CanalPruebas::registrar("tienda", vista_->vistaWeb());
    WebKitWebView* web = vista_->vistaWeb();
    const GdkRGBA transparente{0.0F, 0.0F, 0.0F, 0.0F};
    webkit_web_view_set_background_color(web, &transparente);
    conectarSenal(web, "decide-policy", &TiendaVentana::alDecidir, this);
    conectarSenal(web, "create", &TiendaVentana::alCrear, this);
    conectarSenal(web, "load-changed", &TiendaVentana::alCambiarCarga, this);
    gtk_widget_set_vexpand(vista_->widget(), TRUE);

    volver_ = botonBarra("‹ Volver");
    candado_ = gtk_image_new_from_icon_name("channel-secure-symbolic");
    gtk_widget_set_tooltip_text(candado_, "Conexión segura");
    gtk_accessible_update_property(comoG<GtkAccessible>(candado_), GTK_ACCESSIBLE_PROPERTY_LABEL, "Conexión segura",
                                   -1);
    barra_ = gtk_label_new("");
    gtk_label_set_ellipsize(comoG<GtkLabel>(barra_), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_xalign(comoG<GtkLabel>(barra_), 0.0F);
    gtk_widget_set_hexpand(barra_, TRUE);
    navegador_ = botonBarra("Abrir en el navegador");
    g_signal_connect_swapped(volver_, "clicked", G_CALLBACK(+[](TiendaVentana* v) { v->cargarTienda(); }), this);
    g_signal_connect_swapped(navegador_, "clicked", G_CALLBACK(+[](TiendaVentana* v) { v->enNavegador(); }), this);

    GtkWidget* barra = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    gtk_widget_set_margin_start(barra, 14);
    gtk_widget_set_margin_end(barra, 14);
    gtk_widget_set_margin_top(barra, 4);
    gtk_widget_set_margin_bottom(barra, 4);
    gtk_widget_set_size_request(barra, -1, 34);
    for (GtkWidget* w : {volver_, candado_, barra_, navegador_}) gtk_box_append(comoG<GtkBox>(barra), w);
    GtkWidget* caja = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    instalarEstilo();
    gtk_widget_add_css_class(caja, "tienda-contenido");
    gtk_widget_add_css_class(barra_, "tienda-direccion");
    gtk_box_append(comoG<GtkBox>(caja), barra);
    gtk_box_append(comoG<GtkBox>(caja), vista_->widget());

    ventana_ = Ref<GtkWindow>::compartir(comoG<GtkWindow>(gtk_window_new()));
    GtkWindow* v = ventana_.get();
    gtk_window_set_title(v, "Mi cuenta y tienda · Sorvenia");
    gtk_window_set_default_size(v, 1120, 780);
    gtk_widget_set_size_request(comoG<GtkWidget>(v), 760, 560);
    gtk_window_set_child(v, caja);
    g_signal_connect(v, "close-request", G_CALLBACK(&TiendaVentana::alPedirCierre), this);
    pintarBarra();
    gtk_window_present(v);
}

TiendaVentana::~TiendaVentana() {
    if (vista_) g_signal_handlers_disconnect_by_data(vista_->vistaWeb(), this);
    if (ventana_) {
        g_signal_handlers_disconnect_by_data(ventana_.get(), this);
        gtk_window_destroy(ventana_.get());
    }
}

void TiendaVentana::cerrar() {
    if (unica().get() != this) return;
    // Destroyed from the main loop: this call may come from its own view.
    enPrincipal([v = std::exchange(unica(), nullptr)] {});
}

gboolean TiendaVentana::alPedirCierre(GtkWindow*, gpointer datos) {
    static_cast<TiendaVentana*>(datos)->cerrar();
    return TRUE;
}

void TiendaVentana::cargarTienda() {
    if (const auto editor = Recursos::ruta("editor")) vista_->cargarPagina(*editor / "tienda" / "tienda.html", *editor);
}

void TiendaVentana::js(const std::string& funcion, const Json& valor) {
    if (const auto texto = llamadaPagina("tienda", funcion, valor)) vista_->evaluar(*texto);
}

void TiendaVentana::pintarBarra() {
    const char* uri = webkit_web_view_get_uri(vista_->vistaWeb());
    const std::string_view u = uri != nullptr ? uri : "";
    const bool local = PoliticaTienda::esLocal(u);
    gtk_widget_set_visible(volver_, !local);
    gtk_widget_set_visible(navegador_, !local);
    gtk_widget_set_visible(candado_, PoliticaTienda::candado(u));
    gtk_label_set_text(comoG<GtkLabel>(barra_), PoliticaTienda::textoBarra(u).c_str());
}

void TiendaVentana::enNavegador() {
    // The browser does not share this window's sign-in.
    const char* uri = webkit_web_view_get_uri(vista_->vistaWeb());
    if (uri != nullptr && !PoliticaTienda::esLocal(uri)) (void)Navegador::abrir(uri);
}

void TiendaVentana::alTerminarCarga() {
    pintarBarra();
    const auto cuenta = cuenta_.lock();
    const char* uri = webkit_web_view_get_uri(vista_->vistaWeb());
    if (uri == nullptr || !PoliticaTienda::esCompra(uri, cuenta ? cuenta->servidor() : "")) return;
    if (alComprar_) alComprar_();
    if (cuenta) lanzar(cuenta->refrescar());
    compras().avisar();
}

Tarea<void> TiendaVentana::irAlPanel(std::shared_ptr<TiendaVentana> yo, std::string ir) {
    const auto cuenta = yo->cuenta_.lock();
    if (!cuenta) co_return;
    std::optional<std::string> enlace;
    std::string error;
    try {
        enlace = co_await cuenta->enlaceSesion(ir);
    } catch (...) {
        error = descripcionDe(std::current_exception());
    }
    if (unica() != yo) co_return;  // closed meanwhile
    // The link signs in once: it is loaded and forgotten, never written anywhere.
    if (enlace) {
        webkit_web_view_load_uri(yo->vista_->vistaWeb(), enlace->c_str());
        co_return;
    }
    const char* actual = webkit_web_view_get_uri(yo->vista_->vistaWeb());
    if (actual == nullptr || !esPropia(actual)) {
        // The page hears of it once it has loaded and said "listo".
        yo->errorPendiente_ = Json{{"texto", error}, {"ir", ir}};
        yo->cargarTienda();
        co_return;
    }
    yo->js("error", {{"texto", error}, {"ir", ir}});
}

Tarea<void> TiendaVentana::mandarDatos(std::shared_ptr<TiendaVentana> yo) {
    const auto cuenta = yo->cuenta_.lock();
    if (!cuenta) co_return;
    Json datos;
    try {
        const JSONValor tienda = co_await cuenta->tienda();
        const auto& cliente = cuenta->cliente();
        datos = {{"tienda", tienda.objeto()}, {"seccion", yo->seccion_}, {"cliente", cliente ? cliente->nombre : ""}};
    } catch (...) {
        datos = {{"error", descripcionDe(std::current_exception())}, {"seccion", yo->seccion_}};
    }
    yo->js("datos", datos);
}

gboolean TiendaVentana::alDecidir(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType tipo,
                                  gpointer datos) {
    if (tipo == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    auto* yo = static_cast<TiendaVentana*>(datos);
    WebKitNavigationAction* accion =
        webkit_navigation_policy_decision_get_navigation_action(comoG<WebKitNavigationPolicyDecision>(decision));
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(accion));
    const std::string u = uri != nullptr ? uri : "";
    if (tipo == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        webkit_policy_decision_ignore(decision);
        // No second view: web links open in the browser, the rest is dropped.
        if (PoliticaTienda::abrirVentanaEnNavegador(u)) (void)Navegador::abrir(u);
        return TRUE;
    }
    const char* marco = webkit_navigation_action_get_frame_name(accion);
    const bool principal = marco == nullptr || *marco == '\0';
    const bool clic = webkit_navigation_action_get_navigation_type(accion) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED;
    const auto cuenta = yo->cuenta_.lock();
    const auto destino =
        PoliticaTienda::decidir(u, principal, clic, esPropia(uri), cuenta ? cuenta->servidor() : std::string());
    if (destino == PoliticaTienda::Destino::permitir) {
        webkit_policy_decision_use(decision);
        return TRUE;
    }
    webkit_policy_decision_ignore(decision);
    switch (destino) {
        case PoliticaTienda::Destino::permitir: break;
        case PoliticaTienda::Destino::tienda:
            enPrincipal([debil = yo->weak_from_this()] {
                if (const auto v = debil.lock()) v->cargarTienda();
            });
            break;
        case PoliticaTienda::Destino::navegador:
        case PoliticaTienda::Destino::sistema: (void)Navegador::abrir(u); break;
        case PoliticaTienda::Destino::cancelar: break;
    }
    return TRUE;
}

GtkWidget* TiendaVentana::alCrear(WebKitWebView*, WebKitNavigationAction*, gpointer) { return nullptr; }

void TiendaVentana::alCambiarCarga(WebKitWebView*, WebKitLoadEvent evento, gpointer datos) {
    auto* yo = static_cast<TiendaVentana*>(datos);
    if (evento == WEBKIT_LOAD_COMMITTED) yo->pintarBarra();
    else if (evento == WEBKIT_LOAD_FINISHED) yo->alTerminarCarga();
}

}  // namespace sorvenia
