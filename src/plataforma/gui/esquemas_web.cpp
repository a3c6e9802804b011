#include "plataforma/gui/esquemas_web.h"

#include <exception>
#include <map>
#include <set>

#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

constexpr const char* claveManejadores = "sorvenia-manejadores-esquema";
constexpr const char* claveRegistrados = "sorvenia-esquemas-registrados";

using Manejadores = std::map<std::string, ManejadorEsquema, std::less<>>;
using Registrados = std::set<std::string, std::less<>>;

template <class T>
void borrar(gpointer datos) {
    delete static_cast<T*>(datos);
}

// The table hangs from the GObject it belongs to, so it lives exactly as
// long as that object (or until it is cleared).
template <class T>
T& tablaDe(gpointer objeto, const char* clave) {
    auto* tabla = static_cast<T*>(g_object_get_data(comoG<GObject>(objeto), clave));
    if (tabla == nullptr) {
        tabla = new T();
        g_object_set_data_full(comoG<GObject>(objeto), clave, tabla, borrar<T>);
    }
    return *tabla;
}

void fallar(WebKitURISchemeRequest* pedido, GIOErrorEnum codigo, const std::string& mensaje) {
    const ErrorG error(g_error_new_literal(G_IO_ERROR, codigo, mensaje.c_str()));
    webkit_uri_scheme_request_finish_error(pedido, error.get());
}

void responder(WebKitURISchemeRequest* pedido, const RecursoEsquema& recurso) {
    const BytesG bytes(g_bytes_new(recurso.datos.data(), recurso.datos.size()));
    const auto flujo = Ref<GInputStream>::adoptar(g_memory_input_stream_new_from_bytes(bytes.get()));
    const auto respuesta = Ref<WebKitURISchemeResponse>::adoptar(
        webkit_uri_scheme_response_new(flujo.get(), static_cast<gint64>(recurso.datos.size())));
    webkit_uri_scheme_response_set_status(respuesta.get(), static_cast<guint>(recurso.status), nullptr);
    if (!recurso.tipoMime.empty())
        webkit_uri_scheme_response_set_content_type(respuesta.get(), recurso.tipoMime.c_str());
    if (!recurso.cabeceras.empty()) {
        SoupMessageHeaders* cabeceras = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
        for (const auto& [nombre, valor] : recurso.cabeceras)
            soup_message_headers_append(cabeceras, nombre.c_str(), valor.c_str());
        soup_message_headers_set_content_length(cabeceras, static_cast<goffset>(recurso.datos.size()));
        if (!recurso.tipoMime.empty())
            soup_message_headers_replace(cabeceras, "Content-Type", recurso.tipoMime.c_str());
        // The response takes the headers.
        webkit_uri_scheme_response_set_http_headers(respuesta.get(), cabeceras);
    }
    webkit_uri_scheme_request_finish_with_response(pedido, respuesta.get());
}

// Not found is an answer, not a failed load: an HTTP 404 with an empty
// body, which any page (and any origin) can see as such.
void noEncontrado(WebKitURISchemeRequest* pedido) {
    const auto flujo = Ref<GInputStream>::adoptar(g_memory_input_stream_new());
    const auto respuesta = Ref<WebKitURISchemeResponse>::adoptar(webkit_uri_scheme_response_new(flujo.get(), 0));
    webkit_uri_scheme_response_set_status(respuesta.get(), 404, "Not Found");
    SoupMessageHeaders* cabeceras = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    soup_message_headers_append(cabeceras, "Content-Length", "0");
    soup_message_headers_append(cabeceras, "Access-Control-Allow-Origin", "*");
    webkit_uri_scheme_response_set_http_headers(respuesta.get(), cabeceras);  // takes the headers
    webkit_uri_scheme_request_finish_with_response(pedido, respuesta.get());
}

ManejadorEsquema manejadorPara(WebKitURISchemeRequest* pedido) {
    WebKitWebView* vista = webkit_uri_scheme_request_get_web_view(pedido);
    if (vista == nullptr) return {};
    auto* tabla = static_cast<Manejadores*>(g_object_get_data(comoG<GObject>(vista), claveManejadores));
    if (tabla == nullptr) return {};
    const auto it = tabla->find(std::string_view(webkit_uri_scheme_request_get_scheme(pedido)));
    return it == tabla->end() ? ManejadorEsquema{} : it->second;
}

void atender(WebKitURISchemeRequest* pedido, gpointer) {
    const std::string uri = webkit_uri_scheme_request_get_uri(pedido);
    // A copy: the handler may replace itself while it runs.
    const ManejadorEsquema manejador = manejadorPara(pedido);
    RespuestaEsquema respuesta;
    try {
        if (manejador) respuesta = manejador(uri);
    } catch (const std::exception& e) {
        fallar(pedido, G_IO_ERROR_FAILED, std::string("No se ha podido servir ") + uri + ": " + e.what());
        return;
    }
    if (!respuesta) {
        noEncontrado(pedido);
        return;
    }
    responder(pedido, *respuesta);
}

}  // namespace

void servirEsquema(WebKitWebContext* contexto, WebKitWebView* vista, const std::string& esquema,
                   ManejadorEsquema manejador) {
    tablaDe<Manejadores>(vista, claveManejadores)[esquema] = std::move(manejador);
    if (tablaDe<Registrados>(contexto, claveRegistrados).insert(esquema).second)
        webkit_web_context_register_uri_scheme(contexto, esquema.c_str(), atender, nullptr, nullptr);
}

void olvidarEsquemas(WebKitWebView* vista) { g_object_set_data(comoG<GObject>(vista), claveManejadores, nullptr); }

}  // namespace sorvenia
