#include "actualizacion/feed_actualizacion.h"

#include <algorithm>
#include <charconv>

#include <nlohmann/json.hpp>

namespace sorvenia::Actualizacion::detalle {
namespace {

bool digito(char c) { return c >= '0' && c <= '9'; }

// A JSON number and a JSON text of the same digits read alike.
std::string textoDe(const nlohmann::json& valor) {
    if (valor.is_string()) return valor.get<std::string>();
    if (valor.is_number_integer()) return valor.dump();
    return "";
}

}  // namespace

std::optional<std::int64_t> entero(std::string texto) {
    if (!texto.empty() && texto.front() == '+') texto.erase(0, 1);
    if (texto.empty() || texto == "-") return std::nullopt;
    std::int64_t n = 0;
    const auto [fin, error] = std::from_chars(texto.data(), texto.data() + texto.size(), n);
    if (error != std::errc() || fin != texto.data() + texto.size()) return std::nullopt;
    return n;
}

// The name comes from outside and may be of any length, so it is read in
// one pass rather than by a backtracking pattern. The version may hold no
// dash, so the first dash after the prefix ends it.
bool esNombrePaquete(std::string_view nombre) {
    constexpr std::string_view prefijo = "SorveniaCode-";
    constexpr std::string_view extension = ".tar.gz";
    if (nombre.size() < prefijo.size() + extension.size() || !nombre.starts_with(prefijo) ||
        !nombre.ends_with(extension))
        return false;
    nombre.remove_prefix(prefijo.size());
    nombre.remove_suffix(extension.size());
    const auto guion = nombre.find('-');
    if (guion == std::string_view::npos) return false;
    const auto version = nombre.substr(0, guion);
    const auto compilacion = nombre.substr(guion + 1);
    const auto digitoOPunto = [](char c) { return digito(c) || c == '.'; };
    return !version.empty() && std::all_of(version.begin(), version.end(), digitoOPunto) && !compilacion.empty() &&
           std::all_of(compilacion.begin(), compilacion.end(), digito);
}

std::optional<Nueva> leerFeed(std::string_view cuerpo, const std::string& carpeta, std::int64_t instalada) {
    const nlohmann::json feed = nlohmann::json::parse(cuerpo, nullptr, false);
    if (!feed.is_object()) return std::nullopt;
    const auto build = entero(textoDe(feed.value("build", nlohmann::json(""))));
    if (!build) return std::nullopt;
    const auto fichero = feed.find("fichero");
    if (fichero == feed.end() || !fichero->is_string()) return std::nullopt;
    if (!esNombrePaquete(fichero->get<std::string>())) return std::nullopt;
    if (*build <= instalada) return std::nullopt;
    const auto version = feed.find("version");
    return Nueva{version != feed.end() && version->is_string() ? version->get<std::string>() : "",
                 carpeta + fichero->get<std::string>()};
}

}  // namespace sorvenia::Actualizacion::detalle
