// The website made of a design's pages: one HTML document per page.
#include <set>

#include "centro/editor_modelo.h"
#include "editor/gui/renderizador.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

std::optional<std::string> nombreDe(const Json& pagina) {
    const auto it = pagina.find("nombre");
    if (it == pagina.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

// Only the page the editor marks as home may be "index": a page the user
// happened to call "Index" must not replace it.
std::string raizDe(const Json& pagina, bool inicio) {
    if (inicio) return "index";
    const auto nombre = nombreDe(pagina);
    std::string raiz = nombre ? EditorModelo::slug(*nombre) : "pagina";
    if (raiz.empty() || raiz == "index") raiz = "pagina";
    return raiz;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> EditorModelo::archivosWeb(const Json& paginas,
                                                                           const std::string& nombre) {
    std::vector<std::pair<std::string, std::string>> archivos;
    if (!paginas.is_array()) return archivos;
    std::set<std::string> usadas;
    for (const Json& pagina : paginas) {
        const Json p = pagina.is_object() ? pagina : Json::object();
        const auto inicio = p.find("inicio");
        std::string raiz = raizDe(p, inicio != p.end() && inicio->is_boolean() && inicio->get<bool>());
        while (usadas.contains(raiz)) raiz += "-2";
        usadas.insert(raiz);
        const auto html = p.find("html");
        const std::string cuerpo = html != p.end() && html->is_string() ? html->get<std::string>() : "";
        archivos.emplace_back(raiz + ".html", Renderizador::documento(cuerpo, nombreDe(p).value_or(nombre), true));
    }
    return archivos;
}

}  // namespace sorvenia
