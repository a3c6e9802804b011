#include "plataforma/gui/javascript_web.h"

#include <memory>

#include "plataforma/gui/llamada_js.h"

namespace sorvenia {
namespace {

using Respuesta = Resultado<nlohmann::json>;
using AlTerminar = std::function<void(Respuesta)>;

Respuesta leerValor(JSCValue* valor, const GError* error) {
    if (error != nullptr) return Fallo{std::string("La página ha fallado: ") + error->message, "javascript"};
    if (valor == nullptr || !jsc_value_is_string(valor)) return leerResultadoLlamada(nullptr);
    const TextoG texto(jsc_value_to_string(valor));
    return leerResultadoLlamada(texto.get());
}

void alTerminarLlamada(GObject* origen, GAsyncResult* resultado, gpointer datos) {
    const std::unique_ptr<AlTerminar> alTerminar(static_cast<AlTerminar*>(datos));
    GError* crudo = nullptr;
    const auto valor = Ref<JSCValue>::adoptar(
        webkit_web_view_call_async_javascript_function_finish(comoG<WebKitWebView>(origen), resultado, &crudo));
    const ErrorG error(crudo);
    (*alTerminar)(leerValor(valor.get(), error.get()));
}

// The single a{sv} argument that carries the JSON text.
GVariant* argumentosVariante(const std::string& texto) {
    GVariantBuilder constructor;
    g_variant_builder_init(&constructor, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&constructor, "{sv}", argumentoLlamada, g_variant_new_string(texto.c_str()));
    return g_variant_ref_sink(g_variant_builder_end(&constructor));
}

}  // namespace

Tarea<Resultado<nlohmann::json>> llamarFuncion(Ref<WebKitWebView> vista, std::string mundo, std::string cuerpo,
                                               nlohmann::json argumentos) {
    Resultado<std::string> envuelto = envolverLlamada(cuerpo, argumentos);
    if (!envuelto) co_return envuelto.fallo();
    const std::string texto = textoArgumentos(argumentos);
    co_return co_await conRetrollamada<Respuesta>([&](AlTerminar listo) {
        GVariant* variante = argumentosVariante(texto);
        webkit_web_view_call_async_javascript_function(
            vista.get(), envuelto->c_str(), static_cast<gssize>(envuelto->size()), variante,
            mundo.empty() ? nullptr : mundo.c_str(), nullptr, nullptr, alTerminarLlamada,
            new AlTerminar(std::move(listo)));
        g_variant_unref(variante);
    });
}

}  // namespace sorvenia
