#include "plataforma/gui/llamada_js.h"

#include <algorithm>

namespace sorvenia {
namespace {

bool esInicioIdentificador(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}

bool esIdentificador(std::string_view nombre) {
    if (nombre.empty() || !esInicioIdentificador(nombre.front())) return false;
    return std::all_of(nombre.begin() + 1, nombre.end(),
                       [](char c) { return esInicioIdentificador(c) || (c >= '0' && c <= '9'); });
}

std::string aTexto(const nlohmann::json& valor) {
    return valor.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::optional<std::string> jsonParaPagina(const nlohmann::json& valor) {
    try {
        return aTexto(valor);
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> llamadaPagina(std::string_view objeto, std::string_view funcion,
                                         const nlohmann::json& argumento) {
    const auto json = jsonParaPagina(argumento);
    if (!json) return std::nullopt;
    const std::string global = "window." + std::string(objeto);
    return global + " && " + global + "." + std::string(funcion) + "(" + *json + ")";
}

Resultado<std::string> envolverLlamada(std::string_view cuerpo, const nlohmann::json& argumentos) {
    if (!argumentos.is_null() && !argumentos.is_object())
        return Fallo{"Los argumentos de una llamada a la página deben ser un objeto.", "argumentos"};
    std::string parametros;
    std::string valores;
    for (const auto& [nombre, valor] : argumentos.items()) {
        if (!esIdentificador(nombre))
            return Fallo{"El argumento «" + nombre + "» no es un nombre válido de JavaScript.", "argumentos"};
        if (!parametros.empty()) {
            parametros += ", ";
            valores += ", ";
        }
        parametros += nombre;
        valores += "sorveniaValores[" + aTexto(nombre) + "]";
    }
    // The body goes on lines of its own, so a trailing line comment in it
    // cannot swallow the wrapper's closing brace.
    return "const sorveniaValores = JSON.parse(" + std::string(argumentoLlamada) + ");\n"
           "const sorveniaResultado = await (async function (" + parametros + ") {\n" +
           std::string(cuerpo) +
           "\n}).call(this" + (valores.empty() ? "" : ", " + valores) + ");\n"
           "return JSON.stringify(sorveniaResultado === undefined ? null : sorveniaResultado);\n";
}

std::string textoArgumentos(const nlohmann::json& argumentos) {
    return argumentos.is_null() ? "{}" : aTexto(argumentos);
}

Resultado<nlohmann::json> leerResultadoLlamada(const char* textoJson) {
    if (textoJson == nullptr) return nlohmann::json(nullptr);
    nlohmann::json valor = nlohmann::json::parse(textoJson, nullptr, false);
    if (valor.is_discarded()) return Fallo{"La página ha devuelto un resultado ilegible.", "resultado"};
    return valor;
}

}  // namespace sorvenia
