#include "cuenta/error_api.h"

#include <nlohmann/json.hpp>

namespace sorvenia {
namespace {

const std::string* textoEn(const nlohmann::json& objeto, const char* clave) {
    const auto it = objeto.find(clave);
    if (it == objeto.end() || !it->is_string()) return nullptr;
    return it->get_ptr<const std::string*>();
}

}  // namespace

ErrorAPI errorDe(std::string_view cuerpo, int status) {
    const auto raiz = nlohmann::json::parse(cuerpo, nullptr, false);
    if (raiz.is_object()) {
        const auto error = raiz.find("error");
        if (error != raiz.end() && error->is_object()) {
            const auto* codigo = textoEn(*error, "code");
            const auto* mensaje = textoEn(*error, "message");
            if (codigo != nullptr && mensaje != nullptr) return {*codigo, *mensaje, status};
        }
    }
    if (status == 413)
        return {"demasiado_grande",
                "El diseño es demasiado grande para guardarlo (más de 4 MB): quita o reduce alguna imagen.", 413};
    const std::string numero = std::to_string(status);
    if (status >= 500)
        return {"http_" + numero, "El servidor de Sorvenia no responde bien (" + numero + "). Se reintentará.",
                status};
    return {"http_" + numero, "El servidor ha contestado " + numero + ".", status};
}

bool reintentable(const std::exception& error) noexcept {
    if (const auto* api = dynamic_cast<const ErrorAPI*>(&error)) return api->status == 429 || api->status >= 500;
    return dynamic_cast<const ErrorTransporte*>(&error) != nullptr;
}

bool reintentable(const std::exception_ptr& error) noexcept {
    if (!error) return false;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return reintentable(e);
    } catch (...) {
        return false;
    }
}

}  // namespace sorvenia
