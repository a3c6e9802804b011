#include "aplicaciones/gui/vista_app.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "plataforma/gui/alerta.h"
#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/gui/elegir_rutas.h"
#include "plataforma/gui/soltar_widget.h"
#include "plataforma/navegador.h"

namespace sorvenia {
namespace {

std::optional<std::string> uriDe(WebKitURIRequest* peticion) {
    const char* uri = peticion != nullptr ? webkit_uri_request_get_uri(peticion) : nullptr;
    if (uri == nullptr || *uri == '\0') return std::nullopt;
    return std::string(uri);
}

// Cancels the navigation and, when the rule says so, hands the address to
// the system.
void cumplir(WebKitPolicyDecision* decision, DestinoNavegacion destino, const std::optional<std::string>& url) {
    if (destino == DestinoNavegacion::quedarse) {
        webkit_policy_decision_use(decision);
        return;
    }
    webkit_policy_decision_ignore(decision);
    if (destino == DestinoNavegacion::abrirFuera && url) Navegador::abrir(*url);
}

// The alert or confirm of the app, on the application's own alert.
Tarea<void> dialogo(Ref<WebKitWebView> web, WebKitScriptDialog* d) {
    const bool confirmar = webkit_script_dialog_get_dialog_type(d) == WEBKIT_SCRIPT_DIALOG_CONFIRM;
    const std::string texto = textoDialogo(webkit_script_dialog_get_message(d));
    std::vector<std::string> botones{"Aceptar"};
    if (confirmar) botones.emplace_back("Cancelar");
    const auto pulsado = co_await alerta(ventanaDe(comoG<GtkWidget>(web.get())), texto, "", std::move(botones));
    if (confirmar) webkit_script_dialog_confirm_set_confirmed(d, pulsado == std::optional<std::size_t>(0));
    webkit_script_dialog_close(d);
    webkit_script_dialog_unref(d);
}

Tarea<void> archivos(Ref<WebKitWebView> web, Ref<WebKitFileChooserRequest> peticion) {
    PeticionRutas p;
    p.modo = ModoEleccion::abrir;
    p.titulo = "Elegir archivos";
    p.boton = "Abrir";
    p.varios = webkit_file_chooser_request_get_select_multiple(peticion.get()) != FALSE;
    const auto rutas = co_await elegirRutas(ventanaDe(comoG<GtkWidget>(web.get())), std::move(p));
    if (!rutas) {
        webkit_file_chooser_request_cancel(peticion.get());
        co_return;
    }
    std::vector<std::string> textos;
    for (const auto& r : *rutas) textos.push_back(r.string());
    std::vector<const char*> lista;
    for (const auto& t : textos) lista.push_back(t.c_str());
    lista.push_back(nullptr);
    webkit_file_chooser_request_select_files(peticion.get(), lista.data());
}

}  // namespace

VistaApp::VistaApp() : web_(Ref<WebKitWebView>::adoptar(comoG<WebKitWebView>(webkit_web_view_new()))) {
    g_signal_connect(web_.get(), "decide-policy", G_CALLBACK(&VistaApp::alDecidir), this);
    g_signal_connect(web_.get(), "create", G_CALLBACK(&VistaApp::alCrear), this);
    g_signal_connect(web_.get(), "script-dialog", G_CALLBACK(&VistaApp::alDialogo), this);
    g_signal_connect(web_.get(), "run-file-chooser", G_CALLBACK(&VistaApp::alElegirArchivos), this);
    g_signal_connect(web_.get(), "load-changed", G_CALLBACK(&VistaApp::alCargar), this);
    gtk_widget_set_halign(widget(), GTK_ALIGN_START);
    gtk_widget_set_valign(widget(), GTK_ALIGN_START);
    gtk_widget_set_visible(widget(), FALSE);
    CanalPruebas::registrar("vistaApp", web_.get());
}

VistaApp::~VistaApp() {
    g_signal_handlers_disconnect_by_data(web_.get(), this);
    soltarDeSuPadre(widget());
}

void VistaApp::colocar(GtkWidget* pagina, std::optional<Rect> rect, const std::optional<std::string>& url) {
    if (!rect || rect->w <= 0 || rect->h <= 0 || pagina == nullptr) {
        gtk_widget_set_visible(widget(), FALSE);
        return;
    }
    GtkWidget* capas = gtk_widget_get_parent(pagina);
    if (capas == nullptr || !GTK_IS_OVERLAY(capas)) return;
    if (gtk_widget_get_parent(widget()) != capas) {
        soltarDeSuPadre(widget());
        gtk_overlay_add_overlay(comoG<GtkOverlay>(capas), widget());
    }
    gtk_widget_set_margin_start(widget(), std::max(rect->x, 0));
    gtk_widget_set_margin_top(widget(), std::max(rect->y, 0));
    gtk_widget_set_size_request(widget(), rect->w, rect->h);
    gtk_widget_set_visible(widget(), TRUE);
    if (url && url != url_) {
        url_ = url;
        origen_ = origenDe(*url);
        webkit_web_view_load_uri(web_.get(), url->c_str());
    }
}

void VistaApp::ocultar() {
    gtk_widget_set_visible(widget(), FALSE);
    soltarDeSuPadre(widget());
}

gboolean VistaApp::alDecidir(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType tipo,
                             gpointer datos) {
    auto& self = *static_cast<VistaApp*>(datos);
    if (tipo == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        auto* accion = webkit_navigation_policy_decision_get_navigation_action(
            comoG<WebKitNavigationPolicyDecision>(decision));
        webkit_policy_decision_ignore(decision);
        self.nuevaVentana(uriDe(webkit_navigation_action_get_request(accion)));
        return TRUE;
    }
    if (tipo == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        // WebKitGTK does not say which frame a navigation is for. What the
        // user follows (a link, a form) is taken as the main frame's; other
        // navigations to elsewhere (an embedded frame's source) go ahead and
        // meet the main-frame check again when their answer arrives.
        auto* accion = webkit_navigation_policy_decision_get_navigation_action(
            comoG<WebKitNavigationPolicyDecision>(decision));
        const auto url = uriDe(webkit_navigation_action_get_request(accion));
        const auto clase = webkit_navigation_action_get_navigation_type(accion);
        const bool delUsuario = webkit_navigation_action_is_user_gesture(accion) != FALSE ||
                                clase == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED ||
                                clase == WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED;
        cumplir(decision, decidirNavegacion(url, delUsuario, self.origen_), url);
        return TRUE;
    }
    if (tipo == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        auto* respuesta = comoG<WebKitResponsePolicyDecision>(decision);
        const bool principal = webkit_response_policy_decision_is_main_frame_main_resource(respuesta) != FALSE;
        const auto url = uriDe(webkit_response_policy_decision_get_request(respuesta));
        const auto destino = decidirNavegacion(url, principal, self.origen_);
        if (destino != DestinoNavegacion::quedarse) {
            cumplir(decision, destino, url);
            return TRUE;
        }
    }
    return FALSE;
}

GtkWidget* VistaApp::alCrear(WebKitWebView*, WebKitNavigationAction* accion, gpointer datos) {
    static_cast<VistaApp*>(datos)->nuevaVentana(uriDe(webkit_navigation_action_get_request(accion)));
    return nullptr;
}

void VistaApp::nuevaVentana(const std::optional<std::string>& url) {
    switch (decidirVentana(url, origen_)) {
        case DestinoNavegacion::quedarse:
            webkit_web_view_load_uri(web_.get(), url->c_str());
            break;
        case DestinoNavegacion::abrirFuera:
            Navegador::abrir(*url);
            break;
        case DestinoNavegacion::descartar:
            break;
    }
}

gboolean VistaApp::alDialogo(WebKitWebView* web, WebKitScriptDialog* d, gpointer) {
    const auto tipo = webkit_script_dialog_get_dialog_type(d);
    if (tipo != WEBKIT_SCRIPT_DIALOG_ALERT && tipo != WEBKIT_SCRIPT_DIALOG_CONFIRM) return FALSE;
    webkit_script_dialog_ref(d);
    lanzar(dialogo(Ref<WebKitWebView>::compartir(web), d));
    return TRUE;
}

gboolean VistaApp::alElegirArchivos(WebKitWebView* web, WebKitFileChooserRequest* peticion, gpointer) {
    lanzar(archivos(Ref<WebKitWebView>::compartir(web), Ref<WebKitFileChooserRequest>::compartir(peticion)));
    return TRUE;
}

void VistaApp::alCargar(WebKitWebView*, WebKitLoadEvent evento, gpointer datos) {
    if (evento != WEBKIT_LOAD_FINISHED) return;
    auto& self = *static_cast<VistaApp*>(datos);
    self.cargas_ = std::max(self.cargas_, 0) + 1;
}

}  // namespace sorvenia
