#include "integraciones/fotos_lecturas.h"

#include <glib.h>
#include <re2/re2.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>

#include "comun/anidacion_json.h"

namespace sorvenia::BuscarFotos {
namespace {

using Json = nlohmann::json;

const Json* miembro(const Json& objeto, const char* clave) {
    if (!objeto.is_object()) return nullptr;
    const auto it = objeto.find(clave);
    return it == objeto.end() ? nullptr : &*it;
}

std::optional<std::string> texto(const Json& objeto, const char* clave) {
    const Json* v = miembro(objeto, clave);
    if (!v || !v->is_string()) return std::nullopt;
    return v->get<std::string>();
}

std::optional<std::int64_t> entero(const Json& objeto, const char* clave) {
    const Json* v = miembro(objeto, clave);
    if (!v || !v->is_number_integer()) return std::nullopt;
    if (v->is_number_unsigned()) {
        const auto u = v->get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<std::int64_t>(u);
    }
    return v->get<std::int64_t>();
}

// The elements of an array member that are objects.
std::vector<const Json*> objetosDe(const Json& respuesta, const char* clave) {
    std::vector<const Json*> lista;
    const Json* v = miembro(respuesta, clave);
    if (!v || !v->is_array()) return lista;
    for (const auto& e : *v)
        if (e.is_object()) lista.push_back(&e);
    return lista;
}

// A record only when both of its addresses can be written into a page.
void meterSiSegura(std::vector<Foto>& fotos, Foto foto) {
    if (direccionSegura(foto.url) && direccionSegura(foto.mini)) fotos.push_back(std::move(foto));
}

bool blanco(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view recortar(std::string_view t) {
    while (!t.empty() && blanco(t.front())) t.remove_prefix(1);
    while (!t.empty() && blanco(t.back())) t.remove_suffix(1);
    return t;
}

std::vector<std::string_view> trozos(std::string_view t, char separador) {
    std::vector<std::string_view> lista;
    std::size_t desde = 0;
    while (desde <= t.size()) {
        std::size_t hasta = t.find(separador, desde);
        if (hasta == std::string_view::npos) hasta = t.size();
        if (hasta > desde) lista.push_back(t.substr(desde, hasta - desde));
        desde = hasta + 1;
    }
    return lista;
}

std::string minusculas(std::string_view t) {
    std::string s(t);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return s;
}

void reemplazarTodo(std::string& t, std::string_view de, std::string_view por) {
    for (std::size_t i = t.find(de); i != std::string::npos; i = t.find(de, i + por.size()))
        t.replace(i, de.size(), por);
}

// The page's bytes as UTF-8: as they are when they are valid, else read as
// ISO Latin-1, where every byte is a character.
std::string comoUtf8(std::string_view bytes) {
    if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr)) return std::string(bytes);
    std::string salida;
    salida.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            salida.push_back(c);
        } else {
            salida.push_back(static_cast<char>(0xC0 | (b >> 6)));
            salida.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return salida;
}

struct LiberarG {
    void operator()(char* p) const { g_free(p); }
};

// The absolute address of `ref` read against `base`, or nothing.
std::optional<std::string> resolver(std::string_view base, const std::string& ref) {
    const std::string b(base);
    GError* error = nullptr;
    std::unique_ptr<char, LiberarG> absoluta(
        g_uri_resolve_relative(b.c_str(), ref.c_str(), G_URI_FLAGS_ENCODED, &error));
    if (error) g_error_free(error);
    if (!absoluta) return std::nullopt;
    return std::string(absoluta.get());
}

// What makes an address look like no photo of the page's own.
constexpr std::array<std::string_view, 6> palabrasDescartadas = {".svg", "logo", "icon", "sprite", "pixel", "tracking"};

class Candidatas {
public:
    Candidatas(std::string_view pagina, std::size_t maximo) : pagina_(pagina), maximo_(maximo) {}

    bool llenas() const { return lista_.size() >= maximo_; }
    std::vector<std::string> tomar() && { return std::move(lista_); }

