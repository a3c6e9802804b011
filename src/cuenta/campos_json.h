#pragma once
// Strict reading of typed fields from a parsed JSON object, by the rules of
// the account records: an integer is a whole JSON number in the signed 64-bit
// range, a text a JSON string, a Boolean true or false; a required key that
// is absent, null or of another type fails the record; an optional one that
// is absent or null leaves the field absent; other keys are ignored.
//
// `leer(valor, destino)` is overloaded on the destination type; records add
// their own overloads (registros.h) and lists of them come for free.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cuenta/json_valor.h"

namespace sorvenia::campos {

bool leer(const nlohmann::json& valor, std::string& destino);
bool leer(const nlohmann::json& valor, std::int64_t& destino);
bool leer(const nlohmann::json& valor, bool& destino);
bool leer(const nlohmann::json& valor, JSONValor& destino);
// An object whose every value is a text.
bool leer(const nlohmann::json& valor, std::map<std::string, std::string>& destino);

template <class T>
bool leer(const nlohmann::json& valor, std::vector<T>& destino) {
    if (!valor.is_array()) return false;
    destino.clear();
    destino.reserve(valor.size());
    for (const auto& elemento : valor) {
        T v{};
        if (!leer(elemento, v)) return false;
        destino.push_back(std::move(v));
    }
    return true;
}

// The member `clave` of `objeto` (an object), or nullptr when absent or null.
const nlohmann::json* miembro(const nlohmann::json& objeto, const char* clave);

template <class T>
bool requerido(const nlohmann::json& objeto, const char* clave, T& destino) {
    const auto* valor = miembro(objeto, clave);
    return valor != nullptr && leer(*valor, destino);
}

// A JSONValor field holds any JSON value, null included: only an absent key
// fails it.
bool requerido(const nlohmann::json& objeto, const char* clave, JSONValor& destino);

template <class T>
bool opcional(const nlohmann::json& objeto, const char* clave, std::optional<T>& destino) {
    destino.reset();
    const auto* valor = miembro(objeto, clave);
    if (valor == nullptr) return true;
    T v{};
    if (!leer(*valor, v)) return false;
    destino = std::move(v);
    return true;
}

// An optional member that falls back to `porDefecto` when absent or null.
template <class T>
bool opcional(const nlohmann::json& objeto, const char* clave, T& destino, T porDefecto) {
    std::optional<T> v;
    if (!opcional(objeto, clave, v)) return false;
    destino = v ? std::move(*v) : std::move(porDefecto);
    return true;
}

// Writes an optional field only when present: absent fields are left out,
// never written as null.
template <class T>
void escribirOpcional(nlohmann::json& objeto, const char* clave, const std::optional<T>& valor) {
    if (valor) objeto[clave] = *valor;
}

// The whole text as one JSON object, or a discarded value. Nothing but an
// object counts as an answer.
nlohmann::json objetoDe(std::string_view texto);

}  // namespace sorvenia::campos
