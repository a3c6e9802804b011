#include "aplicaciones/nombres_proyecto.h"

#include <glib.h>

#include <memory>

namespace sorvenia::NombresProyecto {
namespace {

struct LiberarG {
    void operator()(gchar* p) const noexcept { g_free(p); }
};
using TextoG = std::unique_ptr<gchar, LiberarG>;

// The code points of the text, compatibility-decomposed with every mark
// (accents, tildes, diaeresis) left out: "Ñandú" gives N, a, n, d, u.
std::u32string sinMarcas(std::string_view nombre) {
    const TextoG valido(g_utf8_make_valid(nombre.data(), static_cast<gssize>(nombre.size())));
    const TextoG descompuesto(g_utf8_normalize(valido.get(), -1, G_NORMALIZE_ALL));
    std::u32string salida;
    if (!descompuesto) return salida;
    for (const gchar* p = descompuesto.get(); *p; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (!g_unichar_ismark(c)) salida.push_back(static_cast<char32_t>(c));
    }
    return salida;
}

void anadirUtf8(std::string& destino, char32_t c) {
    gchar bytes[6];
    const gint n = g_unichar_to_utf8(static_cast<gunichar>(c), bytes);
    destino.append(bytes, static_cast<std::size_t>(n));
}

bool esAsciiAlfanumerico(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9');
}

std::string_view sinGuiones(std::string_view s) {
    while (!s.empty() && s.front() == '-') s.remove_prefix(1);
    while (!s.empty() && s.back() == '-') s.remove_suffix(1);
    return s;
}

}  // namespace

std::string slug(std::string_view nombre) {
    std::string guionado;
    for (char32_t c : sinMarcas(nombre)) {
        const char letra = esAsciiAlfanumerico(c) ? static_cast<char>(g_ascii_tolower(static_cast<gchar>(c))) : '-';
        if (letra == '-' && !guionado.empty() && guionado.back() == '-') continue;
        guionado.push_back(letra);
    }
    std::string corto(sinGuiones(guionado).substr(0, 28));
    std::string resultado(sinGuiones(corto));
    if (resultado.empty()) return "app";
    if (!g_ascii_isalpha(resultado.front())) return "app-" + resultado;
    return resultado;
}

std::string nombreTipo(std::string_view nombre) {
    std::string tipo;
    bool inicioDePalabra = true;
    for (char32_t c : sinMarcas(nombre)) {
        if (!g_unichar_isalnum(static_cast<gunichar>(c))) {
            inicioDePalabra = true;
            continue;
        }
        anadirUtf8(tipo, inicioDePalabra ? static_cast<char32_t>(g_unichar_toupper(static_cast<gunichar>(c))) : c);
        inicioDePalabra = false;
    }
    const bool empiezaConNumero = !tipo.empty() && !g_unichar_isalpha(g_utf8_get_char(tipo.c_str())) &&
                                  g_unichar_isalnum(g_utf8_get_char(tipo.c_str()));
    if (tipo.empty() || empiezaConNumero) return "MiApp" + tipo;
    return tipo;
}

std::string idAplicacion(std::string_view tipo) {
    const TextoG minusculas(g_utf8_strdown(tipo.data(), static_cast<gssize>(tipo.size())));
    return "es.sorvenia.code." + std::string(minusculas ? minusculas.get() : "");
}

std::string nombreLimpio(std::string_view nombre) {
    std::string limpio;
    for (char c : nombre) {
        if (c == '"' || c == '<') continue;
        if (c == '&') {
            limpio.push_back('y');
        } else {
            limpio.push_back(c);
        }
    }
    return limpio;
}

std::string nombreVisible(std::string_view nombre) {
    return nombre.empty() || nombre == "Sin título" ? "Mi App" : std::string(nombre);
}

}  // namespace sorvenia::NombresProyecto
