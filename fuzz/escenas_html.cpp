// A page's HTML comes from agents and the web: any bytes through the scene
// references and the poster rewrite. Nothing may crash or recurse with the
// input's length. Where the backtracking patterns the rules are written as
// are safe to run (short pages), the scenes found and the rewritten page
// must be exactly theirs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <set>
#include <string>
#include <string_view>

#include "editor/escenas.h"

namespace {

using namespace sorvenia;

void comprobar(bool condicion) {
    if (!condicion) std::abort();
}

constexpr std::size_t largoReferencia = 1000;

const std::regex& referencia() {
    static const std::regex r(R"(escenas/([a-z0-9][a-z0-9-]{0,39})\.(?:mp4|jpg))");
    return r;
}

const std::regex& video() {
    static const std::regex r(R"re(<video\b[^>]*\bdata-escena="([a-z0-9][a-z0-9-]{0,39})"[^>]*>[\s\S]*?</video>)re");
    return r;
}

std::set<std::string> usadasReferencia(const std::string& html) {
    std::set<std::string> ids;
    for (const auto* patron : {&referencia(), &video()})
        for (std::sregex_iterator it(html.begin(), html.end(), *patron), fin; it != fin; ++it)
            ids.insert((*it)[1].str());
    return ids;
}

std::string atributoReferencia(const std::string& etiqueta, const std::string& nombre) {
    const std::regex r("\\s" + nombre + "=\"[^\"]*\"");
    std::smatch m;
    return std::regex_search(etiqueta, m, r) ? m.str(0) : "";
}

std::string conPosterReferencia(const std::string& html, const std::set<std::string>& solo) {
    std::string salida;
    auto desde = html.cbegin();
    for (std::sregex_iterator it(html.begin(), html.end(), video()), fin; it != fin; ++it) {
        const std::string id = (*it)[1].str();
        if (!solo.contains(id)) continue;
        const std::string elemento = (*it)[0].str();
        const std::string apertura = elemento.substr(0, elemento.find('>'));
        salida.append(desde, (*it)[0].first);
        salida += "<img src=\"escenas/" + id + ".jpg\" alt=\"\" data-escena=\"" + id + "\"" +
                  atributoReferencia(apertura, "class") + atributoReferencia(apertura, "style") + ">";
        desde = (*it)[0].second;
    }
    salida.append(desde, html.cend());
    return salida;
}

// Every other scene the page uses, so that some videos are rewritten and
// some are kept.
std::set<std::string> algunas(const std::set<std::string>& ids) {
    std::set<std::string> elegidas;
    bool tomar = true;
    for (const auto& id : ids) {
        if (tomar) elegidas.insert(id);
        tomar = !tomar;
    }
    return elegidas;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const std::string html(reinterpret_cast<const char*>(datos), tamano);
    const auto ids = Escenas::usadas(html);
    comprobar(Escenas::conPoster(html, {}) == html);
    const auto solo = algunas(ids);
    const auto conPoster = Escenas::conPoster(html, solo);
    if (html.size() <= largoReferencia) {
        comprobar(ids == usadasReferencia(html));
        comprobar(conPoster == conPosterReferencia(html, solo));
    }
    return 0;
}
