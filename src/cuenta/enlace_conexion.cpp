#include "cuenta/enlace_conexion.h"

#include "comun/texto.h"
#include "comun/utf8.h"

namespace sorvenia {
namespace {

bool esLetra(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool esDigito(char c) { return c >= '0' && c <= '9'; }

// The scheme before the first ":", when it is one (RFC 3986: a letter,
// then letters, digits, "+", "-" or ".").
std::optional<std::string_view> esquemaDe(std::string_view url) {
    const auto dosPuntos = url.find(':');
    if (dosPuntos == std::string_view::npos || dosPuntos == 0 || !esLetra(url[0])) return std::nullopt;
    const std::string_view esquema = url.substr(0, dosPuntos);
    for (char c : esquema)
        if (!esLetra(c) && !esDigito(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    return esquema;
}

// Printable ASCII only: a browser hands on a URL percent-encoded.
bool caracteresValidos(std::string_view url) {
    for (char c : url) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F) return false;
    }
    return true;
}

std::optional<std::string> decodificar(std::string_view texto) {
    std::string salida;
    salida.reserve(texto.size());
    for (std::size_t i = 0; i < texto.size(); ++i) {
        if (texto[i] != '%') {
            salida += texto[i];
            continue;
        }
        if (i + 2 >= texto.size()) return std::nullopt;
        const int alto = valorHex(texto[i + 1]);
        const int bajo = valorHex(texto[i + 2]);
        if (alto < 0 || bajo < 0) return std::nullopt;
        salida += static_cast<char>(alto * 16 + bajo);
        i += 2;
    }
    for (std::string_view resto = salida; !resto.empty();) {
        const std::size_t largo = longitudSecuencia(resto);
        if (largo == 0) return std::nullopt;
        resto.remove_prefix(largo);
    }
    return salida;
}

}  // namespace

bool esURL(std::string_view texto) { return esquemaDe(texto).has_value() && caracteresValidos(texto); }

std::optional<LlamadaConexion> leerLlamadaConexion(std::string_view url) {
    if (!esURL(url) || *esquemaDe(url) != esquemaConexion) return std::nullopt;
    std::string_view resto = url.substr(0, url.find('#'));
    const auto interrogacion = resto.find('?');
    if (interrogacion == std::string_view::npos) return std::nullopt;
    resto.remove_prefix(interrogacion + 1);

    LlamadaConexion llamada;
    struct Campo {
        std::string_view nombre;
        std::optional<std::string>* destino;
        bool visto = false;
    } campos[] = {{"state", &llamada.state}, {"error", &llamada.error}, {"code", &llamada.code}};
    while (true) {
        const auto amp = resto.find('&');
        const std::string_view item = resto.substr(0, amp);
        const auto igual = item.find('=');
        const auto nombre = decodificar(item.substr(0, igual));
        if (!nombre) return std::nullopt;
        std::optional<std::string> valor;
        if (igual != std::string_view::npos) {
            valor = decodificar(item.substr(igual + 1));
            if (!valor) return std::nullopt;
        }
        // The first item of a name counts, even one without a value.
        for (Campo& campo : campos)
            if (campo.nombre == *nombre && !campo.visto) {
                campo.visto = true;
                *campo.destino = std::move(valor);
            }
        if (amp == std::string_view::npos) break;
        resto.remove_prefix(amp + 1);
    }
    return llamada;
}

std::string codificarConsulta(std::string_view valor) { return codificarURL(valor); }

std::string anadirRuta(std::string_view base, std::string_view ruta) {
    std::string direccion(base);
    if (direccion.empty() || direccion.back() != '/') direccion += '/';
    direccion += ruta;
    return direccion;
}

std::string enlaceConectar(std::string_view base, std::string_view state, std::string_view challenge,
                           std::string_view equipo) {
    std::string enlace = anadirRuta(base, "conectar-app/");
    enlace += "?app=tarvel&state=";
    enlace += codificarConsulta(state);
    enlace += "&challenge=";
    enlace += codificarConsulta(challenge);
    enlace += "&equipo=";
    enlace += codificarConsulta(equipo);
    return enlace;
}

}  // namespace sorvenia
