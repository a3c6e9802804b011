#include "app/actualizacion.h"

#include <charconv>
#include <regex>

#include <nlohmann/json.hpp>

#include "plataforma/http.h"

#ifndef SORVENIA_COMPILACION
#error "SORVENIA_COMPILACION (this program's build number) comes from the build"
#endif

namespace sorvenia::Actualizacion {
namespace {

std::optional<Nueva>& encontrada() {
    static std::optional<Nueva> valor;
    return valor;
}

bool& mirado() {
    static bool valor = false;
    return valor;
}

// A signed decimal integer and nothing else ("+120", "-3", "120").
std::optional<std::int64_t> entero(std::string texto) {
    if (!texto.empty() && texto.front() == '+') texto.erase(0, 1);
    if (texto.empty() || texto == "-") return std::nullopt;
    std::int64_t n = 0;
    const auto [fin, error] = std::from_chars(texto.data(), texto.data() + texto.size(), n);
    if (error != std::errc() || fin != texto.data() + texto.size()) return std::nullopt;
    return n;
}

// A JSON number and a JSON text of the same digits read alike.
std::string textoDe(const nlohmann::json& valor) {
    if (valor.is_string()) return valor.get<std::string>();
    if (valor.is_number_integer()) return valor.dump();
    return "";
}

}  // namespace

const std::optional<Nueva>& disponible() { return encontrada(); }

std::int64_t compilacionInstalada() { return entero(SORVENIA_COMPILACION).value_or(0); }

namespace detalle {

std::string carpetaFeed(const std::string& servidor) {
    std::string base = servidor;
    if (!base.empty() && base.back() != '/') base += '/';
    return base + "descargas/sorvenia-code-linux/";
}

std::optional<Nueva> leerFeed(std::string_view cuerpo, const std::string& carpeta, std::int64_t instalada) {
    const nlohmann::json feed = nlohmann::json::parse(cuerpo, nullptr, false);
    if (!feed.is_object()) return std::nullopt;
    const auto build = entero(textoDe(feed.value("build", nlohmann::json(""))));
    if (!build) return std::nullopt;
    const auto fichero = feed.find("fichero");
    if (fichero == feed.end() || !fichero->is_string()) return std::nullopt;
    static const std::regex patron("^SorveniaCode-[0-9.]+-[0-9]+\\.tar\\.gz$");
    if (!std::regex_match(fichero->get<std::string>(), patron)) return std::nullopt;
    if (*build <= instalada) return std::nullopt;
    const auto version = feed.find("version");
    return Nueva{version != feed.end() && version->is_string() ? version->get<std::string>() : "",
                 carpeta + fichero->get<std::string>()};
}

void olvidar() {
    mirado() = false;
    encontrada().reset();
}

}  // namespace detalle

Tarea<std::optional<Nueva>> comprobar(std::string servidor) {
    if (mirado()) co_return encontrada();
    mirado() = true;
    const std::string carpeta = detalle::carpetaFeed(servidor);
    PeticionHTTP peticion;
    peticion.url = carpeta + "ultima.json";
    const auto respuesta = co_await pedirAsync(std::move(peticion));
    if (!respuesta || respuesta->status != 200) co_return std::nullopt;
    auto nueva = detalle::leerFeed(respuesta->cuerpo, carpeta, compilacionInstalada());
    if (nueva) encontrada() = nueva;
    co_return nueva;
}

}  // namespace sorvenia::Actualizacion
