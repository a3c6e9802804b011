#include "medios/figma_html.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "medios/figma_pinturas.h"

namespace sorvenia::Figma {

namespace {

using nlohmann::json;
using Mapa = std::map<std::string, std::string>;

// Nodes nested deeper than this are left out: the conversion recurses once
// per level and the tree comes from outside.
constexpr int profundidadMaxima = 100;
// Positions and sizes beyond a million pixels are no design; they are held
// there so that every later sum stays finite.
constexpr double limiteGeometria = 1e6;
// Bytes of SVG and image addresses one conversion embeds at most: a tree
// that names the same large asset in thousands of nodes would otherwise
// grow the page without bound.

const json& campo(const json& objeto, std::string_view clave) {
    static const json nada;
    if (!objeto.is_object()) return nada;
    auto it = objeto.find(clave);
    return it == objeto.end() ? nada : *it;
}

double acotar(double x, double lo, double hi) {
    if (std::isnan(x)) return 0;
    return std::clamp(x, lo, hi);
}

// A number of the node held in [lo, hi]; `porDefecto` when it is missing.
double medida(const json& objeto, std::string_view clave, double lo, double hi, double porDefecto = 0) {
    return acotar(num(campo(objeto, clave)).value_or(porDefecto), lo, hi);
}

std::string texto(const json& valor) { return valor.is_string() ? valor.get<std::string>() : std::string(); }

bool esFalso(const json& valor) { return valor.is_boolean() && !valor.get<bool>(); }

std::string px(double x) { return fmt(x) + "px"; }

// A font family as it may stand inside a quoted CSS string and a URL query:
// ASCII letters, digits, blanks, "-", "_", "." and any non-ASCII character
// are kept; quotes, backslashes, semicolons and the like are dropped.
std::string familiaLimpia(std::string_view f) {
    std::string limpia;
    for (char ch : f) {
        const auto u = static_cast<unsigned char>(ch);
        const bool alfanumerico = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        if (u >= 0x80 || alfanumerico || ch == ' ' || ch == '-' || ch == '_' || ch == '.') limpia += ch;
    }
    const auto inicio = limpia.find_first_not_of(' ');
    if (inicio == std::string::npos) return "";
    return limpia.substr(inicio, limpia.find_last_not_of(' ') - inicio + 1);
}

std::string base64(std::string_view bytes) {
    constexpr std::string_view tabla = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string salida;
    salida.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t n = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16U;
        if (i + 1 < bytes.size()) n |= std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8U;
        if (i + 2 < bytes.size()) n |= std::uint32_t{static_cast<unsigned char>(bytes[i + 2])};
        salida += tabla[(n >> 18) & 63];
        salida += tabla[(n >> 12) & 63];
        salida += i + 1 < bytes.size() ? tabla[(n >> 6) & 63] : '=';
        salida += i + 2 < bytes.size() ? tabla[n & 63] : '=';
    }
    return salida;
}

std::string unir(const std::vector<std::string>& partes, std::string_view separador) {
    std::string s;
    for (const std::string& p : partes) {
        if (!s.empty()) s += separador;
        s += p;
    }
    return s;
}

struct Contexto {
    const Mapa& svgs;
    const Mapa& imagenes;
    std::set<std::string>& fuentes;
    std::size_t& recursos;
};

bool arcoCompleto(const json& nodo) {
    const json& arco = campo(nodo, "arcData");
    if (!arco.is_object()) return true;
    if (num(campo(arco, "innerRadius")).value_or(0) != 0) return false;
    const double fin = num(campo(arco, "endingAngle")).value_or(6.283);
    const double inicio = num(campo(arco, "startingAngle")).value_or(0);
    return std::fabs(fin - inicio) > 6.28;
}

std::vector<std::string> posicion(const R& r, const R& padre) {
    return {"position:absolute", "left:" + px(r.x - padre.x), "top:" + px(r.y - padre.y), "width:" + px(r.width),
            "height:" + px(r.height)};
}

std::string atributos(const json& nodo, const std::vector<std::string>& estilo) {
    return " data-nombre=\"" + esc(texto(campo(nodo, "name"))) + "\" style=\"" + esc(unir(estilo, ";")) + "\"";
}

// The first visible SOLID paint of a list.
const json* primeraSolida(const json& pinturas) {
    if (!pinturas.is_array()) return nullptr;
    for (const json& p : pinturas)
        if (p.is_object() && !esFalso(campo(p, "visible")) && texto(campo(p, "type")) == "SOLID") return &p;
    return nullptr;
}

std::string colorDe(const json& pintura) {
    return color(campo(pintura, "color"), num(campo(pintura, "opacity")).value_or(1));
}

std::string htmlTexto(const json& nodo, std::vector<std::string> estilo, Contexto& ctx) {
    const json& s = campo(nodo, "style");
    const std::string familia = familiaLimpia(texto(campo(s, "fontFamily")));
    if (!familia.empty()) {
        ctx.fuentes.insert(familia);
        estilo.push_back("font-family:'" + familia + "',system-ui,sans-serif");
    } else {
        estilo.emplace_back("font-family:system-ui,sans-serif");
    }
    if (num(campo(s, "fontSize"))) estilo.push_back("font-size:" + px(medida(s, "fontSize", 0, 10000)));
    if (num(campo(s, "fontWeight")))
        estilo.push_back("font-weight:" + fmt(std::round(medida(s, "fontWeight", 1, 1000))));
    if (num(campo(s, "lineHeightPx"))) estilo.push_back("line-height:" + px(medida(s, "lineHeightPx", 0, 100000)));
    if (num(campo(s, "letterSpacing")))
        estilo.push_back("letter-spacing:" + px(medida(s, "letterSpacing", -10000, 10000)));
    estilo.emplace_back("margin:0");
    estilo.emplace_back("white-space:pre-wrap");
    if (campo(s, "italic") == json(true)) estilo.emplace_back("font-style:italic");
    const std::string alineacion = texto(campo(s, "textAlignHorizontal"));
    if (alineacion == "CENTER") estilo.emplace_back("text-align:center");
    if (alineacion == "RIGHT") estilo.emplace_back("text-align:right");
    if (alineacion == "JUSTIFIED") estilo.emplace_back("text-align:justify");
    const std::string caja = texto(campo(s, "textCase"));
    if (caja == "UPPER") estilo.emplace_back("text-transform:uppercase");
    if (caja == "LOWER") estilo.emplace_back("text-transform:lowercase");
    if (caja == "TITLE") estilo.emplace_back("text-transform:capitalize");
    const std::string decoracion = texto(campo(s, "textDecoration"));
    if (decoracion == "UNDERLINE") estilo.emplace_back("text-decoration:underline");
    if (decoracion == "STRIKETHROUGH") estilo.emplace_back("text-decoration:line-through");
    if (const json* relleno = primeraSolida(campo(nodo, "fills"))) estilo.push_back("color:" + colorDe(*relleno));
    // A text that grows with its content keeps its lines as Figma broke them.
    if (texto(campo(s, "textAutoResize")) == "WIDTH_AND_HEIGHT" ||
        texto(campo(nodo, "textAutoResize")) == "WIDTH_AND_HEIGHT")
        estilo.emplace_back("width:max-content");
    return "<p" + atributos(nodo, estilo) + ">" + esc(texto(campo(nodo, "characters"))) + "</p>";
}

void radios(const json& nodo, std::vector<std::string>& estilo) {
    if (texto(campo(nodo, "type")) == "ELLIPSE") {
        estilo.emplace_back("border-radius:50%");
        return;
    }
    const json& cuatro = campo(nodo, "rectangleCornerRadii");
    if (cuatro.is_array() && cuatro.size() == 4 &&
        std::ranges::all_of(cuatro, [](const json& v) { return v.is_number(); })) {
        std::vector<std::string> partes;
        for (const json& v : cuatro) partes.push_back(px(acotar(v.get<double>(), 0, limiteGeometria)));
        estilo.push_back("border-radius:" + unir(partes, " "));
    } else if (num(campo(nodo, "cornerRadius"))) {
        estilo.push_back("border-radius:" + px(medida(nodo, "cornerRadius", 0, limiteGeometria)));
    }
}

// The stroke and the shadows: an inside stroke is an inset shadow, so it
// shares the one box-shadow declaration with the node's shadow effects.
void bordesYEfectos(const json& nodo, std::vector<std::string>& estilo) {
    std::vector<std::string> sombras;
    const json* trazo = primeraSolida(campo(nodo, "strokes"));
    const double grosor = medida(nodo, "strokeWeight", 0, 10000);
    if (trazo && grosor > 0) {
        if (texto(campo(nodo, "strokeAlign")) == "OUTSIDE")
            estilo.push_back("outline:" + px(grosor) + " solid " + colorDe(*trazo));
        else sombras.push_back("inset 0 0 0 " + px(grosor) + " " + colorDe(*trazo));
    }
    std::string desenfoque;
    std::string desenfoqueFondo;
    const json& efectos = campo(nodo, "effects");
    for (const json& e : efectos.is_array() ? efectos : json::array()) {
        if (!e.is_object() || esFalso(campo(e, "visible"))) continue;
        const std::string tipo = texto(campo(e, "type"));
        const std::string radio = px(medida(e, "radius", 0, 10000));
        if (tipo == "DROP_SHADOW" || tipo == "INNER_SHADOW") {
            const json& d = campo(e, "offset");
            sombras.push_back(std::string(tipo == "INNER_SHADOW" ? "inset " : "") +
                              px(medida(d, "x", -limiteGeometria, limiteGeometria)) + " " +
                              px(medida(d, "y", -limiteGeometria, limiteGeometria)) + " " + radio + " " +
                              px(medida(e, "spread", -10000, 10000)) + " " + color(campo(e, "color"), 1));
        } else if (tipo == "LAYER_BLUR") {
            desenfoque = radio;
        } else if (tipo == "BACKGROUND_BLUR") {
            desenfoqueFondo = radio;
        }
    }
    if (!sombras.empty()) estilo.push_back("box-shadow:" + unir(sombras, ","));
    if (!desenfoque.empty()) estilo.push_back("filter:blur(" + desenfoque + ")");
    if (!desenfoqueFondo.empty()) {
        estilo.push_back("backdrop-filter:blur(" + desenfoqueFondo + ")");
        estilo.push_back("-webkit-backdrop-filter:blur(" + desenfoqueFondo + ")");
    }
}

std::string htmlNodo(const json& nodo, const R& padre, Contexto& ctx, int profundidad);

std::string htmlCaja(const json& nodo, const R& r, std::vector<std::string> estilo, Contexto& ctx, int profundidad) {
    if (num(campo(nodo, "opacity"))) {
        const double opacidad = medida(nodo, "opacity", 0, 1);
        if (opacidad < 1) estilo.push_back("opacity:" + fmt(opacidad));
    }
    // Image layers count against the page's budget of embedded bytes.
    const Mapa ninguna;
    const bool conImagenes = ctx.recursos < presupuestoRecursos;
    if (auto fondo = relleno(campo(nodo, "fills"), conImagenes ? ctx.imagenes : ninguna)) {
        ctx.recursos += fondo->size();
        estilo.push_back("background:" + *fondo);
    }
    radios(nodo, estilo);
    bordesYEfectos(nodo, estilo);
    if (campo(nodo, "clipsContent") == json(true)) estilo.emplace_back("overflow:hidden");
    std::string salida = "<div" + atributos(nodo, estilo) + ">";
    const json& hijos = campo(nodo, "children");
    if (hijos.is_array() && profundidad < profundidadMaxima)
        for (const json& hijo : hijos) salida += htmlNodo(hijo, r, ctx, profundidad + 1);
    return salida + "</div>";
}

std::string htmlNodo(const json& nodo, const R& padre, Contexto& ctx, int profundidad) {
    if (!nodo.is_object() || esFalso(campo(nodo, "visible"))) return "";
    const R r = rect(nodo);
    std::vector<std::string> estilo = posicion(r, padre);
    if (esVector(nodo) && campo(nodo, "id").is_string()) {
        auto it = ctx.svgs.find(campo(nodo, "id").get<std::string>());
        if (it != ctx.svgs.end() && ctx.recursos < presupuestoRecursos) {
            // The export is outside markup: as an image it draws the same
            // and can neither run nor break out of the page's structure.
            ctx.recursos += it->second.size();
            return "<img" + atributos(nodo, estilo) + " alt=\"\" src=\"data:image/svg+xml;base64," +
                   base64(it->second) + "\">";
        }
    }
    if (texto(campo(nodo, "type")) == "TEXT") return htmlTexto(nodo, std::move(estilo), ctx);
    return htmlCaja(nodo, r, std::move(estilo), ctx, profundidad);
}

R acotado(const R& r) {
    return {acotar(r.x, -limiteGeometria, limiteGeometria), acotar(r.y, -limiteGeometria, limiteGeometria),
            acotar(r.width, 0, limiteGeometria), acotar(r.height, 0, limiteGeometria)};
}

}  // namespace

