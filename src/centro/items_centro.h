#pragma once
// The result items the hub builds itself: always a list of one text item,
// plain or carrying the "error" flag that the server turns into isError.

#include <string>

#include <nlohmann/json.hpp>

namespace sorvenia {

inline nlohmann::json unTexto(std::string texto) {
    return nlohmann::json::array({{{"type", "text"}, {"text", std::move(texto)}}});
}

inline nlohmann::json unMarcado(std::string texto, bool error) {
    return nlohmann::json::array({{{"type", "text"}, {"text", std::move(texto)}, {"error", error}}});
}

inline nlohmann::json unError(std::string texto) { return unMarcado(std::move(texto), true); }

}  // namespace sorvenia
