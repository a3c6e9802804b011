#include "ias/limpiar.h"

#include <algorithm>
#include <cctype>

namespace sorvenia::IAsLocales {
namespace {

constexpr std::string_view valla = "```";

bool esBlanco(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// After an opening fence: an optional "html" and white space.
std::size_t trasApertura(std::string_view t, std::size_t i) {
    i += valla.size();
    if (t.substr(i, 4) == "html") i += 4;
    while (i < t.size() && esBlanco(t[i])) ++i;
    return i;
}

char minuscula(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// The position of `palabra` in `t` from `desde`, ignoring letter case.
std::size_t buscarSinCaso(std::string_view t, std::string_view palabra, std::size_t desde) {
    if (palabra.size() > t.size()) return std::string_view::npos;
    for (std::size_t i = desde; i + palabra.size() <= t.size(); ++i) {
        bool igual = true;
        for (std::size_t j = 0; j < palabra.size() && igual; ++j) igual = minuscula(t[i + j]) == palabra[j];
        if (igual) return i;
    }
    return std::string_view::npos;
}

bool terminaNombre(char c) { return esBlanco(c) || c == '>' || c == '/'; }

// Copies the tag that starts after the "<" at `desde` into `salida`
// without its event-handler attributes (name starting "on", with or
// without a value) and names starting "=", reading attribute values as a browser does, so a ">"
// inside quotes does not end the tag. Returns the position after its ">",
// or the end of the text for a tag never closed.
std::size_t copiarEtiqueta(std::string_view t, std::size_t desde, std::string& salida) {
    std::size_t i = desde;
    while (i < t.size() && !esBlanco(t[i]) && t[i] != '>' && t[i] != '/') salida += t[i++];
    while (i < t.size()) {
        const char c = t[i];
        if (c == '>') {
            salida += '>';
            return i + 1;
        }
        if (esBlanco(c) || c == '/') {
            salida += t[i++];
            continue;
        }
        const std::size_t inicio = i;
        ++i;  // a name may start with "=" in HTML's rules
        while (i < t.size() && !esBlanco(t[i]) && t[i] != '=' && t[i] != '>' && t[i] != '/') ++i;
        const std::string_view nombre = t.substr(inicio, i - inicio);
        std::size_t fin = i;
        while (fin < t.size() && esBlanco(t[fin])) ++fin;
        if (fin < t.size() && t[fin] == '=') {
            ++fin;
            while (fin < t.size() && esBlanco(t[fin])) ++fin;
            if (fin < t.size() && (t[fin] == '"' || t[fin] == '\'')) {
                const auto cierre = t.find(t[fin], fin + 1);
                fin = cierre == std::string_view::npos ? t.size() : cierre + 1;
            } else {
                while (fin < t.size() && !esBlanco(t[fin]) && t[fin] != '>') ++fin;
            }
            i = fin;
        }
        const bool manejador = nombre.size() > 2 && minuscula(nombre[0]) == 'o' && minuscula(nombre[1]) == 'n';
        // A name that starts with "=" goes too. Once a handler before it is
        // removed, a browser would read that "=" as the value of the
        // attribute before it, and the value's opening quote would no longer
        // hide what follows: `a onclick=x =k="v onmouseover=y()"` must not
        // become `a =k="v onmouseover=y()"`, whose handler is live.
        const bool quitar = manejador || nombre.front() == '=';
        if (!quitar) {
            salida.append(t.substr(inicio, i - inicio));
            continue;
        }
        while (!salida.empty() && esBlanco(salida.back())) salida.pop_back();  // with the blank before it
        // A quoted value may be followed by the next attribute with no blank
        // between them: keep one, or that attribute would join the tag's name.
        // Before a "/" too: glued to an unquoted value before the removed
        // attribute, a browser reads the "/" and what follows as that value.
        if (i < t.size() && !esBlanco(t[i]) && t[i] != '>') salida += ' ';
    }
    return t.size();
}

}  // namespace

std::string limpiar(std::string_view texto) {
    std::string_view t = texto;
    // The first fenced block, fences included, when one is closed.
    if (const auto abre = t.find(valla); abre != std::string_view::npos) {
        const auto dentro = trasApertura(t, abre);
        if (const auto cierra = t.find(valla, dentro); cierra != std::string_view::npos)
            t = t.substr(abre, cierra + valla.size() - abre);
    }
    // A leading fence, then a trailing one.
    if (t.starts_with(valla)) t.remove_prefix(trasApertura(t, 0));
    if (t.ends_with(valla)) t.remove_suffix(valla.size());
    const auto primero = t.find('<');
    const auto ultimo = t.rfind('>');
    if (primero == std::string_view::npos || ultimo == std::string_view::npos || primero > ultimo) return {};
    return std::string(t.substr(primero, ultimo - primero + 1));
}

std::string sinGuiones(std::string_view html) {
    std::string salida;
    salida.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        const auto abre = html.find('<', i);
        if (abre == std::string_view::npos) {
            salida.append(html.substr(i));
            break;
        }
        salida.append(html.substr(i, abre - i));
        const bool guion = buscarSinCaso(html, "<script", abre) == abre &&
                           (abre + 7 >= html.size() || terminaNombre(html[abre + 7]));
        if (guion) {
            const auto cierre = buscarSinCaso(html, "</script", abre + 7);
            if (cierre == std::string_view::npos) break;
            const auto fin = html.find('>', cierre);
            if (fin == std::string_view::npos) break;
            i = fin + 1;
            continue;
        }
        const bool etiqueta = abre + 1 < html.size() && std::isalpha(static_cast<unsigned char>(html[abre + 1]));
        if (!etiqueta) {
            // A closing tag or a comment is kept as it is, up to the next
            // "<". A lone "<" is text to a browser: it is written "&lt;", so
            // that it can never join what follows a removed script into a
            // new tag ("<" + "<script></script>" + "script>").
            const bool marca = abre + 1 < html.size() && (html[abre + 1] == '/' || html[abre + 1] == '!');
            const auto siguiente = html.find('<', abre + 1);
            const auto hasta = siguiente == std::string_view::npos ? html.size() : siguiente;
            if (marca) salida.append(html.substr(abre, hasta - abre));
            else salida.append("&lt;").append(html.substr(abre + 1, hasta - abre - 1));
            i = hasta;
            continue;
        }
        salida += '<';
        i = copiarEtiqueta(html, abre + 1, salida);
    }
    return salida;
}

}  // namespace sorvenia::IAsLocales
