#include "aplicaciones/origen_vista_app.h"

#include <glib.h>

#include <algorithm>
#include <cctype>

#include "comun/utf8.h"

namespace sorvenia {
namespace {

// The scheme as written (letters, digits, "+", "-", "." before the first
// ":"), or nothing.
std::optional<std::string> esquemaDe(const std::string& url) {
    const auto dosPuntos = url.find(':');
    if (dosPuntos == std::string::npos || dosPuntos == 0) return std::nullopt;
    for (std::size_t i = 0; i < dosPuntos; ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    return url.substr(0, dosPuntos);
}

std::string minusculas(std::string texto) {
    for (char& c : texto) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return texto;
}

struct Partes {
    std::optional<std::string> host;
    int puerto = -1;
};

Partes partesDe(const std::string& url) {
    Partes partes;
    GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NON_DNS, nullptr);
    if (uri == nullptr) return partes;
    if (const char* host = g_uri_get_host(uri); host != nullptr && *host != '\0') partes.host = host;
    partes.puerto = g_uri_get_port(uri);
    g_uri_unref(uri);
    return partes;
}

}  // namespace

OrigenVistaApp origenDe(const std::string& url) {
    const Partes partes = partesDe(url);
    return {partes.host.value_or(""), partes.puerto > 0 ? partes.puerto : 80};
}

bool esLocal(const std::optional<std::string>& url, const OrigenVistaApp& origen) {
    if (!url) return false;
    const auto esquema = esquemaDe(*url);
    if (esquema == "about" || esquema == "blob" || esquema == "data") return true;
    const Partes partes = partesDe(*url);
    if (!partes.host || *partes.host != origen.host) return false;
    return (partes.puerto > 0 ? partes.puerto : 80) == origen.puerto;
}

DestinoNavegacion decidirNavegacion(const std::optional<std::string>& url, bool marcoPrincipal,
                                    const OrigenVistaApp& origen) {
    if (esLocal(url, origen) || !marcoPrincipal) return DestinoNavegacion::quedarse;
    const auto esquema = url ? esquemaDe(*url) : std::nullopt;
    const std::string e = esquema ? minusculas(*esquema) : "";
    if (e == "http" || e == "https" || e == "mailto" || e == "tel") return DestinoNavegacion::abrirFuera;
    return DestinoNavegacion::descartar;
}

DestinoNavegacion decidirVentana(const std::optional<std::string>& url, const OrigenVistaApp& origen) {
    if (esLocal(url, origen)) return DestinoNavegacion::quedarse;
    const auto esquema = url ? esquemaDe(*url) : std::nullopt;
    const std::string e = esquema ? minusculas(*esquema) : "";
    if (e == "http" || e == "https") return DestinoNavegacion::abrirFuera;
    return DestinoNavegacion::descartar;
}

std::string textoDialogo(const std::string& mensaje) {
    const std::string texto = repararUtf8(mensaje);
    std::size_t i = 0;
    for (int caracteres = 0; i < texto.size() && caracteres < 400; ++caracteres)
        i += std::max<std::size_t>(1, longitudSecuencia(std::string_view(texto).substr(i)));
    return texto.substr(0, i);
}

}  // namespace sorvenia
