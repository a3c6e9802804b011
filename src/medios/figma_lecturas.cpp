#include "medios/figma_lecturas.h"

#include <algorithm>
#include <array>
#include <set>
#include <string_view>

#include "medios/figma_html.h"

namespace sorvenia::Figma {
namespace {

using Json = nlohmann::json;

bool visible(const Json& nodo) { return !(nodo.contains("visible") && nodo["visible"] == false); }

const Json& hijos(const Json& nodo) {
    static const Json vacio = Json::array();
    if (!nodo.is_object()) return vacio;
    const auto it = nodo.find("children");
    return it != nodo.end() && it->is_array() ? *it : vacio;
}

}  // namespace

bool esMarco(const Json& nodo) {
    static constexpr std::array<std::string_view, 6> tipos = {"FRAME",    "COMPONENT", "COMPONENT_SET",
                                                              "INSTANCE", "GROUP",     "SECTION"};
    if (!nodo.is_object()) return false;
    const auto tipo = nodo.find("type");
    return tipo != nodo.end() && tipo->is_string() &&
           std::ranges::count(tipos, tipo->get_ref<const std::string&>()) > 0;
}

std::string idDe(const Json& nodo) {
    if (!nodo.is_object()) return {};
    const auto id = nodo.find("id");
    return id != nodo.end() && id->is_string() ? id->get<std::string>() : std::string();
}

std::vector<Json> marcosDeArchivo(const Json& archivo) {
    std::vector<Json> marcos;
    if (!archivo.is_object() || !archivo.contains("document")) return marcos;
    for (const Json& pagina : hijos(archivo["document"]))
        for (const Json& nodo : hijos(pagina))
            if (visible(nodo) && esMarco(nodo)) marcos.push_back(nodo);
    return marcos;
}

std::vector<Json> marcosDeNodo(const Json& nodo) {
    if (esMarco(nodo)) return {nodo};
    std::vector<Json> marcos;
    for (const Json& hijo : hijos(nodo))
        if (visible(hijo) && esMarco(hijo)) marcos.push_back(hijo);
    return marcos;
}

std::vector<Json> documentos(const Json& respuesta, const std::vector<std::string>& ids) {
    std::vector<Json> lista;
    if (!respuesta.is_object() || !respuesta.contains("nodes") || !respuesta["nodes"].is_object()) return lista;
    const Json& nodos = respuesta["nodes"];
    for (const auto& id : ids) {
        const auto it = nodos.find(id);
        if (it == nodos.end() || !it->is_object()) continue;
        const auto doc = it->find("document");
        if (doc != it->end() && doc->is_object()) lista.push_back(*doc);
    }
    return lista;
}

Recursos recorrer(const std::vector<Json>& marcos) {
    Recursos r;
    std::set<std::string> vistas;
    // Depth first without recursion, a node before its children in order.
    std::vector<const Json*> pendientes;
    for (auto it = marcos.rbegin(); it != marcos.rend(); ++it) pendientes.push_back(&*it);
    while (!pendientes.empty()) {
        const Json& nodo = *pendientes.back();
        pendientes.pop_back();
        if (!nodo.is_object() || !visible(nodo)) continue;
        if (esVector(nodo)) {
            if (const auto id = nodo.find("id"); id != nodo.end() && id->is_string()) r.vectores.push_back(*id);
            continue;
        }
        if (const auto rellenos = nodo.find("fills"); rellenos != nodo.end() && rellenos->is_array())
            for (const Json& p : *rellenos) {
                if (!p.is_object() || p.value("type", Json()) != "IMAGE") continue;
                const auto ref = p.find("imageRef");
                if (ref != p.end() && ref->is_string() && vistas.insert(ref->get<std::string>()).second)
                    r.imagenes.push_back(*ref);
            }
        const Json& h = hijos(nodo);
        for (auto it = h.rbegin(); it != h.rend(); ++it) pendientes.push_back(&*it);
    }
    return r;
}

std::map<std::string, std::string> direcciones(const Json& respuesta, const std::vector<std::string>& ruta) {
    const Json* objeto = &respuesta;
    for (const auto& clave : ruta) {
        if (!objeto->is_object()) return {};
        const auto it = objeto->find(clave);
        if (it == objeto->end()) return {};
        objeto = &*it;
    }
    std::map<std::string, std::string> mapa;
    if (!objeto->is_object()) return mapa;
    for (const auto& [clave, valor] : objeto->items())
        if (valor.is_string()) mapa.emplace(clave, valor.get<std::string>());
    return mapa;
}

std::string errorGenerico(long status) { return "Figma ha respondido con un error (" + std::to_string(status) + ")."; }

Resultado<Json> leerRespuesta(long status, std::string_view cuerpo) {
    if (status == 401 || status == 403) return Fallo{std::string(tokenRechazado), "token"};
    if (status == 404) return Fallo{std::string(archivoNoExiste), "no_existe"};
    if (status == 429) return Fallo{std::string(demasiadoRapido), "limite"};
    if (status < 200 || status > 299) return Fallo{errorGenerico(status), "status"};
    auto json = Json::parse(cuerpo, nullptr, false);
    if (json.is_discarded()) return Fallo{"La respuesta de Figma no se puede leer: no es JSON válido.", "json"};
    if (!json.is_object()) return Fallo{errorGenerico(status), "status"};
    return json;
}

}  // namespace sorvenia::Figma
