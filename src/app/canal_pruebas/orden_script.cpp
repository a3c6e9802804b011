#include "app/canal_pruebas/orden_script.h"

#include <string>

#include "app/canal_pruebas/archivos_canal.h"
#include "app/canal_pruebas/orden_canal.h"
#include "app/canal_pruebas/registro_webs.h"
#include "plataforma/objeto_g.h"

namespace sorvenia::CanalPruebas {
namespace {

using nlohmann::json;

void escribirRespuesta(const json& respuesta) {
    std::string bytes;
    try {
        bytes = respuesta.dump();
    } catch (const json::exception&) {
        bytes = R"({"ok":false})";  // a text that is not UTF-8
    }
    escribirAtomico(enCarpeta("respuesta.json"), bytes);
}

std::string textoDe(JSCValue* valor) {
    const TextoG texto(jsc_value_to_string(valor));
    return texto ? texto.get() : "";
}

void alTerminar(GObject* fuente, GAsyncResult* resultado, gpointer) {
    GError* crudo = nullptr;
    JSCValue* valor = webkit_web_view_call_async_javascript_function_finish(comoG<WebKitWebView>(fuente),
                                                                           resultado, &crudo);
    const ErrorG error(crudo);
    const auto dueno = Ref<JSCValue>::adoptar(valor);
    if (error) {
        escribirRespuesta({{"ok", false}, {"error", error->message}});
        return;
    }
    escribirRespuesta({{"ok", true}, {"valor", valorDeResultado(valor)}});
}

}  // namespace

json valorDeResultado(JSCValue* valor) {
    if (valor == nullptr || jsc_value_is_undefined(valor) || jsc_value_is_null(valor)) return nullptr;
    if (jsc_value_is_object(valor) && jsc_value_object_is_instance_of(valor, "Date")) return textoDe(valor);
    const TextoG texto(jsc_value_to_json(valor, 0));
    if (texto) {
        json leido = json::parse(texto.get(), nullptr, false);
        if (!leido.is_discarded()) return leido;
    }
    return textoDe(valor);
}

void mirarOrden() {
    const auto archivo = enCarpeta("orden.js");
    const auto orden = leerPeticion(archivo);
    if (!orden) return;
    borrar(archivo);
    const std::string nombre = destinoOrden(*orden);
    const Ref<WebKitWebView> web = webVisible(nombre);
    if (!web) {
        escribirRespuesta(
            {{"ok", false}, {"error", "no hay web «" + nombre + "» visible"}, {"visibles", websVisibles()}});
        return;
    }
    // The page's own world (no world name), so its globals are in reach;
    // WebKit holds the view until the script completes.
    webkit_web_view_call_async_javascript_function(web.get(), orden->c_str(), static_cast<gssize>(orden->size()),
                                                   nullptr, nullptr, nullptr, nullptr, &alTerminar, nullptr);
}

}  // namespace sorvenia::CanalPruebas
