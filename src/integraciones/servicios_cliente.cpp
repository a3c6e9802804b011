// Logo and photo placeholders in agents' HTML, found over the text as
// Unicode code points (marcadores_imagen.h), so their length limits count
// characters, not UTF-8 bytes.
#include "integraciones/servicios_cliente.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "comun/utf8.h"
#include "cuenta/llavero.h"
#include "integraciones/buscar_fotos.h"
#include "integraciones/marcadores_imagen.h"
#include "integraciones/servicio_clave.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

static_assert(sizeof(wchar_t) == 4, "the placeholder scan needs one wchar_t per code point");

using Listas = std::map<std::wstring, std::vector<std::string>>;

constexpr std::size_t maximoBusquedas = 16;

std::wstring aCodigos(std::string_view bytes) {
    const std::string texto = repararUtf8(bytes);
    std::wstring codigos;
    codigos.reserve(texto.size());
    const char* const fin = texto.data() + texto.size();
    for (const char* p = texto.data(); p < fin; p = g_utf8_next_char(p))
        codigos.push_back(static_cast<wchar_t>(g_utf8_get_char(p)));
    return codigos;
}

void anadirUtf8(std::string& salida, gunichar c) {
    std::array<char, 6> bytes{};
    salida.append(bytes.data(), static_cast<std::size_t>(g_unichar_to_utf8(c, bytes.data())));
}

std::string aUtf8(std::wstring_view codigos) {
    std::string texto;
    texto.reserve(codigos.size());
    for (const wchar_t c : codigos) anadirUtf8(texto, static_cast<gunichar>(c));
    return texto;
}

std::wstring atributo(std::string_view direccion) { return L"src=\"" + aCodigos(direccion) + L"\""; }

// Walks backwards so that the positions of earlier matches stay valid.
bool resolverLogos(std::wstring& texto) {
    const auto logos = marcadoresLogo(texto);
    for (auto it = logos.rbegin(); it != logos.rend(); ++it) {
        const std::string direccion =
            std::string(ServiciosCliente::cdnIconos) + "/" + ServiciosCliente::slugLogo(aUtf8(it->palabras));
        texto.replace(it->inicio, it->largo, atributo(direccion));
    }
    return !logos.empty();
}

bool letraONumero(gunichar c) {
    if (g_unichar_isalpha(c)) return true;
    const GUnicodeType tipo = g_unichar_type(c);
    return tipo == G_UNICODE_DECIMAL_NUMBER || tipo == G_UNICODE_LETTER_NUMBER || tipo == G_UNICODE_OTHER_NUMBER;
}

bool hayClave() {
    for (const char* servicio : {"pexels", "unsplash"}) {
        const auto clave = Llavero::leer(std::string("servicio:") + servicio);
        if (clave && !clave->empty()) return true;
    }
    return false;
}

// The distinct search texts in document order, exactly as written, at most
// maximoBusquedas of them.
std::vector<std::wstring> textosDistintos(const std::vector<MarcadorImagen>& fotos) {
    std::vector<std::wstring> textos;
    for (const auto& f : fotos) {
        if (textos.size() == maximoBusquedas) break;
        if (std::find(textos.begin(), textos.end(), f.palabras) == textos.end()) textos.push_back(f.palabras);
    }
    return textos;
}

ServiciosCliente::Busqueda& busquedaActual() {
    static ServiciosCliente::Busqueda busqueda;
    return busqueda;
}

// The searches of one call, gathered as each one ends.
struct Reunion {
    Listas listas;
    std::size_t pendientes = 0;
    std::function<void(Listas)> listo;
};

Tarea<void> buscarUna(ServiciosCliente::Busqueda busqueda, std::wstring texto, std::shared_ptr<Reunion> reunion) {
    std::vector<std::string> direcciones;
    try {
        direcciones = co_await busqueda(aUtf8(texto));
    } catch (...) {
        // A failed search only means no photos for these words.
    }
    reunion->listas[std::move(texto)] = std::move(direcciones);
    if (--reunion->pendientes == 0) reunion->listo(std::move(reunion->listas));
}

// Every text searched at once; resumes when the last search has ended.
Tarea<Listas> buscarTodas(std::vector<std::wstring> textos) {
    ServiciosCliente::Busqueda busqueda = busquedaActual();
    if (!busqueda) busqueda = &ServiciosCliente::buscarFotos;
    auto iniciar = [&](std::function<void(Listas)> listo) {
        auto reunion = std::make_shared<Reunion>();
        reunion->pendientes = textos.size();
        reunion->listo = std::move(listo);
        for (auto& texto : textos) (void)lanzar(buscarUna(busqueda, std::move(texto), reunion));
    };
    co_return co_await conRetrollamada<Listas>(std::move(iniciar));
}

