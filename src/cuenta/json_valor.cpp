#include "cuenta/json_valor.h"

#include <charconv>
#include <cmath>

#include <nlohmann/json.hpp>

#include "comun/utf8.h"

namespace sorvenia {
namespace {

std::optional<JSONValor> leer(const nlohmann::json& j, int profundidad) {
    using T = nlohmann::json::value_t;
    switch (j.type()) {
        case T::null: return JSONValor();
        case T::boolean: return JSONValor(j.get<bool>());
        case T::number_integer: return JSONValor(static_cast<double>(j.get<std::int64_t>()));
        case T::number_unsigned: return JSONValor(static_cast<double>(j.get<std::uint64_t>()));
        case T::number_float: {
            const double d = j.get<double>();
            if (!std::isfinite(d)) return std::nullopt;  // "1e400" is out of range, not infinity
            return JSONValor(d);
        }
        case T::string: return JSONValor(j.get<std::string>());
        case T::array: {
            if (profundidad >= JSONValor::profundidadMaxima) return std::nullopt;
            JSONValor::Lista lista;
            lista.reserve(j.size());
            for (const auto& elemento : j) {
                auto v = leer(elemento, profundidad + 1);
                if (!v) return std::nullopt;
                lista.push_back(std::move(*v));
            }
            return JSONValor(std::move(lista));
        }
        case T::object: {
            if (profundidad >= JSONValor::profundidadMaxima) return std::nullopt;
            JSONValor::Objeto objeto;
            for (const auto& [clave, miembro] : j.items()) {
                auto v = leer(miembro, profundidad + 1);
                if (!v) return std::nullopt;
                objeto.emplace(clave, std::move(*v));
            }
            return JSONValor(std::move(objeto));
        }
        default: return std::nullopt;  // binary values and discarded parses are not JSON
    }
}

void escribirTexto(const std::string& texto, std::string& salida) {
    static constexpr char hex[] = "0123456789abcdef";
    salida.push_back('"');
    for (const char c : texto) {
        switch (c) {
            case '"': salida += "\\\""; break;
            case '\\': salida += "\\\\"; break;
            case '/': salida += "\\/"; break;
            case '\b': salida += "\\b"; break;
            case '\f': salida += "\\f"; break;
            case '\n': salida += "\\n"; break;
            case '\r': salida += "\\r"; break;
            case '\t': salida += "\\t"; break;
            default: {
                const auto u = static_cast<unsigned char>(c);
                if (u < 0x20) {
                    salida += "\\u00";
                    salida.push_back(hex[u >> 4]);
                    salida.push_back(hex[u & 0xF]);
                } else {
                    salida.push_back(c);
                }
            }
        }
    }
    salida.push_back('"');
}

// False when a number cannot be written.
bool escribir(const JSONValor& v, std::string& salida) {
    switch (v.caso()) {
        case JSONValor::Caso::nulo: salida += "null"; return true;
        case JSONValor::Caso::booleano: salida += *v.comoBool() ? "true" : "false"; return true;
        case JSONValor::Caso::numero: {
            const double d = *v.comoNumero();
            if (!std::isfinite(d)) return false;
            if (d == 0 && std::signbit(d)) {
                salida += "-0.0";  // "-0" would read back as the integer 0
                return true;
            }
            char buffer[32];
            const auto [fin, error] = std::to_chars(buffer, buffer + sizeof buffer, d);
            if (error != std::errc{}) return false;
            salida.append(buffer, fin);
            return true;
        }
        case JSONValor::Caso::texto: escribirTexto(*v.comoTexto(), salida); return true;
        case JSONValor::Caso::lista: {
            salida.push_back('[');
            bool primero = true;
            for (const auto& e : *v.comoLista()) {
                if (!primero) salida.push_back(',');
                primero = false;
                if (!escribir(e, salida)) return false;
            }
            salida.push_back(']');
            return true;
        }
        case JSONValor::Caso::objeto: {
            salida.push_back('{');
            bool primero = true;
            for (const auto& [clave, miembro] : *v.comoObjeto()) {
                if (!primero) salida.push_back(',');
                primero = false;
                escribirTexto(clave, salida);
                salida.push_back(':');
                if (!escribir(miembro, salida)) return false;
            }
            salida.push_back('}');
            return true;
        }
    }
    return false;
}

}  // namespace

JSONValor::Caso JSONValor::caso() const noexcept { return static_cast<Caso>(v_.index()); }

std::optional<double> JSONValor::comoNumero() const noexcept {
    if (const auto* d = std::get_if<double>(&v_)) return *d;
    return std::nullopt;
}

std::optional<bool> JSONValor::comoBool() const noexcept {
    if (const auto* b = std::get_if<bool>(&v_)) return *b;
    return std::nullopt;
}

std::optional<JSONValor> JSONValor::desde(const nlohmann::json& valor) { return leer(valor, 0); }

std::optional<JSONValor> JSONValor::decodificar(std::string_view texto) {
    const auto j = nlohmann::json::parse(texto, nullptr, false);
    if (j.is_discarded()) return std::nullopt;
    return desde(j);
}

nlohmann::json JSONValor::objeto() const {
    switch (caso()) {
        case Caso::nulo: return nullptr;
        case Caso::booleano: return *comoBool();
        case Caso::numero: return *comoNumero();
        case Caso::texto: return *comoTexto();
        case Caso::lista: {
            auto j = nlohmann::json::array();
            for (const auto& e : *comoLista()) j.push_back(e.objeto());
            return j;
        }
        case Caso::objeto: {
            auto j = nlohmann::json::object();
            for (const auto& [clave, miembro] : *comoObjeto()) j[clave] = miembro.objeto();
            return j;
        }
    }
    return nullptr;
}

std::string JSONValor::cadena() const {
    std::string salida;
    if (!escribir(*this, salida)) return "null";
    return repararUtf8(salida);
}

}  // namespace sorvenia