    void meter(std::string_view encontrado) {
        if (llenas() || encontrado.find('\0') != std::string_view::npos) return;
        std::string t(recortar(encontrado));
        reemplazarTodo(t, "&amp;", "&");
        if (t.empty() || t.starts_with("data:")) return;
        const auto absoluta = resolver(pagina_, t);
        if (!absoluta) return;
        const char* esquema = g_uri_peek_scheme(absoluta->c_str());
        if (!esquema || !std::string_view(esquema).starts_with("http")) return;
        const std::string baja = minusculas(*absoluta);
        for (const auto palabra : palabrasDescartadas)
            if (baja.find(palabra) != std::string::npos) return;
        if (!direccionSegura(*absoluta)) return;
        if (std::find(lista_.begin(), lista_.end(), *absoluta) != lista_.end()) return;
        lista_.push_back(*absoluta);
    }

private:
    std::string_view pagina_;
    std::size_t maximo_;
    std::vector<std::string> lista_;
};

// Every capture of group 1, in the order of the text.
template <class F>
void porCadaCaptura(const RE2& patron, std::string_view texto, F&& alEncontrar) {
    re2::StringPiece resto(texto.data(), texto.size());
    re2::StringPiece captura;
    while (RE2::FindAndConsume(&resto, patron, &captura)) alEncontrar(std::string_view(captura.data(), captura.size()));
}

const RE2& patron(int cual) {
    static const RE2::Options opciones = [] {
        RE2::Options o;
        o.set_case_sensitive(false);
        o.set_log_errors(false);
        o.set_max_mem(64 << 20);
        return o;
    }();
    static const std::array<std::unique_ptr<RE2>, 4> patrones = {
        std::make_unique<RE2>(R"re(<meta[^>]+property=["']og:image(?::secure_url)?["'][^>]+content=["']([^"']+))re",
                              opciones),
        std::make_unique<RE2>(R"re(<meta[^>]+content=["']([^"']+)["'][^>]+property=["']og:image)re", opciones),
        std::make_unique<RE2>(R"re(<img[^>]+(?:data-src|data-lazy-src|src)=["']([^"']+)["'])re", opciones),
        std::make_unique<RE2>(R"re(srcset=["']([^"']+)["'])re", opciones),
    };
    return *patrones.at(static_cast<std::size_t>(cual));
}

// The descriptor's number: "800w" 800, "2x" 2; anything else 0.
std::int64_t valorDescriptor(std::string_view parte) {
    if (parte.empty()) return 0;
    parte.remove_suffix(1);
    std::int64_t v = 0;
    const auto [fin, error] = std::from_chars(parte.data(), parte.data() + parte.size(), v);
    if (error != std::errc() || fin != parte.data() + parte.size() || parte.empty()) return 0;
    return v;
}

}  // namespace

std::optional<Json> leerJson(std::string_view cuerpo) {
    if (anidacionExcede(cuerpo, 64)) return std::nullopt;
    Json valor = Json::parse(cuerpo, nullptr, false);
    if (valor.is_discarded()) return std::nullopt;
    return valor;
}

