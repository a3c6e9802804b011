#include "pantallas/politica_tienda.h"

#include <glib.h>

#include <array>
#include <memory>
#include <optional>
#include <regex>

namespace sorvenia::PoliticaTienda {
namespace {

struct Partes {
    std::string esquema;
    std::string host;  // lower case; empty when none
    int puerto = -1;
    std::string ruta;
    std::string consulta;
};

std::string minusculas(const char* texto) {
    if (texto == nullptr) return "";
    std::string r(texto);
    for (char& c : r) c = g_ascii_tolower(c);
    return r;
}

std::optional<Partes> partir(std::string_view uri) {
    if (uri.empty()) return std::nullopt;
    const std::string texto(uri);
    GError* error = nullptr;
    GUri* u = g_uri_parse(texto.c_str(), G_URI_FLAGS_ENCODED, &error);
    if (u == nullptr) {
        g_clear_error(&error);
        return std::nullopt;
    }
    const std::unique_ptr<GUri, decltype(&g_uri_unref)> guardia(u, &g_uri_unref);
    Partes p;
    p.esquema = minusculas(g_uri_get_scheme(u));
    p.host = minusculas(g_uri_get_host(u));
    p.puerto = g_uri_get_port(u);
    if (p.puerto == -1 && p.esquema == "http") p.puerto = 80;
    if (p.puerto == -1 && p.esquema == "https") p.puerto = 443;
    p.ruta = g_uri_get_path(u) != nullptr ? g_uri_get_path(u) : "";
    p.consulta = g_uri_get_query(u) != nullptr ? g_uri_get_query(u) : "";
    return p;
}

// Same host and port as the account site. A site reached on another port
// of the same machine is not the account site.
bool delServidor(const Partes& p, std::string_view servidor) {
    const auto s = partir(servidor);
    return s && !s->host.empty() && s->host == p.host && s->puerto == p.puerto;
}

bool esWeb(const std::string& esquema) { return esquema == "https" || esquema == "http"; }

}  // namespace

Destino decidir(std::string_view uri, bool marcoPrincipal, bool clic, bool propia, std::string_view servidor) {
    const auto p = partir(uri);
    if (!p) return Destino::cancelar;
    static const std::array<const char*, 6> propios{"https", "http", "file", "about", "blob", "data"};
    bool conocido = false;
    for (const char* e : propios) conocido = conocido || p->esquema == e;
    if (!conocido) return Destino::sistema;
    if (!marcoPrincipal) return Destino::permitir;
    if (p->esquema == "file") return propia ? Destino::permitir : Destino::cancelar;
    if (p->esquema == "about") return uri == "about:blank" ? Destino::permitir : Destino::cancelar;
    if (!esWeb(p->esquema)) return Destino::cancelar;
    if (!delServidor(*p, servidor)) return Destino::navegador;
    if (p->ruta.empty() || p->ruta == "/") return Destino::tienda;
    if (p->ruta == "/login/") return clic ? Destino::tienda : Destino::permitir;
    if (esRutaPanel(p->ruta)) return Destino::permitir;
    return Destino::navegador;
}

bool abrirVentanaEnNavegador(std::string_view uri) {
    const auto p = partir(uri);
    return p && esWeb(p->esquema);
}

bool esLocal(std::string_view uri) {
    if (uri.empty()) return true;
    const auto p = partir(uri);
    return p && p->esquema == "file";
}

std::string textoBarra(std::string_view uri) {
    if (esLocal(uri)) return "";
    const auto p = partir(uri);
    return p ? p->host + p->ruta : "";
}

bool candado(std::string_view uri) {
    if (esLocal(uri)) return false;
    const auto p = partir(uri);
    return p && p->esquema == "https";
}

bool esCompra(std::string_view uri, std::string_view servidor) {
    const auto p = partir(uri);
    return p && esWeb(p->esquema) && delServidor(*p, servidor) && p->ruta == "/panel/gracias.php" &&
           p->consulta.find("cancelado=1") == std::string::npos;
}

bool esRutaPanel(std::string_view ir) { return ir.starts_with("/panel/"); }

bool esDominio(std::string_view dominio) {
    static const std::regex patron("^([a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?\\.)+[a-z]{2,24}$");
    return dominio.size() <= 253 && std::regex_match(dominio.begin(), dominio.end(), patron);
}

}  // namespace sorvenia::PoliticaTienda
