#include "medios/figma_pinturas.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

namespace sorvenia::Figma {

namespace {

using nlohmann::json;

const json& campo(const json& objeto, std::string_view clave) {
    static const json nada;
    if (!objeto.is_object()) return nada;
    auto it = objeto.find(clave);
    return it == objeto.end() ? nada : *it;
}

double numO(const json& valor, double porDefecto) { return num(valor).value_or(porDefecto); }

// A value that is not a number becomes `siNan`; the rest is kept in [lo, hi].
double acotar(double x, double lo, double hi, double siNan = 0) {
    if (std::isnan(x)) return siNan;
    return std::clamp(x, lo, hi);
}

std::string entero(long long n) {
    std::array<char, 24> b{};
    auto [fin, error] = std::to_chars(b.data(), b.data() + b.size(), n);
    return std::string(b.data(), fin);
}

// A colour channel in 0..1 as an integer 0..255, rounded half away from zero.
int canal(const json& c, std::string_view clave) {
    return static_cast<int>(std::lround(acotar(numO(campo(c, clave), 0) * 255.0, 0, 255)));
}

std::string hex2(int n) {
    constexpr std::string_view digitos = "0123456789abcdef";
    return {digitos[(n >> 4) & 15], digitos[n & 15]};
}

bool visible(const json& objeto) {
    const json& v = campo(objeto, "visible");
    return !(v.is_boolean() && !v.get<bool>());
}

std::string texto(const json& valor) { return valor.is_string() ? valor.get<std::string>() : std::string(); }

std::string paradas(const json& pintura, double opacidad) {
    std::vector<std::string> lista;
    const json& todas = campo(pintura, "gradientStops");
    if (todas.is_array()) {
        for (const json& parada : todas) {
            if (!parada.is_object()) continue;
            const double pos = acotar(numO(campo(parada, "position"), 0) * 100.0, 0, 100);
            lista.push_back(color(campo(parada, "color"), opacidad) + " " + entero(std::lround(pos)) + "%");
        }
    }
    if (lista.empty()) return "";
    // A gradient needs two stops; one stop is a flat colour.
    if (lista.size() == 1) lista.push_back(lista.front());
    std::string unidas;
    for (const std::string& p : lista) unidas += (unidas.empty() ? "" : ",") + p;
    return unidas;
}

// The direction of a linear gradient from its first two handles, in CSS
// degrees (0 points up, 90 right). Missing handles or coordinates take
// the top-to-bottom defaults, which is also what a broken pair gives.
long long angulo(const json& pintura) {
    const json& asas = campo(pintura, "gradientHandlePositions");
    const json& h0 = asas.is_array() && asas.size() >= 1 ? asas[0] : json();
    const json& h1 = asas.is_array() && asas.size() >= 2 ? asas[1] : json();
    const double dx = numO(campo(h1, "x"), 0.5) - numO(campo(h0, "x"), 0.5);
    const double dy = numO(campo(h1, "y"), 1.0) - numO(campo(h0, "y"), 0.0);
    const double grados = std::atan2(dx, -dy) * 180.0 / std::numbers::pi;
    if (!std::isfinite(grados)) return 180;
    return std::lround(grados);
}

// An address an image layer may carry unquoted inside url(): a data: or
// https: address without blanks, quotes, parentheses or backslashes, so
// that it cannot end the value and start CSS of its own.
bool direccionSegura(std::string_view d) {
    if (!d.starts_with("data:image/") && !d.starts_with("https://")) return false;
    return std::ranges::all_of(d, [](char ch) {
        const auto u = static_cast<unsigned char>(ch);
        return u > 0x20 && u < 0x7f && ch != '"' && ch != '\'' && ch != '(' && ch != ')' && ch != '\\' && ch != '<' &&
               ch != '>';
    });
}

std::optional<std::string> capa(const json& pintura, const std::map<std::string, std::string>& imagenes) {
    const double opacidad = numO(campo(pintura, "opacity"), 1);
    const std::string tipo = texto(campo(pintura, "type"));
    if (tipo == "SOLID") {
        const std::string c = color(campo(pintura, "color"), opacidad);
        return "linear-gradient(" + c + "," + c + ")";
    }
    if (tipo == "GRADIENT_LINEAR" || tipo == "GRADIENT_RADIAL" || tipo == "GRADIENT_ANGULAR" ||
        tipo == "GRADIENT_DIAMOND") {
        const std::string p = paradas(pintura, opacidad);
        if (p.empty()) return std::nullopt;
        if (tipo == "GRADIENT_LINEAR") return "linear-gradient(" + entero(angulo(pintura)) + "deg," + p + ")";
        return "radial-gradient(" + p + ")";
    }
    if (tipo == "IMAGE") {
        const json& ref = campo(pintura, "imageRef");
        if (!ref.is_string()) return std::nullopt;
        auto it = imagenes.find(ref.get<std::string>());
        if (it == imagenes.end() || !direccionSegura(it->second)) return std::nullopt;
        const bool ajustar = texto(campo(pintura, "scaleMode")) == "FIT";
        return "url(" + it->second + ") center/" + (ajustar ? "contain" : "cover") + " no-repeat";
    }
    return std::nullopt;
}

}  // namespace

std::optional<double> num(const json& valor) {
    if (!valor.is_number()) return std::nullopt;
    return valor.get<double>();
}

std::string color(const json& c, double opacidad) {
    if (!c.is_object()) return "transparent";
    const int r = canal(c, "r");
    const int g = canal(c, "g");
    const int b = canal(c, "b");
    const double alfa = acotar(opacidad * numO(campo(c, "a"), 1), 0, 1, 1);
    if (alfa >= 0.999) return "#" + hex2(r) + hex2(g) + hex2(b);
    std::array<char, 16> buf{};
    auto [fin, error] = std::to_chars(buf.data(), buf.data() + buf.size(), alfa, std::chars_format::fixed, 3);
    return "rgba(" + entero(r) + "," + entero(g) + "," + entero(b) + "," + std::string(buf.data(), fin) + ")";
}

std::optional<std::string> relleno(const json& pinturas, const std::map<std::string, std::string>& imagenes) {
    if (!pinturas.is_array()) return std::nullopt;
    std::vector<std::string> capas;
    for (auto it = pinturas.rbegin(); it != pinturas.rend(); ++it) {
        if (!it->is_object() || !visible(*it)) continue;
        if (auto c = capa(*it, imagenes)) capas.push_back(std::move(*c));
    }
    if (capas.empty()) return std::nullopt;
    if (capas.size() == 1) {
        // A two-stop gradient of one colour on its own is that colour.
        constexpr std::string_view inicio = "linear-gradient(";
        std::string_view s = capas.front();
        if (s.starts_with(inicio) && s.ends_with(")")) {
            std::string_view dentro = s.substr(inicio.size(), s.size() - inicio.size() - 1);
            const auto coma = dentro.find(',');
            if (coma != std::string_view::npos && dentro.substr(0, coma) == dentro.substr(coma + 1))
                return std::string(dentro.substr(0, coma));
        }
    }
    std::string unidas;
    for (const std::string& c : capas) unidas += (unidas.empty() ? "" : ",") + c;
    return unidas;
}

}  // namespace sorvenia::Figma
