#include "integraciones/marcadores_imagen.h"

#include <optional>

namespace sorvenia {
namespace {

using Texto = std::wstring_view;

// The six ASCII blanks; no other character counts as one.
bool blanco(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

wchar_t minuscula(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Whether `texto` starts with `palabra` (lower case ASCII), letter case
// ignored.
bool empiezaPor(Texto texto, Texto palabra) {
    if (texto.size() < palabra.size()) return false;
    for (std::size_t i = 0; i < palabra.size(); ++i)
        if (minuscula(texto[i]) != palabra[i]) return false;
    return true;
}

std::size_t blancosDesde(Texto texto, std::size_t i) {
    std::size_t n = 0;
    while (i + n < texto.size() && blanco(texto[i + n])) ++n;
    return n;
}

// Where the words start in a value (the text between the quotes), or
// nothing when the value holds no placeholder of that kind.
using Regla = std::optional<std::size_t> (*)(Texto valor);

std::optional<std::size_t> palabrasLogo(Texto valor) {
    constexpr Texto prefijo = L"logo:";
    if (!empiezaPor(valor, prefijo)) return std::nullopt;
    const std::size_t largo = valor.size() - prefijo.size();
    if (largo < 1 || largo > 60) return std::nullopt;
    return prefijo.size();
}

// After a prefix of `desde` characters, as many blanks as leave the words
// 2 characters at least; the words must then end at the closing quote
// within 120 characters.
std::optional<std::size_t> palabrasTras(Texto valor, std::size_t desde) {
    const std::size_t resto = valor.size() - desde;
    const std::size_t blancos = blancosDesde(valor, desde);
    if (resto - blancos >= 2) {
        if (resto - blancos > 120) return std::nullopt;
        return desde + blancos;
    }
    if (resto < 2) return std::nullopt;
    return valor.size() - 2;
}

std::optional<std::size_t> palabrasFoto(Texto valor) {
    // Scene videos and their posters ("escenas/<id>.mp4", "escena:…") are
    // the design's own files, never search words.
    for (const Texto excluido : {Texto(L"http:"), Texto(L"https:"), Texto(L"data:"), Texto(L"recurso:"),
                                 Texto(L"escenas/"), Texto(L"escena:")})
        if (empiezaPor(valor, excluido)) return std::nullopt;
    for (const Texto prefijo : {Texto(L"foto:"), Texto(L"photo:")})
        if (empiezaPor(valor, prefijo))
            if (const auto inicio = palabrasTras(valor, prefijo.size())) return inicio;
    return palabrasTras(valor, 0);
}

// After "src" at `i`: optional blanks, "=", optional blanks and the opening
// quote. Where the value starts, or nothing.
std::optional<std::size_t> valorTras(Texto texto, std::size_t i) {
    i += 3;
    i += blancosDesde(texto, i);
    if (i == texto.size() || texto[i] != L'=') return std::nullopt;
    ++i;
    i += blancosDesde(texto, i);
    if (i == texto.size() || texto[i] != L'"') return std::nullopt;
    return i + 1;
}

// Each scan below moves forward only: the blanks after one "src" and the
// value up to its closing quote hold no other "src" that starts a value,
// so the whole text is read a bounded number of times.
std::vector<MarcadorImagen> buscar(Texto texto, Regla regla) {
    std::vector<MarcadorImagen> lista;
    std::size_t i = 0;
    while (i < texto.size()) {
        if (!empiezaPor(texto.substr(i), L"src")) {
            ++i;
            continue;
        }
        const auto valor = valorTras(texto, i);
        const std::size_t cierre = valor ? texto.find(L'"', *valor) : Texto::npos;
        const auto palabras = cierre != Texto::npos ? regla(texto.substr(*valor, cierre - *valor)) : std::nullopt;
        if (!palabras) {
            ++i;
            continue;
        }
        const std::size_t desde = *valor + *palabras;
        lista.push_back({i, cierre + 1 - i, std::wstring(texto.substr(desde, cierre - desde))});
        i = cierre + 1;
    }
    return lista;
}

}  // namespace

std::vector<MarcadorImagen> marcadoresLogo(std::wstring_view texto) { return buscar(texto, &palabrasLogo); }

std::vector<MarcadorImagen> marcadoresFoto(std::wstring_view texto) { return buscar(texto, &palabrasFoto); }

}  // namespace sorvenia