// The same words take the addresses of their list in turn, the last
// placeholder in the document the first address.
bool ponerFotos(std::wstring& texto, const std::vector<MarcadorImagen>& fotos, const Listas& listas) {
    std::map<std::wstring, std::size_t> usos;
    bool cambiado = false;
    for (auto it = fotos.rbegin(); it != fotos.rend(); ++it) {
        const auto lista = listas.find(it->palabras);
        if (lista == listas.end() || lista->second.empty()) continue;
        std::size_t& n = usos[it->palabras];
        texto.replace(it->inicio, it->largo, atributo(lista->second[n % lista->second.size()]));
        ++n;
        cambiado = true;
    }
    return cambiado;
}

Tarea<std::string> alServidor(ServiciosCliente::Servidor servidor, std::string html) {
    if (!servidor) co_return html;
    std::optional<std::string> lleno;
    try {
        lleno = co_await servidor(html);
    } catch (...) {
        // Never fails: the text as it is is still usable.
    }
    co_return lleno ? std::move(*lleno) : std::move(html);
}

}  // namespace

std::string ServiciosCliente::slugLogo(std::string_view marca) {
    std::string sustituido;
    for (const wchar_t c : aCodigos(marca)) {
        const gunichar minuscula = g_unichar_tolower(static_cast<gunichar>(c));
        if (minuscula == '+') sustituido += "plus";
        else if (minuscula == '.') sustituido += "dot";
        else if (minuscula == '&') sustituido += "and";
        else anadirUtf8(sustituido, minuscula);
    }
    // Decomposed, the diacritics are marks of their own, which go with
    // everything else that is no letter or digit.
    const TextoG descompuesto(
        g_utf8_normalize(sustituido.data(), static_cast<gssize>(sustituido.size()), G_NORMALIZE_NFD));
    if (!descompuesto) return {};
    std::string limpio;
    for (const char* p = descompuesto.get(); *p != '\0'; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (letraONumero(c)) anadirUtf8(limpio, c);
    }
    const TextoG compuesto(g_utf8_normalize(limpio.data(), static_cast<gssize>(limpio.size()), G_NORMALIZE_NFC));
    return compuesto ? std::string(compuesto.get()) : limpio;
}

namespace {

// One bank's answer read for its addresses; any status, any shape: what is
// not there is simply not found.
std::vector<std::string> direccionesDeBanco(ServicioClave banco, const std::string& consulta) {
    const auto clave = Servicios::valor(banco);
    if (!clave) return {};
    const bool pexels = banco == ServicioClave::pexels;
    PeticionHTTP p;
    p.url = BuscarFotos::conConsulta(Servicios::baseAPI(banco) + (pexels ? "/v1/search" : "/search/photos"),
                                     {{"query", consulta}, {"per_page", "6"}, {"orientation", "landscape"}});
    p.tiempoLimite = 10;
    p.tiempoTotal = 10;
    p.limiteBytes = 8u * 1024u * 1024u;
    // The key goes to this host only: no redirect is followed.
    p.cabeceras = {{"Authorization", pexels ? *clave : "Client-ID " + *clave}};
    const auto respuesta = pedir(p);
    if (!respuesta) return {};
    const auto json = BuscarFotos::leerJson(respuesta->cuerpo);
    if (!json) return {};
    std::vector<std::string> direcciones;
    for (const auto& f : pexels ? BuscarFotos::fotosPexels(*json) : BuscarFotos::fotosUnsplash(*json))
        direcciones.push_back(f.url);
    return direcciones;
}

std::vector<std::string> buscarEnBancos(const std::string& consulta) {
    auto direcciones = direccionesDeBanco(ServicioClave::pexels, consulta);
    if (direcciones.empty()) direcciones = direccionesDeBanco(ServicioClave::unsplash, consulta);
    return direcciones;
}

}  // namespace

Tarea<std::vector<std::string>> ServiciosCliente::buscarFotos(std::string consulta) {
    auto trabajo = [consulta = std::move(consulta)] { return buscarEnBancos(consulta); };
    co_return co_await enSegundoPlano(std::move(trabajo));
}

ServiciosCliente::Busqueda ServiciosCliente::usarBusqueda(Busqueda busqueda) {
    return std::exchange(busquedaActual(), std::move(busqueda));
}

Tarea<std::string> ServiciosCliente::resolver(std::string html, Servidor servidor) {
    std::wstring texto = aCodigos(html);
    std::string resultado = resolverLogos(texto) ? aUtf8(texto) : std::move(html);

    const auto fotos = marcadoresFoto(texto);
    if (fotos.empty()) co_return resultado;
    const bool conClave = co_await enSegundoPlano(&hayClave);
    if (!conClave) co_return co_await alServidor(std::move(servidor), std::move(resultado));

    const Listas listas = co_await buscarTodas(textosDistintos(fotos));
    if (ponerFotos(texto, fotos, listas)) resultado = aUtf8(texto);
    // Case-sensitive on purpose: only the "foto:" spelling makes the
    // account's service worth asking.
    if (resultado.find("foto:") == std::string::npos) co_return resultado;
    co_return co_await alServidor(std::move(servidor), std::move(resultado));
}

}  // namespace sorvenia