R rect(const json& nodo) {
    const json& caja = campo(nodo, "absoluteBoundingBox");
    if (!caja.is_object()) return {};
    return acotado({num(campo(caja, "x")).value_or(0), num(campo(caja, "y")).value_or(0),
                    num(campo(caja, "width")).value_or(0), num(campo(caja, "height")).value_or(0)});
}

bool esVector(const json& nodo) {
    static constexpr std::array<std::string_view, 5> vectoriales = {"VECTOR", "BOOLEAN_OPERATION", "STAR", "LINE",
                                                                    "REGULAR_POLYGON"};
    const std::string tipo = texto(campo(nodo, "type"));
    if (std::ranges::find(vectoriales, tipo) != vectoriales.end()) return true;
    if (tipo != "ELLIPSE") return false;
    const json& rellenos = campo(nodo, "fills");
    if (rellenos.is_array() && !rellenos.empty() && texto(campo(rellenos[0], "type")) != "SOLID") return true;
    return campo(nodo, "arcData").is_object() && !arcoCompleto(nodo);
}

std::string esc(std::string_view t) {
    std::string s;
    s.reserve(t.size());
    for (char ch : t) {
        switch (ch) {
            case '&': s += "&amp;"; break;
            case '<': s += "&lt;"; break;
            case '>': s += "&gt;"; break;
            case '"': s += "&quot;"; break;
            default: s += ch;
        }
    }
    return s;
}

