#include "cuenta/campos_json.h"

#include <cmath>
#include <limits>

namespace sorvenia::campos {

bool leer(const nlohmann::json& valor, std::string& destino) {
    if (!valor.is_string()) return false;
    destino = valor.get<std::string>();
    return true;
}

bool leer(const nlohmann::json& valor, std::int64_t& destino) {
    if (valor.is_number_unsigned()) {
        const auto u = valor.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return false;
        destino = static_cast<std::int64_t>(u);
        return true;
    }
    if (valor.is_number_integer()) {
        destino = valor.get<std::int64_t>();
        return true;
    }
    if (valor.is_number_float()) {
        // 3.0 and 3e2 are whole numbers; 2.5 is not. 2^63 is the first double
        // past the signed 64-bit range.
        const double d = valor.get<double>();
        if (!std::isfinite(d) || std::trunc(d) != d || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
            return false;
        destino = static_cast<std::int64_t>(d);
        return true;
    }
    return false;
}

bool leer(const nlohmann::json& valor, bool& destino) {
    if (!valor.is_boolean()) return false;
    destino = valor.get<bool>();
    return true;
}

bool leer(const nlohmann::json& valor, JSONValor& destino) {
    auto v = JSONValor::desde(valor);
    if (!v) return false;
    destino = std::move(*v);
    return true;
}

bool leer(const nlohmann::json& valor, std::map<std::string, std::string>& destino) {
    if (!valor.is_object()) return false;
    destino.clear();
    for (const auto& [clave, texto] : valor.items()) {
        if (!texto.is_string()) return false;
        destino.emplace(clave, texto.get<std::string>());
    }
    return true;
}

const nlohmann::json* miembro(const nlohmann::json& objeto, const char* clave) {
    if (!objeto.is_object()) return nullptr;
    const auto it = objeto.find(clave);
    if (it == objeto.end() || it->is_null()) return nullptr;
    return &*it;
}

bool requerido(const nlohmann::json& objeto, const char* clave, JSONValor& destino) {
    if (!objeto.is_object()) return false;
    const auto it = objeto.find(clave);
    return it != objeto.end() && leer(*it, destino);
}

nlohmann::json objetoDe(std::string_view texto) {
    auto raiz = nlohmann::json::parse(texto, nullptr, false);
    if (!raiz.is_object()) return nlohmann::json(nlohmann::json::value_t::discarded);
    return raiz;
}

}  // namespace sorvenia::campos
