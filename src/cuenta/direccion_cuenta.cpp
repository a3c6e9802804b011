#include "cuenta/direccion_cuenta.h"

#include "comun/texto.h"

#include <glib.h>

#include <memory>

namespace sorvenia::direccion {
namespace {

struct BorrarURI {
    void operator()(GUri* u) const { g_uri_unref(u); }
};
using URI = std::unique_ptr<GUri, BorrarURI>;

// Parsed without decoding: the parts keep their percent-encoding.
URI analizar(const std::string& texto) { return URI(g_uri_parse(texto.c_str(), G_URI_FLAGS_ENCODED, nullptr)); }

}  // namespace

bool esURL(const std::string& texto) { return analizar(texto) != nullptr; }

std::optional<std::string> host(const std::string& url) {
    const auto u = analizar(url);
    if (!u) return std::nullopt;
    const char* h = g_uri_get_host(u.get());
    if (h == nullptr || *h == '\0') return std::nullopt;
    return std::string(h);
}

std::optional<std::string> endpoint(const std::string& base, const ConsultaCuenta& consulta) {
    const auto u = analizar(base);
    if (!u) return std::nullopt;
    std::string ruta = g_uri_get_path(u.get());
    if (ruta.empty() || ruta.back() != '/') ruta.push_back('/');
    ruta += "api/v1/tarvel";
    std::optional<std::string> query;
    if (const char* q = g_uri_get_query(u.get())) query = q;
    if (!consulta.empty()) {
        query.emplace();
        for (const auto& [nombre, valor] : consulta) {
            if (!query->empty()) query->push_back('&');
            *query += codificarURL(nombre, true) + "=" + codificarURL(valor, true);
        }
    }
    char* texto = g_uri_join(G_URI_FLAGS_ENCODED, g_uri_get_scheme(u.get()), g_uri_get_userinfo(u.get()),
                             g_uri_get_host(u.get()), g_uri_get_port(u.get()), ruta.c_str(),
                             query ? query->c_str() : nullptr, g_uri_get_fragment(u.get()));
    std::string resultado(texto);
    g_free(texto);
    return resultado;
}

}  // namespace sorvenia::direccion
