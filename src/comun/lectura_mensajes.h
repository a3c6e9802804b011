#pragma once
// Reading the fields of a page's message: a key of another JSON type counts
// as absent.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace sorvenia::Mensaje {

inline std::optional<std::string> texto(const nlohmann::json& m, const char* clave) {
    const auto it = m.find(clave);
    if (it == m.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

// A number with any fraction dropped (true is 1); 0 when absent or not a
// number, or out of range.
inline std::int64_t entero(const nlohmann::json& m, const char* clave) {
    const auto it = m.find(clave);
    if (it == m.end()) return 0;
    if (it->is_boolean()) return it->get<bool>() ? 1 : 0;
    if (it->is_number_integer()) return it->get<std::int64_t>();
    if (!it->is_number()) return 0;
    const double v = std::trunc(it->get<double>());
    if (!std::isfinite(v) || std::fabs(v) > 9.0e18) return 0;
    return static_cast<std::int64_t>(v);
}

}  // namespace sorvenia::Mensaje
