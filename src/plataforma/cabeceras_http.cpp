#include "plataforma/cabeceras_http.h"

namespace sorvenia {
namespace {

bool esEspacio(char c) { return c == ' ' || c == '\t'; }

std::string_view sinEspacios(std::string_view s) {
    while (!s.empty() && esEspacio(s.front())) s.remove_prefix(1);
    while (!s.empty() && esEspacio(s.back())) s.remove_suffix(1);
    return s;
}

char minuscula(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool igualesSinMayusculas(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (minuscula(a[i]) != minuscula(b[i])) return false;
    return true;
}

}  // namespace

// The characters of an HTTP token (a header's name).
bool esTokenHTTP(std::string_view s) {
    if (s.empty()) return false;
    for (const char c : s) {
        const bool alfanumerico = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alfanumerico && std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos) return false;
    }
    return true;
}

// A value keeps no control characters other than tabs: a stray CR, LF or
// NUL must not reach whoever copies it into another request.
bool esValorCabecera(std::string_view s) {
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f) return false;
    }
    return true;
}

void LectorCabeceras::linea(std::string_view texto) {
    while (!texto.empty() && (texto.back() == '\n' || texto.back() == '\r')) texto.remove_suffix(1);
    if (texto.starts_with("HTTP/")) {
        cabeceras_.clear();
        dentroDelBloque_ = true;
        return;
    }
    if (!dentroDelBloque_) return;
    if (texto.empty()) {
        dentroDelBloque_ = false;
        return;
    }
    if (esEspacio(texto.front())) {
        // An obsolete continuation of the previous header's value.
        const auto resto = sinEspacios(texto);
        if (cabeceras_.empty() || !esValorCabecera(resto)) return;
        auto& valor = cabeceras_.back().second;
        if (!resto.empty()) valor += valor.empty() ? std::string(resto) : " " + std::string(resto);
        return;
    }
    const auto dosPuntos = texto.find(':');
    if (dosPuntos == std::string_view::npos) return;
    const auto nombre = texto.substr(0, dosPuntos);
    const auto valor = sinEspacios(texto.substr(dosPuntos + 1));
    if (!esTokenHTTP(nombre) || !esValorCabecera(valor)) return;
    cabeceras_.emplace_back(std::string(nombre), std::string(valor));
}

std::optional<std::string> buscarCabecera(const CabecerasHTTP& cabeceras, std::string_view nombre) {
    std::optional<std::string> valor;
    for (const auto& [n, v] : cabeceras) {
        if (!igualesSinMayusculas(n, nombre)) continue;
        if (valor) *valor += ", " + v;
        else valor = v;
    }
    return valor;
}

}  // namespace sorvenia
