#include "medios/figma_enlace.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace sorvenia::Figma {
namespace {

struct BorrarURI {
    void operator()(GUri* u) const { g_uri_unref(u); }
};

bool esBlanco(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view recortar(std::string_view t) {
    while (!t.empty() && esBlanco(t.front())) t.remove_prefix(1);
    while (!t.empty() && esBlanco(t.back())) t.remove_suffix(1);
    return t;
}

bool esAlfanumerico(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

bool claveValida(std::string_view clave) {
    return clave.size() >= 10 && clave.size() <= 64 && std::ranges::all_of(clave, esAlfanumerico);
}

// The non-empty pieces of `texto` between the separators.
std::vector<std::string_view> piezas(std::string_view texto, char separador) {
    std::vector<std::string_view> lista;
    while (!texto.empty()) {
        const auto corte = texto.find(separador);
        const auto pieza = texto.substr(0, corte);
        if (!pieza.empty()) lista.push_back(pieza);
        if (corte == std::string_view::npos) break;
        texto.remove_prefix(corte + 1);
    }
    return lista;
}

// The decoded text, or nothing for a broken escape.
std::optional<std::string> descodificar(std::string_view t) {
    const std::string copia(t);
    std::unique_ptr<char, decltype(&g_free)> d(g_uri_unescape_string(copia.c_str(), nullptr), &g_free);
    if (!d) return std::nullopt;
    return std::string(d.get());
}

// The value of the first query item named "node-id" ("-" as ":"), when it
// has a non-empty one.
std::optional<std::string> nodoDe(std::string_view consulta) {
    for (const auto item : piezas(consulta, '&')) {
        const auto igual = item.find('=');
        if (descodificar(item.substr(0, igual)) != std::optional<std::string>("node-id")) continue;
        if (igual == std::string_view::npos) return std::nullopt;
        auto valor = descodificar(item.substr(igual + 1));
        if (!valor) return std::nullopt;
        std::ranges::replace(*valor, '-', ':');
        if (valor->empty()) return std::nullopt;
        return valor;
    }
    return std::nullopt;
}

}  // namespace

std::optional<Enlace> partir(std::string_view enlace) {
    const std::string texto(recortar(enlace));
    const std::unique_ptr<GUri, BorrarURI> uri(
        g_uri_parse(texto.c_str(), static_cast<GUriFlags>(G_URI_FLAGS_ENCODED_QUERY | G_URI_FLAGS_NON_DNS), nullptr));
    if (!uri) return std::nullopt;
    const char* host = g_uri_get_host(uri.get());
    if (!std::string_view(host != nullptr ? host : "").ends_with("figma.com")) return std::nullopt;

    const auto lista = piezas(g_uri_get_path(uri.get()), '/');
    static constexpr std::array<std::string_view, 4> palabras = {"file", "design", "proto", "board"};
    const auto palabra =
        std::ranges::find_if(lista, [](std::string_view p) { return std::ranges::count(palabras, p) > 0; });
    if (palabra == lista.end() || palabra + 1 == lista.end() || !claveValida(*(palabra + 1))) return std::nullopt;

    const char* consulta = g_uri_get_query(uri.get());
    return Enlace{std::string(*(palabra + 1)), consulta != nullptr ? nodoDe(consulta) : std::nullopt};
}

std::string codificarId(std::string_view id) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string fuera;
    fuera.reserve(id.size() * 3);
    for (const char c : id) {
        if (esAlfanumerico(c)) {
            fuera += c;
            continue;
        }
        const auto b = static_cast<unsigned char>(c);
        fuera += '%';
        fuera += hex[b >> 4];
        fuera += hex[b & 0x0F];
    }
    return fuera;
}

}  // namespace sorvenia::Figma
