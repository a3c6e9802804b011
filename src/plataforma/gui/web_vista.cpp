#include "plataforma/gui/web_vista.h"

#include <stdexcept>
#include <system_error>

#include "plataforma/gui/instantanea_web.h"
#include "plataforma/gui/javascript_web.h"
#include "plataforma/gui/relevo_mensajes.h"

namespace sorvenia {
namespace {

constexpr int anchoMaximo = 16384;

Ref<WebKitSettings> ajustesPara(const OpcionesWebVista& opciones) {
    auto ajustes = Ref<WebKitSettings>::adoptar(webkit_settings_new());
    // Our pages read their scripts, styles and fonts from their own folder.
    webkit_settings_set_allow_file_access_from_file_urls(ajustes.get(), TRUE);
    webkit_settings_set_enable_developer_extras(ajustes.get(), opciones.inspeccionable ? TRUE : FALSE);
    return ajustes;
}

Ref<WebKitUserContentManager> gestorCon(const std::string& manejador) {
    auto gestor = Ref<WebKitUserContentManager>::adoptar(webkit_user_content_manager_new());
    const std::string fuente = guionRelevo(manejador);
    WebKitUserScript* relevo =
        webkit_user_script_new_for_world(fuente.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                         WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, mundoSorvenia, nullptr, nullptr);
    webkit_user_content_manager_add_script(gestor.get(), relevo);
    webkit_user_script_unref(relevo);
    return gestor;
}

Ref<WebKitWebView> vistaCon(const OpcionesWebVista& opciones, WebKitUserContentManager* gestor) {
    const Ref<WebKitSettings> ajustes = ajustesPara(opciones);
    WebKitWebContext* contexto =
        opciones.contexto != nullptr ? opciones.contexto : webkit_web_context_get_default();
    WebKitNetworkSession* sesion =
        opciones.sesion != nullptr ? opciones.sesion : webkit_network_session_get_default();
    return Ref<WebKitWebView>::adoptar(comoG<WebKitWebView>(
        g_object_new(webkit_web_view_get_type(), "web-context", contexto, "network-session", sesion,
                     "user-content-manager", gestor, "settings", ajustes.get(), nullptr)));
}

// Our views show only our pages: a failed load leaves them blank instead of
// showing WebKit's own (English) error page.
gboolean callarFalloCarga(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer) { return TRUE; }

Tarea<Resultado<std::vector<std::uint8_t>>> fallar(Fallo fallo) { co_return fallo; }

}  // namespace

WebVista::WebVista(std::string manejador, OpcionesWebVista opciones)
    : manejador_(std::move(manejador)), gestor_(gestorCon(manejador_)), vista_(vistaCon(opciones, gestor_.get())) {
    // Connected before registering, so no message can slip in between.
    const std::string senal = "script-message-received::" + manejador_;
    senalMensaje_ = conectarSenal(gestor_.get(), senal.c_str(), &WebVista::alRecibir, this);
    if (webkit_user_content_manager_register_script_message_handler(gestor_.get(), manejador_.c_str(),
                                                                    mundoSorvenia) == FALSE) {
        g_signal_handler_disconnect(gestor_.get(), senalMensaje_);
        throw std::invalid_argument("WebVista: nombre de manejador no válido: " + manejador_);
    }
    senalFalloCarga_ = conectarSenal(vista_.get(), "load-failed", &callarFalloCarga, nullptr);
}

WebVista::~WebVista() {
    g_signal_handler_disconnect(gestor_.get(), senalMensaje_);
    g_signal_handler_disconnect(vista_.get(), senalFalloCarga_);
    webkit_user_content_manager_unregister_script_message_handler(gestor_.get(), manejador_.c_str(), mundoSorvenia);
    olvidarEsquemas(vista_.get());
}

void WebVista::alMensaje(AlMensaje callback) { alMensaje_ = std::move(callback); }

void WebVista::cargarPagina(const std::filesystem::path& archivo, const std::filesystem::path& carpetaPermitida) {
    origen_ = OrigenPermitido::carpeta(carpetaPermitida);
    std::error_code error;
    const std::filesystem::path ruta = std::filesystem::absolute(archivo, error).lexically_normal();
    const TextoG uri(error ? nullptr : g_filename_to_uri(ruta.c_str(), nullptr, nullptr));
    webkit_web_view_load_uri(vista_.get(), uri ? uri.get() : "about:blank");
}

void WebVista::cargarHTML(const std::string& html, const std::string& uriBase) {
    origen_ = OrigenPermitido::uri(uriBase);
    webkit_web_view_load_html(vista_.get(), html.c_str(), uriBase.empty() ? nullptr : uriBase.c_str());
}

void WebVista::evaluar(const std::string& js) {
    webkit_web_view_evaluate_javascript(vista_.get(), js.c_str(), static_cast<gssize>(js.size()), nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
}

Tarea<Resultado<nlohmann::json>> WebVista::llamar(std::string cuerpoFuncion, nlohmann::json argumentos) {
    return llamarFuncion(vista_, "", std::move(cuerpoFuncion), std::move(argumentos));
}

void WebVista::inyectarEnTodosLosMarcos(const std::string& guion) {
    if (guion.empty()) return;
    WebKitUserScript* script =
        webkit_user_script_new(guion.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, nullptr, nullptr);
    webkit_user_content_manager_add_script(gestor_.get(), script);
    webkit_user_script_unref(script);
}

void WebVista::registrarEsquema(const std::string& esquema, ManejadorEsquema manejador) {
    servirEsquema(webkit_web_view_get_context(vista_.get()), vista_.get(), esquema, std::move(manejador));
}

Tarea<Resultado<std::vector<std::uint8_t>>> WebVista::instantanea(int ancho, FormatoImagen formato,
                                                                  int calidadJpeg) {
    if (ancho <= 0 || ancho > anchoMaximo) return fallar(Fallo{"El ancho de la captura no es válido.", "ancho"});
    if (gtk_widget_get_parent(widget()) == nullptr) {
        if (!anfitrion_) anfitrion_ = std::make_shared<AnfitrionOculto>();
        anfitrion_->alojar(widget());
    } else if (!anfitrion_ || anfitrion_->hijo() != widget()) {
        return fallar(Fallo{"No se puede capturar una página que se está mostrando en una ventana.", "ventana"});
    }
    return fotografiarDocumento(vista_, anfitrion_, ancho, formato, calidadJpeg);
}

void WebVista::soltarDelAnfitrion() {
    if (anfitrion_ && anfitrion_->hijo() == widget()) anfitrion_->soltar();
}

void WebVista::alRecibir(WebKitUserContentManager*, JSCValue* valor, gpointer datos) {
    static_cast<WebVista*>(datos)->recibir(valor);
}

void WebVista::recibir(JSCValue* valor) {
    if (valor == nullptr || !jsc_value_is_string(valor)) return;
    const TextoG texto(jsc_value_to_string(valor));
    const auto mensaje = leerRelevo(texto.get());
    if (!mensaje) return;
    // Both the document the relay ran in and what the view shows now: a
    // message still on its way from a page the view has left is dropped.
    const char* actual = webkit_web_view_get_uri(vista_.get());
    if (actual == nullptr || !origen_.admite(actual) || !origen_.admite(mensaje->uri)) return;
    // A copy: the callback may destroy this view, and with it alMensaje_.
    const AlMensaje callback = alMensaje_;
    if (callback) callback(mensaje->cuerpo);
}

}  // namespace sorvenia
