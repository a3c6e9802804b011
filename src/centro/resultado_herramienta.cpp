// Shaping the tool handler's items into the result of a "tools/call".
#include <charconv>

#include "centro/letras.h"
#include "centro/respuesta_mcp.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

std::string decimal(std::size_t n) {
    char cifras[24];
    return std::string(cifras, std::to_chars(cifras, cifras + sizeof cifras, n).ptr);
}

bool primeroEsError(const Json& items) {
    if (!items.is_array() || items.empty() || !items[0].is_object()) return false;
    const auto e = items[0].find("error");
    return e != items[0].end() && e->is_boolean() && e->get<bool>();
}

}  // namespace

Json acotar(Json item) {
    if (!item.is_object()) return item;
    const auto tipo = item.find("type");
    const auto texto = item.find("text");
    if (tipo == item.end() || *tipo != "text" || texto == item.end() || !texto->is_string()) return item;
    const auto& t = texto->get_ref<const std::string&>();
    // A cluster takes at least one byte: short texts need no counting.
    if (t.size() <= limiteLetras) return item;
    const std::size_t letras = contarLetras(t);
    if (letras <= limiteLetras) return item;
    *texto = std::string(primerasLetras(t, letrasConservadas)) + "\n\n[…CORTADO: la respuesta medía " + decimal(letras) +
             " letras y sólo caben " + decimal(limiteLetras) +
             ". Pide algo más pequeño: el id de una sección en vez de la mesa entera (leer({id}) te da la sección con "
             "el CSS que usa).]";
    return item;
}

RespuestaEndpoint respuestaDeHerramienta(std::string_view id, Json items) {
    const bool esError = primeroEsError(items);
    Json contenido = Json::array();
    if (items.is_array()) {
        for (auto& item : items) {
            if (item.is_object()) item.erase("error");
            contenido.push_back(acotar(std::move(item)));
        }
    }
    return contestarJSON(id, nlohmann::ordered_json{
                                 {"result", {{"content", std::move(contenido)}, {"isError", esError}}},
                             });
}

Json itemsSinManejador() { return Json::array({{{"type", "text"}, {"text", textoSinManejador}}}); }

Json itemsDeError(std::string_view texto) {
    const std::string_view general = "No se ha podido completar la herramienta.";
    return Json::array({{{"type", "text"}, {"text", texto.empty() ? general : texto}, {"error", true}}});
}

}  // namespace sorvenia