bool direccionSegura(std::string_view d) {
    const std::string baja = minusculas(d.substr(0, 8));
    if (!baja.starts_with("https://") && !baja.starts_with("http://")) return false;
    const std::size_t inicioHost = baja.starts_with("https://") ? 8 : 7;
    if (d.size() <= inicioHost || d[inicioHost] == '/') return false;
    return std::none_of(d.begin(), d.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b <= 0x20 || b >= 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`' || c == '\\';
    });
}

std::vector<Foto> fotosPexels(const Json& respuesta) {
    std::vector<Foto> fotos;
    for (const Json* e : objetosDe(respuesta, "photos")) {
        const Json* src = miembro(*e, "src");
        if (!src || !src->is_object()) continue;
        auto grande = texto(*src, "large2x");
        auto mediana = texto(*src, "medium");
        if (!grande || !mediana) continue;
        meterSiSegura(fotos, {std::move(*grande), std::move(*mediana), entero(*e, "width").value_or(0),
                              entero(*e, "height").value_or(0), "Pexels", texto(*e, "photographer").value_or("")});
    }
    return fotos;
}

std::vector<Foto> fotosUnsplash(const Json& respuesta) {
    std::vector<Foto> fotos;
    for (const Json* e : objetosDe(respuesta, "results")) {
        const Json* urls = miembro(*e, "urls");
        if (!urls || !urls->is_object()) continue;
        auto cruda = texto(*urls, "raw");
        auto pequena = texto(*urls, "small");
        if (!cruda || !pequena) continue;
        std::string autor;
        if (const Json* usuario = miembro(*e, "user")) autor = texto(*usuario, "name").value_or("");
        // The raw address already carries a query string.
        meterSiSegura(fotos, {*cruda + "&w=1800&q=80&fit=max", std::move(*pequena), entero(*e, "width").value_or(0),
                              entero(*e, "height").value_or(0), "Unsplash", std::move(autor)});
    }
    return fotos;
}

std::vector<Foto> fotosOpenverse(const Json& respuesta) {
    std::vector<Foto> fotos;
    for (const Json* e : objetosDe(respuesta, "results")) {
        auto url = texto(*e, "url");
        if (!url || !url->starts_with("https://")) continue;
        std::string mini = texto(*e, "thumbnail").value_or(*url);
        meterSiSegura(
            fotos, {std::move(*url), std::move(mini), entero(*e, "width").value_or(0), entero(*e, "height").value_or(0),
                    "Openverse/" + texto(*e, "source").value_or(""), texto(*e, "creator").value_or("")});
    }
    return fotos;
}

std::vector<Foto> fotosCommons(const Json& respuesta, std::string_view orientacion) {
    std::vector<Foto> fotos;
    const Json* consulta = miembro(respuesta, "query");
    const Json* paginas = consulta ? miembro(*consulta, "pages") : nullptr;
    if (!paginas || !paginas->is_object()) return fotos;
    std::vector<const Json*> orden;
    for (const auto& [id, pagina] : paginas->items())
        if (pagina.is_object()) orden.push_back(&pagina);
    std::stable_sort(orden.begin(), orden.end(), [](const Json* a, const Json* b) {
        return entero(*a, "index").value_or(0) < entero(*b, "index").value_or(0);
    });
    for (const Json* pagina : orden) {
        const Json* info = miembro(*pagina, "imageinfo");
        if (!info || !info->is_array() || info->empty() || !(*info)[0].is_object()) continue;
        const Json& primera = (*info)[0];
        const auto ancho = entero(primera, "width");
        const auto alto = entero(primera, "height");
        auto direccion = texto(primera, "thumburl");
        if (!ancho || *ancho < 1200 || !alto || !direccion) continue;
        if (orientacion == "landscape" && *ancho < *alto) continue;
        if (orientacion == "portrait" && *alto < *ancho) continue;
        std::string mini = miniaturaCommons(*direccion);
        meterSiSegura(fotos, {std::move(*direccion), std::move(mini), *ancho, *alto, "Wikimedia Commons",
                              texto(primera, "user").value_or("")});
    }
    return fotos;
}

std::string miniaturaCommons(std::string_view direccion) {
    static const RE2 segmento(R"re(/\d+px-)re");
    std::string mini(direccion);
    RE2::GlobalReplace(&mini, segmento, "/400px-");
    return mini;
}

std::optional<std::string> mayorDeSrcset(std::string_view srcset) {
    std::optional<std::string_view> mejor;
    std::int64_t mejorValor = 0;
    bool alguna = false;
    for (const auto candidata : trozos(srcset, ',')) {
        const auto partes = trozos(candidata, ' ');
        const std::int64_t valor = partes.empty() ? 0 : valorDescriptor(partes.back());
        if (!alguna || valor > mejorValor) {
            mejor = partes.empty() ? std::nullopt : std::optional(partes.front());
            mejorValor = valor;
            alguna = true;
        }
    }
    if (!mejor) return std::nullopt;
    return std::string(*mejor);
}

std::vector<std::string> direccionesDePagina(std::string_view html, std::string_view pagina, std::size_t maximo) {
    const std::string texto = comoUtf8(html);
    Candidatas candidatas(pagina, maximo);
    auto meter = [&](std::string_view t) { candidatas.meter(t); };
    for (int cual = 0; cual < 3 && !candidatas.llenas(); ++cual) porCadaCaptura(patron(cual), texto, meter);
    if (!candidatas.llenas())
        porCadaCaptura(patron(3), texto, [&](std::string_view srcset) {
            if (const auto mayor = mayorDeSrcset(srcset)) candidatas.meter(*mayor);
        });
    return std::move(candidatas).tomar();
}

}  // namespace sorvenia::BuscarFotos
