#include "editor/escenas.h"

#include <regex>

#include "plataforma/carpetas.h"

namespace sorvenia::Escenas {
namespace {

const std::regex& referencia() {
    static const std::regex r(R"(escenas/([a-z0-9][a-z0-9-]{0,39})\.(?:mp4|jpg))");
    return r;
}

const std::regex& video() {
    static const std::regex r(R"re(<video\b[^>]*\bdata-escena="([a-z0-9][a-z0-9-]{0,39})"[^>]*>[\s\S]*?</video>)re");
    return r;
}

// The attribute `nombre`="…" of an opening tag, written out again; empty
// when the tag has none.
std::string atributo(const std::string& etiqueta, const std::string& nombre) {
    const std::regex r("\\s" + nombre + "=\"[^\"]*\"");
    std::smatch m;
    return std::regex_search(etiqueta, m, r) ? m.str(0) : "";
}

}  // namespace

std::set<std::string> usadas(std::string_view html) {
    std::set<std::string> ids;
    const std::string texto(html);
    for (const auto* patron : {&referencia(), &video()})
        for (std::sregex_iterator it(texto.begin(), texto.end(), *patron), fin; it != fin; ++it)
            ids.insert((*it)[1].str());
    return ids;
}

std::filesystem::path raiz() { return Carpetas::aplicacion() / "escenas"; }

std::filesystem::path carpeta(const std::optional<std::string>& doc) {
    std::string nombre;
    for (char c : doc.value_or(""))
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-')
            if (nombre.size() < 64) nombre += c;
    return raiz() / (nombre.empty() ? "sin-guardar" : nombre);
}

std::string conPoster(const std::string& html, const std::set<std::string>& solo) {
    if (solo.empty()) return html;
    std::string salida;
    auto desde = html.cbegin();
    for (std::sregex_iterator it(html.begin(), html.end(), video()), fin; it != fin; ++it) {
        const std::string id = (*it)[1].str();
        if (!solo.contains(id)) continue;
        const std::string elemento = (*it)[0].str();
        const std::string apertura = elemento.substr(0, elemento.find('>'));
        salida.append(desde, (*it)[0].first);
        salida += "<img src=\"escenas/" + id + ".jpg\" alt=\"\" data-escena=\"" + id + "\"" +
                  atributo(apertura, "class") + atributo(apertura, "style") + ">";
        desde = (*it)[0].second;
    }
    salida.append(desde, html.cend());
    return salida;
}

}  // namespace sorvenia::Escenas