std::string fmt(double x) {
    if (!std::isfinite(x)) return "0";
    std::array<char, 400> b{};
    if (std::trunc(x) == x) {
        // Only values a 64-bit integer surely holds take the integer path;
        // larger whole numbers are written out by the fixed notation.
        if (std::fabs(x) < 1e15) {
            auto [fin, error] = std::to_chars(b.data(), b.data() + b.size(), static_cast<std::int64_t>(x));
            return std::string(b.data(), fin);
        }
        auto [fin, error] = std::to_chars(b.data(), b.data() + b.size(), x, std::chars_format::fixed, 0);
        return std::string(b.data(), fin);
    }
    auto [fin, error] = std::to_chars(b.data(), b.data() + b.size(), x, std::chars_format::fixed, 2);
    std::string s(b.data(), fin);
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string html(const json& nodo, const R& padre, const Mapa& svgs, const Mapa& imagenes,
                 std::set<std::string>& fuentes, std::size_t& recursos) {
    Contexto ctx{svgs, imagenes, fuentes, recursos};
    return htmlNodo(nodo, acotado(padre), ctx, 0);
}

std::string html(const json& nodo, const R& padre, const Mapa& svgs, const Mapa& imagenes,
                 std::set<std::string>& fuentes) {
    std::size_t recursos = 0;
    return html(nodo, padre, svgs, imagenes, fuentes, recursos);
}

}  // namespace sorvenia::Figma
