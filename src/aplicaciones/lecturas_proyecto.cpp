#include "aplicaciones/lecturas_proyecto.h"

#include <cstdint>
#include <optional>

namespace sorvenia::LecturasProyecto {
namespace {

// One code point decoded at `i` (advanced past it); nothing for an
// ill-formed sequence (overlong, surrogate, beyond U+10FFFF, cut short).
std::optional<char32_t> siguiente(std::string_view t, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(t[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    std::size_t largo = 0;
    char32_t cp = 0;
    char32_t minimo = 0;
    if ((b0 & 0xE0) == 0xC0) {
        largo = 2, cp = b0 & 0x1Fu, minimo = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        largo = 3, cp = b0 & 0x0Fu, minimo = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        largo = 4, cp = b0 & 0x07u, minimo = 0x10000;
    } else {
        return std::nullopt;
    }
    if (t.size() - i < largo) return std::nullopt;
    for (std::size_t k = 1; k < largo; ++k) {
        const auto b = static_cast<unsigned char>(t[i + k]);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < minimo || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    i += largo;
    return cp;
}

// Blanks within a line: space, tab and the other horizontal spaces of
// Unicode; line breaks (a CR among them) are not.
bool esBlancoHorizontal(char32_t c) {
    return c == U' ' || c == U'\t' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::string_view recortar(std::string_view linea) {
    std::size_t inicio = 0;
    while (inicio < linea.size()) {
        std::size_t i = inicio;
        const auto c = siguiente(linea, i);
        if (!c || !esBlancoHorizontal(*c)) break;
        inicio = i;
    }
    linea.remove_prefix(inicio);
    // From the end: step back over one code point at a time.
    while (!linea.empty()) {
        std::size_t atras = linea.size() - 1;
        while (atras > 0 && (static_cast<unsigned char>(linea[atras]) & 0xC0) == 0x80) --atras;
        std::size_t i = atras;
        const auto c = siguiente(linea, i);
        if (!c || i != linea.size() || !esBlancoHorizontal(*c)) break;
        linea.remove_suffix(linea.size() - atras);
    }
    return linea;
}

// What belongs to the letter before it: combining marks, variation
// selectors, skin-tone modifiers, tag characters, the zero-width joiner.
bool seUneAlAnterior(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
           (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) ||
           (c >= 0x1F3FB && c <= 0x1F3FF) || (c >= 0xE0020 && c <= 0xE007F) || (c >= 0xE0100 && c <= 0xE01EF) ||
           c == 0x200D;
}

}  // namespace

nlohmann::json estado(std::string_view bytes) {
    auto valor = nlohmann::json::parse(bytes, nullptr, false);
    if (valor.is_discarded() || !valor.is_object()) return nlohmann::json::object();
    return valor;
}

std::string textoEstado(const nlohmann::json& estado) {
    return estado.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

Tareas contarTareas(std::string_view plan) {
    Tareas tareas;
    while (!plan.empty()) {
        const auto fin = plan.find('\n');
        const auto linea = recortar(plan.substr(0, fin));
        plan.remove_prefix(fin == std::string_view::npos ? plan.size() : fin + 1);
        if (linea.starts_with("- [x]") || linea.starts_with("- [X]")) {
            ++tareas.hechas;
            ++tareas.total;
        } else if (linea.starts_with("- [ ]")) {
            ++tareas.total;
        }
    }
    return tareas;
}

bool esUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();)
        if (!siguiente(bytes, i)) return false;
    return true;
}

std::string cortar(std::string_view texto, std::size_t maximo) {
    std::size_t i = 0;
    std::size_t contados = 0;
    while (i < texto.size()) {
        std::size_t j = i;
        const auto c = siguiente(texto, j);
        if (!c) j = i + 1;  // a stray byte counts as one character
        const bool unido = (c && seUneAlAnterior(*c)) || texto.substr(0, i).ends_with("\u200D");
        if (!unido) {
            if (contados == maximo) break;
            ++contados;
        }
        i = j;
    }
    return std::string(texto.substr(0, i));
}

}  // namespace sorvenia::LecturasProyecto
