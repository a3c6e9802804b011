#include "tarvel_mcp/respuesta_local.h"

#include <algorithm>
#include <charconv>

namespace sorvenia::puente {
namespace {

constexpr std::string_view finCabecera = "\r\n\r\n";

bool esDigito(char c) { return c >= '0' && c <= '9'; }

std::string_view recortar(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool igualSinMayusculas(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto menor = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return menor(x) == menor(y);
           });
}

// A header name is an HTTP token: visible ASCII without separators.
bool esNombre(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F && std::string_view("\"(),/:;<=>?@[\\]{}").find(c) == std::string_view::npos;
    });
}

// "HTTP/1.x NNN[ reason]": the status, or nothing.
std::optional<long> estadoDe(std::string_view linea) {
    if (linea.size() < 12 || !linea.starts_with("HTTP/1.") || !esDigito(linea[7]) || linea[8] != ' ') return {};
    const std::string_view numero = linea.substr(9, 3);
    if (!std::all_of(numero.begin(), numero.end(), esDigito) || numero[0] == '0') return {};
    if (linea.size() > 12 && linea[12] != ' ') return {};
    return (numero[0] - '0') * 100L + (numero[1] - '0') * 10L + (numero[2] - '0');
}

std::optional<std::uint64_t> longitudDe(std::string_view valor) {
    if (valor.empty() || valor.size() > 19 || !std::all_of(valor.begin(), valor.end(), esDigito)) return {};
    std::uint64_t n = 0;
    std::from_chars(valor.data(), valor.data() + valor.size(), n);
    return n;
}

}  // namespace

LectorRespuesta::LectorRespuesta(std::size_t limiteCuerpo) : limiteCuerpo_(limiteCuerpo) {}

LectorRespuesta::Estado LectorRespuesta::agregar(std::string_view trozo) {
    if (estado_ != Estado::incompleta) return estado_ = Estado::invalida;  // fed past its end
    if (enCuerpo_) return agregarCuerpo(trozo);
    // The blank line may straddle two receives: look from 3 bytes back.
    const std::size_t desde = cabecera_.size() < 3 ? 0 : cabecera_.size() - 3;
    const std::size_t cabe = limiteCabeceraRespuesta - cabecera_.size();
    cabecera_.append(trozo.substr(0, cabe));
    const std::size_t fin = cabecera_.find(finCabecera, desde);
    if (fin == std::string::npos)
        return estado_ = cabecera_.size() >= limiteCabeceraRespuesta ? Estado::invalida : Estado::incompleta;
    // Bytes past the blank line belong to the body.
    const std::size_t tomados = cabecera_.size() - (fin + finCabecera.size());
    const std::size_t sobrantes = std::min(trozo.size(), cabe) - tomados;
    const std::string_view resto = trozo.substr(sobrantes);
    cabecera_.resize(fin);
    enCuerpo_ = true;
    if ((estado_ = examinarCabecera()) != Estado::incompleta) return estado_;
    return agregarCuerpo(resto);
}

LectorRespuesta::Estado LectorRespuesta::examinarCabecera() {
    std::string_view resto = cabecera_;
    const std::size_t finLinea = resto.find("\r\n");
    const auto estado = estadoDe(resto.substr(0, finLinea));
    // Interim 1xx answers never come: the bridge sends no "Expect".
    if (!estado || *estado < 200) return Estado::invalida;
    codigo_ = *estado;
    resto = finLinea == std::string_view::npos ? std::string_view() : resto.substr(finLinea + 2);
    while (!resto.empty()) {
        const std::size_t corte = resto.find("\r\n");
        const std::string_view linea = resto.substr(0, corte);
        resto = corte == std::string_view::npos ? std::string_view() : resto.substr(corte + 2);
        const std::size_t dosPuntos = linea.find(':');
        if (dosPuntos == std::string_view::npos || !esNombre(linea.substr(0, dosPuntos))) return Estado::invalida;
        const std::string_view nombre = linea.substr(0, dosPuntos);
        const std::string_view valor = recortar(linea.substr(dosPuntos + 1));
        if (valor.find_first_of("\r\n") != std::string_view::npos) return Estado::invalida;
        if (igualSinMayusculas(nombre, "transfer-encoding") || igualSinMayusculas(nombre, "content-encoding"))
            return Estado::invalida;
        if (igualSinMayusculas(nombre, "content-length")) {
            const auto n = longitudDe(valor);
            if (!n || (longitud_ && *longitud_ != *n)) return Estado::invalida;
            longitud_ = n;
        }
    }
    // These statuses carry no body, whatever the headers say.
    if (codigo_ == 204 || codigo_ == 304) longitud_ = 0;
    if (longitud_ && *longitud_ > limiteCuerpo_) return Estado::invalida;
    if (longitud_) cuerpo_.reserve(static_cast<std::size_t>(*longitud_));
    return longitud_ == std::uint64_t{0} ? Estado::completa : Estado::incompleta;
}

LectorRespuesta::Estado LectorRespuesta::agregarCuerpo(std::string_view trozo) {
    if (longitud_) {
        const std::size_t falta = static_cast<std::size_t>(*longitud_) - cuerpo_.size();
        // Bytes past the declared length are not part of this answer.
        cuerpo_.append(trozo.substr(0, falta));
        return estado_ = cuerpo_.size() == *longitud_ ? Estado::completa : Estado::incompleta;
    }
    if (trozo.size() > limiteCuerpo_ - cuerpo_.size()) return estado_ = Estado::invalida;
    cuerpo_.append(trozo);
    return estado_ = Estado::incompleta;
}

LectorRespuesta::Estado LectorRespuesta::terminar() {
    if (estado_ != Estado::incompleta) return estado_;
    return estado_ = enCuerpo_ && !longitud_ ? Estado::completa : Estado::invalida;
}

}  // namespace sorvenia::puente
