// A Figma node tree comes from the Figma REST API: any JSON through the
// conversion to HTML and CSS. Nothing may crash; the only markup in the
// result is the conversion's own elements, every attribute stays closed, and
// colours and font names carry nothing of the input but what they allow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "medios/figma_html.h"
#include "medios/figma_pinturas.h"

namespace {

using nlohmann::json;
namespace Figma = sorvenia::Figma;

void comprobar(bool condicion) {
    if (!condicion) std::abort();
}

std::size_t veces(std::string_view texto, std::string_view trozo) {
    std::size_t n = 0;
    for (auto p = texto.find(trozo); p != std::string_view::npos; p = texto.find(trozo, p + 1)) ++n;
    return n;
}

// Every "<" opens one of the elements the conversion writes, and every tag
// ends at the first ">" with its quotes balanced.
void soloMarcadoPropio(std::string_view html) {
    static constexpr std::string_view propias[] = {"<div ", "</div>", "<p ", "</p>", "<img "};
    for (auto p = html.find('<'); p != std::string_view::npos; p = html.find('<', p + 1)) {
        const std::string_view resto = html.substr(p);
        bool conocida = false;
        for (auto e : propias) conocida = conocida || resto.starts_with(e);
        comprobar(conocida);
        const auto fin = resto.find('>');
        comprobar(fin != std::string_view::npos);
        comprobar(veces(resto.substr(0, fin), "\"") % 2 == 0);
    }
    comprobar(veces(html, "<div ") == veces(html, "</div>"));
    comprobar(veces(html, "<p ") == veces(html, "</p>"));
}

bool colorValido(std::string_view c) {
    auto digitos = [](std::string_view s, std::string_view validos) {
        return !s.empty() && s.find_first_not_of(validos) == std::string_view::npos;
    };
    if (c == "transparent") return true;
    if (c.size() == 7 && c[0] == '#') return digitos(c.substr(1), "0123456789abcdef");
    return c.starts_with("rgba(") && c.ends_with(")") && digitos(c.substr(5, c.size() - 6), "0123456789,.");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    const std::string_view entrada(reinterpret_cast<const char*>(datos), largo);
    const json nodo = json::parse(entrada, nullptr, false);
    if (nodo.is_discarded()) return 0;

    const std::map<std::string, std::string> svgs = {{"1:1", "<svg><script>alert(1)</script></svg>"}};
    const std::map<std::string, std::string> imagenes = {{"ref", "data:image/png;base64,iVBORw0KGgo="}};
    std::set<std::string> fuentes;
    const std::string html = Figma::html(nodo, Figma::rect(nodo), svgs, imagenes, fuentes);
    soloMarcadoPropio(html);
    comprobar(html.find("<svg") == std::string::npos);
    for (const std::string& f : fuentes) {
        comprobar(!f.empty());
        for (char ch : f)
            comprobar(static_cast<unsigned char>(ch) >= 0x80 ||
                      std::string_view("-_. ").find(ch) != std::string_view::npos || (ch >= 'a' && ch <= 'z') ||
                      (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'));
    }

    if (nodo.is_object()) {
        const auto r = Figma::rect(nodo);
        comprobar(r.width >= 0 && r.height >= 0 && r.width <= 1e6 && r.height <= 1e6);
        comprobar(r.x >= -1e6 && r.x <= 1e6 && r.y >= -1e6 && r.y <= 1e6);
        if (auto c = nodo.find("color"); c != nodo.end()) comprobar(colorValido(Figma::color(*c, 1)));
        if (auto f = nodo.find("fills"); f != nodo.end()) {
            if (auto fondo = Figma::relleno(*f, imagenes)) {
                comprobar(!fondo->empty());
                comprobar(fondo->find_first_of("\"'<>{}\\") == std::string::npos);
            }
        }
        (void)Figma::esVector(nodo);
    }
    return 0;
}
