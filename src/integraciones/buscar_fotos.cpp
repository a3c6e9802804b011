// The photo sources: the customer's banks, the free collections and a web
// page, each one request after another on the calling worker thread.
#include "integraciones/buscar_fotos.h"

#include <glib.h>

#include <algorithm>
#include <memory>
#include <set>

#include "integraciones/servicio_clave.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"

namespace sorvenia::BuscarFotos {
namespace {

using Json = nlohmann::json;

constexpr double segundosBanco = 12;
constexpr double segundosPagina = 15;
// A service's answer is a page of results; nothing they send is larger.
constexpr std::size_t limiteJson = 8u * 1024u * 1024u;
// The page is read up to here and scanned as far as it came.
constexpr std::size_t limitePagina = 5u * 1024u * 1024u;
constexpr int maximoSaltos = 5;

struct LiberarG {
    void operator()(void* p) const { g_free(p); }
};
struct LiberarUri {
    void operator()(GUri* u) const { g_uri_unref(u); }
};
using Uri = std::unique_ptr<GUri, LiberarUri>;

Uri leerUri(const std::string& texto) { return Uri(g_uri_parse(texto.c_str(), G_URI_FLAGS_ENCODED, nullptr)); }

// Scheme, host and port: what a redirect must keep.
std::optional<std::string> origen(const std::string& direccion) {
    const Uri uri = leerUri(direccion);
    if (!uri || !g_uri_get_host(uri.get())) return std::nullopt;
    std::string esquema = g_uri_get_scheme(uri.get());
    int puerto = g_uri_get_port(uri.get());
    if (puerto < 0) puerto = esquema == "https" ? 443 : 80;
    std::unique_ptr<char, LiberarG> host(g_ascii_strdown(g_uri_get_host(uri.get()), -1));
    return esquema + "://" + host.get() + ":" + std::to_string(puerto);
}

std::optional<std::string> destinoRedireccion(const std::string& desde, const RespuestaHTTP& r) {
    if (r.status < 300 || r.status > 399) return std::nullopt;
    const auto lugar = r.cabecera("Location");
    if (!lugar || lugar->empty()) return std::nullopt;
    std::unique_ptr<char, LiberarG> absoluta(
        g_uri_resolve_relative(desde.c_str(), lugar->c_str(), G_URI_FLAGS_ENCODED, nullptr));
    if (!absoluta) return std::nullopt;
    return std::string(absoluta.get());
}

PeticionHTTP peticionGet(std::string url, double segundos, std::size_t limite) {
    PeticionHTTP p;
    p.url = std::move(url);
    p.tiempoLimite = segundos;
    p.tiempoTotal = segundos;
    p.limiteBytes = limite;
    return p;
}

struct Orientacion {
    const char* pexels;
    const char* unsplash;
    const char* libres;
};

// Only the first letter counts.
Orientacion orientacionDe(const std::string& orient) {
    if (orient.starts_with("v")) return {"portrait", "portrait", "portrait"};
    if (orient.starts_with("c")) return {"square", "squarish", "square"};
    return {"landscape", "landscape", "landscape"};
}

std::vector<Foto> deBanco(ServicioClave banco, const std::string& consulta, std::int64_t cantidad,
                          const std::string& orientacion) {
    const auto clave = Servicios::valor(banco);
    if (!clave) return {};
    const bool pexels = banco == ServicioClave::pexels;
    PeticionHTTP p = peticionGet(
        conConsulta(Servicios::baseAPI(banco) + (pexels ? "/v1/search" : "/search/photos"),
                    {{"query", consulta}, {"per_page", std::to_string(cantidad)}, {"orientation", orientacion}}),
        segundosBanco, limiteJson);
    // The key goes to this host only: json() follows no redirect.
    p.cabeceras = {{"Authorization", pexels ? *clave : "Client-ID " + *clave}};
    const auto respuesta = json(p);
    if (!respuesta) return {};
    return pexels ? fotosPexels(*respuesta) : fotosUnsplash(*respuesta);
}

// The words as given; then the first three and the first two of them when
// there are more.
std::vector<std::string> variantes(const std::string& consulta) {
    std::vector<std::string> palabras;
    std::size_t desde = 0;
    while (desde <= consulta.size()) {
        std::size_t hasta = consulta.find(' ', desde);
        if (hasta == std::string::npos) hasta = consulta.size();
        if (hasta > desde) palabras.push_back(consulta.substr(desde, hasta - desde));
        desde = hasta + 1;
    }
    auto primeras = [&](std::size_t n) {
        std::string t;
        for (std::size_t i = 0; i < n; ++i) t += (i ? " " : "") + palabras[i];
        return t;
    };
    std::vector<std::string> lista{consulta};
    if (palabras.size() > 3) lista.push_back(primeras(3));
    if (palabras.size() > 2) lista.push_back(primeras(2));
    return lista;
}

std::int64_t tamano(const std::vector<Foto>& f) { return static_cast<std::int64_t>(f.size()); }

}  // namespace

std::string baseColeccion(std::string_view nombre) {
    if (esCompilacionDePrueba()) {
        const auto hosts = Preferencias::estandar().mapaTextos("pruebas.hostsServicios");
        if (const auto it = hosts.find(std::string(nombre)); it != hosts.end()) return it->second;
    }
    if (nombre == "openverse") return "https://api.openverse.org";
    if (nombre == "commons") return "https://commons.wikimedia.org";
    return {};
}

std::string conConsulta(std::string base, const std::vector<std::pair<std::string, std::string>>& items) {
    char separador = base.find('?') == std::string::npos ? '?' : '&';
    for (const auto& [nombre, valor] : items) {
        std::unique_ptr<char, LiberarG> n(g_uri_escape_string(nombre.c_str(), nullptr, FALSE));
        std::unique_ptr<char, LiberarG> v(g_uri_escape_string(valor.c_str(), nullptr, FALSE));
        base += separador;
        base += n.get();
        base += '=';
        base += v.get();
        separador = '&';
    }
    return base;
}

Resultado<RespuestaHTTP> pedirMismoHost(PeticionHTTP peticion) {
    peticion.seguirRedirecciones = false;
    const auto primero = origen(peticion.url);
    if (!primero) return Fallo{"La dirección no es válida.", "url"};
    for (int salto = 0;; ++salto) {
        auto respuesta = pedir(peticion);
        if (!respuesta || salto == maximoSaltos) return respuesta;
        const auto destino = destinoRedireccion(peticion.url, *respuesta);
        if (!destino || origen(*destino) != primero) return respuesta;
        peticion.url = *destino;
    }
}

std::optional<Json> json(const PeticionHTTP& peticion) {
    const auto respuesta = pedir(peticion);
    if (!respuesta || respuesta->status != 200) return std::nullopt;
    auto valor = leerJson(respuesta->cuerpo);
    if (!valor || !valor->is_object()) return std::nullopt;
    return valor;
}

std::vector<Foto> libres(const std::string& consulta, const std::string& orientacion, std::int64_t cantidad) {
    std::vector<Foto> fotos;
    if (cantidad < 1) return fotos;
    const std::string aspecto = orientacion == "portrait" ? "tall" : orientacion == "square" ? "square" : "wide";
    PeticionHTTP openverse =
        peticionGet(conConsulta(baseColeccion("openverse") + "/v1/images/", {{"q", consulta},
                                                                             {"page_size", std::to_string(cantidad)},
                                                                             {"license_type", "commercial"},
                                                                             {"size", "large"},
                                                                             {"mature", "false"},
                                                                             {"aspect_ratio", aspecto}}),
                    segundosBanco, limiteJson);
    openverse.cabeceras = {{"User-Agent", std::string(agenteUsuario)}};
    if (const auto r = json(openverse)) fotos = fotosOpenverse(*r);
    if (tamano(fotos) >= cantidad) return fotos;

    PeticionHTTP commons =
        peticionGet(conConsulta(baseColeccion("commons") + "/w/api.php", {{"action", "query"},
                                                                          {"format", "json"},
                                                                          {"generator", "search"},
                                                                          {"gsrsearch", "filetype:bitmap " + consulta},
                                                                          {"gsrnamespace", "6"},
                                                                          {"gsrlimit", std::to_string(cantidad * 2)},
                                                                          {"prop", "imageinfo"},
                                                                          {"iiprop", "url|size|user"},
                                                                          {"iiurlwidth", "1800"}}),
                    segundosBanco, limiteJson);
    commons.cabeceras = {{"User-Agent", std::string(agenteUsuario)}};
    if (const auto r = json(commons)) {
        auto mas = fotosCommons(*r, orientacion);
        fotos.insert(fotos.end(), std::make_move_iterator(mas.begin()), std::make_move_iterator(mas.end()));
    }
    return fotos;
}

std::vector<Foto> deBancos(const std::string& consulta, const std::string& orient, std::int64_t cantidad) {
    const Orientacion o = orientacionDe(orient);
    std::vector<Foto> fotos = deBanco(ServicioClave::pexels, consulta, cantidad, o.pexels);
    if (tamano(fotos) < cantidad) {
        auto mas = deBanco(ServicioClave::unsplash, consulta, cantidad, o.unsplash);
        fotos.insert(fotos.end(), std::make_move_iterator(mas.begin()), std::make_move_iterator(mas.end()));
    }
    for (const auto& variante : variantes(consulta)) {
        if (tamano(fotos) >= cantidad) break;
        std::set<std::string> vistas;
        for (const auto& f : fotos) vistas.insert(f.url);
        for (auto& f : libres(variante, o.libres, cantidad - tamano(fotos)))
            if (!vistas.contains(f.url)) fotos.push_back(std::move(f));
    }
    if (tamano(fotos) > cantidad) fotos.resize(static_cast<std::size_t>(cantidad));
    return fotos;
}

std::vector<Foto> dePagina(const std::string& pagina, std::int64_t cantidad) {
    PeticionHTTP p = peticionGet(pagina, segundosPagina, limitePagina);
    p.cortarAlLimite = true;
    p.cabeceras = {{"User-Agent", std::string(agenteUsuario)}};
    const auto respuesta = pedirMismoHost(std::move(p));
    // Any status: an error page is scanned like any other.
    if (!respuesta) return {};
    const std::size_t maximo = static_cast<std::size_t>(std::max<std::int64_t>(cantidad, 0) * 3);
    std::string fuente = "web";
    if (const Uri uri = leerUri(pagina); uri && g_uri_get_host(uri.get()) && *g_uri_get_host(uri.get()))
        fuente = g_uri_get_host(uri.get());
    std::vector<Foto> fotos;
    for (auto& direccion : direccionesDePagina(respuesta->cuerpo, pagina, maximo))
        fotos.push_back({direccion, direccion, 0, 0, fuente, ""});
    return fotos;
}

}  // namespace sorvenia::BuscarFotos
