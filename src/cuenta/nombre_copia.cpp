// The file name of a design's local copy.
#include <glib.h>

#include "comun/utf8.h"
#include "cuenta/copias_locales.h"

namespace sorvenia {
namespace {

bool esPermitido(gunichar c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// Whether `c` joins the character before it into one user-perceived
// character: combining marks, the zero-width joiner, variation selectors,
// emoji modifiers and tags, and the line feed of a CR-LF pair.
bool seUneAlAnterior(gunichar anterior, gunichar c) {
    return g_unichar_ismark(c) || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0x1F3FB && c <= 0x1F3FF) ||
           (c >= 0xE0020 && c <= 0xE007F) || (c >= 0xE0100 && c <= 0xE01EF) || (anterior == '\r' && c == '\n');
}

std::vector<gunichar> escalares(const std::string& texto) {
    const std::string valido = repararUtf8(texto);
    std::vector<gunichar> salida;
    const char* fin = valido.data() + valido.size();
    for (const char* p = valido.data(); p < fin; p = g_utf8_next_char(p)) salida.push_back(g_utf8_get_char(p));
    return salida;
}

}  // namespace

std::string CopiasLocales::nombreCopia(const std::optional<std::string>& id, const std::optional<std::string>& ref) {
    const std::string base = id ? *id : ref ? "nuevo-" + *ref : "nuevo";
    const auto cs = escalares(base);
    std::string nombre;
    // A kept character must stand alone: one followed by a joining scalar is
    // part of a larger character and goes with it.
    for (std::size_t i = 0; i < cs.size() && nombre.size() < 80; ++i) {
        const bool solo = i + 1 == cs.size() || !seUneAlAnterior(cs[i], cs[i + 1]);
        if (esPermitido(cs[i]) && solo) nombre.push_back(static_cast<char>(cs[i]));
    }
    if (nombre.empty()) nombre = "nuevo";
    return nombre + ".json";
}

}  // namespace sorvenia
