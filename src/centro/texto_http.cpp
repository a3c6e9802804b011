#include "centro/texto_http.h"

#include <algorithm>
#include <array>

namespace sorvenia {
namespace {

// The UTF-8 forms of tab and of the space separators.
constexpr std::array<std::string_view, 18> espacios = {
    "\t", " ", "\xC2\xA0", "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82", "\xE2\x80\x83",
    "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A",
    "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80"};

std::size_t espacioAlPrincipio(std::string_view t) {
    for (auto e : espacios)
        if (t.starts_with(e)) return e.size();
    return 0;
}

std::size_t espacioAlFinal(std::string_view t) {
    for (auto e : espacios)
        if (t.ends_with(e)) return e.size();
    return 0;
}

}  // namespace

std::vector<std::string_view> partir(std::string_view texto, std::string_view separador) {
    std::vector<std::string_view> piezas;
    if (separador.empty()) {
        if (!texto.empty()) piezas.push_back(texto);
        return piezas;
    }
    std::size_t desde = 0;
    while (desde <= texto.size()) {
        const std::size_t hasta = std::min(texto.find(separador, desde), texto.size());
        if (hasta > desde) piezas.push_back(texto.substr(desde, hasta - desde));
        desde = hasta + separador.size();
    }
    return piezas;
}

std::string_view recortarEspacios(std::string_view texto) {
    while (const std::size_t n = espacioAlPrincipio(texto)) texto.remove_prefix(n);
    while (const std::size_t n = espacioAlFinal(texto)) texto.remove_suffix(n);
    return texto;
}


}  // namespace sorvenia
