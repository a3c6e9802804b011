#include <algorithm>
#include <set>

#include "medios/figma_html.h"
#include "medios/figma_importar.h"
#include "medios/figma_pinturas.h"

namespace sorvenia::Figma {
namespace {

using Json = nlohmann::json;

// A family for the web-font address: blanks as "+", letters, digits and
// "-._" as they are, any other byte (non-ASCII letters) percent-encoded.
std::string familiaURL(std::string_view familia) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string fuera;
    for (const char c : familia) {
        const auto b = static_cast<unsigned char>(c);
        if (c == ' ') fuera += '+';
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                 c == '_')
            fuera += c;
        else {
            fuera += '%';
            fuera += hex[b >> 4];
            fuera += hex[b & 0x0F];
        }
    }
    return fuera;
}

std::string hojaDeFuentes(const std::set<std::string>& fuentes) {
    if (fuentes.empty()) return {};
    std::string url = "https://fonts.googleapis.com/css2?";
    for (const auto& f : fuentes) url += "family=" + familiaURL(f) + ":wght@100..900&";
    return "<style>@import url('" + url + "display=swap');</style>";
}

}  // namespace

Marco pagina(const Json& marco, const std::map<std::string, std::string>& svgs,
             const std::map<std::string, std::string>& imagenes) {
    Marco m;
    const auto nombre = marco.is_object() ? marco.find("name") : marco.end();
    m.nombre = marco.is_object() && nombre != marco.end() && nombre->is_string() ? nombre->get<std::string>() : "Marco";
    const R caja = rect(marco);
    m.ancho = caja.width;
    m.alto = caja.height;

    const Json vacio;
    const Json& rellenos = marco.is_object() && marco.contains("fills") ? marco["fills"] : vacio;
    // The frame's own background and every node inside it share one budget
    // of embedded bytes.
    const std::string fondo = relleno(rellenos, imagenes).value_or("#ffffff");
    std::size_t recursos = fondo.size();
    std::string estilo = "position:relative;width:" + fmt(caja.width) + "px;height:" + fmt(caja.height) +
                         "px;overflow:hidden;background:" + fondo;
    if (marco.is_object() && marco.contains("cornerRadius"))
        if (const auto radio = num(marco["cornerRadius"]))
            estilo += ";border-radius:" + fmt(std::clamp(*radio, 0.0, 1e6)) + "px";

    std::set<std::string> fuentes;
    std::string dentro;
    if (marco.is_object() && marco.contains("children") && marco["children"].is_array())
        for (const Json& hijo : marco["children"]) dentro += html(hijo, caja, svgs, imagenes, fuentes, recursos);
    m.html = hojaDeFuentes(fuentes) + "<div data-nombre=\"" + esc(m.nombre) + "\" style=\"" + estilo + "\">" + dentro +
             "</div>";
    return m;
}

}  // namespace sorvenia::Figma
