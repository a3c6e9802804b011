#include "integraciones/texto_integraciones.h"

#include <glib.h>

#include <memory>

namespace sorvenia::TextoIntegraciones {
namespace {

struct LiberarG {
    void operator()(gchar* p) const { g_free(p); }
};
using TextoG = std::unique_ptr<gchar, LiberarG>;

bool espacioAscii(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string plegado(std::string_view texto) {
    const TextoG valido(g_utf8_make_valid(texto.data(), static_cast<gssize>(texto.size())));
    const TextoG doblado(g_utf8_casefold(valido.get(), -1));
    return doblado.get();
}

}  // namespace

std::string recortar(std::string_view texto) {
    if (!g_utf8_validate(texto.data(), static_cast<gssize>(texto.size()), nullptr)) {
        std::size_t i = 0, j = texto.size();
        while (i < j && espacioAscii(texto[i])) ++i;
        while (j > i && espacioAscii(texto[j - 1])) --j;
        return std::string(texto.substr(i, j - i));
    }
    const char* inicio = texto.data();
    const char* fin = texto.data() + texto.size();
    while (inicio < fin && g_unichar_isspace(g_utf8_get_char(inicio))) inicio = g_utf8_next_char(inicio);
    while (fin > inicio) {
        const char* previo = g_utf8_find_prev_char(inicio, fin);
        if (previo == nullptr || !g_unichar_isspace(g_utf8_get_char(previo))) break;
        fin = previo;
    }
    return std::string(inicio, fin);
}

std::string recortarHorizontal(std::string_view texto) {
    std::size_t i = 0, j = texto.size();
    while (i < j && (texto[i] == ' ' || texto[i] == '\t')) ++i;
    while (j > i && (texto[j - 1] == ' ' || texto[j - 1] == '\t')) --j;
    return std::string(texto.substr(i, j - i));
}

bool contieneSinMayusculas(std::string_view texto, std::string_view buscado) {
    return plegado(texto).find(plegado(buscado)) != std::string::npos;
}

std::string extractoUtf8(std::string_view cuerpo, std::size_t bytes) {
    const std::string_view parte = cuerpo.substr(0, bytes);
    const TextoG valido(g_utf8_make_valid(parte.data(), static_cast<gssize>(parte.size())));
    return valido.get();
}

}  // namespace sorvenia::TextoIntegraciones
