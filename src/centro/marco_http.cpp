#include "centro/marco_http.h"

#include <algorithm>
#include <charconv>

#include "centro/texto_http.h"
#include "comun/utf8.h"

namespace sorvenia {
namespace {

constexpr std::string_view finDeCabecera = "\r\n\r\n";

bool empiezaSinDistinguir(std::string_view texto, std::string_view prefijo) {
    return texto.size() >= prefijo.size() && enMinusculas(texto.substr(0, prefijo.size())) == prefijo;
}

bool soloCifras(std::string_view t) {
    if (t.empty()) return false;
    for (char c : t)
        if (c < '0' || c > '9') return false;
    return true;
}

// An optional "+" or "-" and ASCII digits, within 64 bits; nothing else.
std::optional<std::int64_t> enteroConSigno(std::string_view t) {
    if (t.starts_with('+')) t.remove_prefix(1);
    if (!soloCifras(t.starts_with('-') ? t.substr(1) : t)) return std::nullopt;
    std::int64_t valor = 0;
    const auto [fin, error] = std::from_chars(t.data(), t.data() + t.size(), valor);
    if (error != std::errc() || fin != t.data() + t.size()) return std::nullopt;
    return valor;
}

}  // namespace

std::int64_t longitudDeclarada(std::string_view cabecera) {
    for (const auto linea : partir(cabecera, "\r\n")) {
        if (!empiezaSinDistinguir(linea, "content-length:")) continue;
        const auto piezas = partir(linea, ":");
        if (piezas.size() < 2) return 0;
        return enteroConSigno(recortarEspacios(piezas[1])).value_or(0);
    }
    return 0;
}

std::optional<PeticionCompleta> peticionCompleta(std::string_view bytes) {
    const std::size_t fin = bytes.find(finDeCabecera);
    if (fin == std::string_view::npos) return std::nullopt;
    std::string cabecera = repararUtf8(bytes.substr(0, fin));
    const std::int64_t longitud = longitudDeclarada(cabecera);
    const std::string_view resto = bytes.substr(fin + finDeCabecera.size());
    // A negative length describes no body at all: never complete.
    if (longitud < 0 || resto.size() < static_cast<std::uint64_t>(longitud)) return std::nullopt;
    return PeticionCompleta{std::move(cabecera), std::string(resto.substr(0, static_cast<std::size_t>(longitud)))};
}

std::size_t LectorPeticion::capacidadTras(std::size_t cuantos) const {
    const std::size_t hace = acumulado_.size() + std::min(cuantos, limitePeticion + 1);
    if (hace <= acumulado_.capacity() || hace > limitePeticion) return acumulado_.capacity();
    return std::max(hace, std::min(2 * acumulado_.capacity(), limitePeticion));
}

EstadoLectura LectorPeticion::agregar(std::string_view trozo) {
    // The limit counts everything received, and comes before completeness:
    // a complete request over it is refused too. Bytes past it are never
    // stored.
    if (trozo.size() > limitePeticion - acumulado_.size()) return Rechazada{estadoDemasiadoGrande};
    acumulado_.reserve(capacidadTras(trozo.size()));
    acumulado_.insert(acumulado_.end(), trozo.begin(), trozo.end());
    return examinar();
}

EstadoLectura LectorPeticion::examinar() {
    const std::string_view acumulado = vista();
    if (!finCabecera_) {
        const std::size_t fin = acumulado.find(finDeCabecera, buscarDesde_);
        if (fin == std::string_view::npos) {
            // The next search starts where a blank line split across two
            // receives could begin.
            buscarDesde_ = acumulado.size() < 3 ? 0 : acumulado.size() - 3;
            return Incompleta{};
        }
        finCabecera_ = fin;
        longitud_ = longitudDeclarada(repararUtf8(acumulado.substr(0, fin)));
    }
    if (longitud_ < 0) return Rechazada{estadoMalFormada};
    const std::size_t inicio = *finCabecera_ + finDeCabecera.size();
    // A body that cannot fit is refused now rather than after 16 MiB more.
    if (static_cast<std::uint64_t>(longitud_) > limitePeticion - inicio) return Rechazada{estadoDemasiadoGrande};
    const auto longitud = static_cast<std::size_t>(longitud_);
    if (acumulado.size() - inicio < longitud) return Incompleta{};
    return PeticionCompleta{repararUtf8(acumulado.substr(0, *finCabecera_)),
                            std::string(acumulado.substr(inicio, longitud))};
}

std::map<std::string, std::string> cabeceras(std::string_view cabecera) {
    std::map<std::string, std::string> r;
    const auto lineas = partir(cabecera, "\r\n");
    for (std::size_t i = 1; i < lineas.size(); ++i) {
        const std::size_t dos = lineas[i].find(':');
        if (dos == std::string_view::npos) continue;
        r[enMinusculas(recortarEspacios(lineas[i].substr(0, dos)))] = std::string(recortarEspacios(lineas[i].substr(dos + 1)));
    }
    return r;
}

std::size_t vecesCabecera(std::string_view cabecera, std::string_view nombre) {
    std::size_t veces = 0;
    const auto lineas = partir(cabecera, "\r\n");
    for (std::size_t i = 1; i < lineas.size(); ++i) {
        const std::size_t dos = lineas[i].find(':');
        if (dos != std::string_view::npos && enMinusculas(recortarEspacios(lineas[i].substr(0, dos))) == nombre) ++veces;
    }
    return veces;
}

std::string respuestaHTTP(std::string_view estado, std::string_view cuerpo, std::string_view tipo) {
    char cifras[24];
    const auto fin = std::to_chars(cifras, cifras + sizeof cifras, cuerpo.size()).ptr;
    std::string r;
    r.reserve(96 + estado.size() + tipo.size() + cuerpo.size());
    r.append("HTTP/1.1 ").append(estado);
    r.append("\r\nContent-Type: ").append(tipo);
    r.append("\r\nContent-Length: ").append(cifras, fin);
    r.append("\r\nConnection: close\r\n\r\n");
    r.append(cuerpo);
    return r;
}

}  // namespace sorvenia
