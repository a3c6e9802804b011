#include "comun/conexion_tarvel.h"

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::ConexionTarvel {
namespace {

std::filesystem::path casaDelSistema() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    long sugerido = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(sugerido > 0 ? static_cast<std::size_t>(sugerido) : 16384);
    passwd entrada{};
    passwd* resultado = nullptr;
    while (getpwuid_r(getuid(), &entrada, buffer.data(), buffer.size(), &resultado) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (resultado != nullptr && resultado->pw_dir != nullptr) return resultado->pw_dir;
    return "/";
}

// A JSON number that is exactly a signed integer, or nothing.
std::optional<long long> enteroExacto(const nlohmann::json& valor) {
    if (valor.is_number_integer()) {
        if (valor.is_number_unsigned() &&
            valor.get<unsigned long long>() > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
            return std::nullopt;
        return valor.get<long long>();
    }
    if (valor.is_number_float()) {
        double d = valor.get<double>();
        // 2^63 is the first double past the largest signed 64-bit integer.
        if (std::isfinite(d) && std::trunc(d) == d && d >= -9223372036854775808.0 && d < 9223372036854775808.0)
            return static_cast<long long>(d);
    }
    return std::nullopt;
}

}  // namespace

const std::filesystem::path& casa() {
    static const std::filesystem::path valor = casaDelSistema();
    return valor;
}

const std::filesystem::path& carpeta() {
    static const std::filesystem::path valor = casa() / ".local" / "share" / "SorveniaTarvel";
    return valor;
}

const std::filesystem::path& fichero() {
    static const std::filesystem::path valor = carpeta() / "mcp.json";
    return valor;
}

const std::filesystem::path& puente() {
    static const std::filesystem::path valor = casa() / ".sorvenia-tarvel" / "bin" / "tarvel";
    return valor;
}

std::optional<Conexion> interpretar(std::string_view bytes) {
    nlohmann::json raiz = nlohmann::json::parse(bytes, nullptr, false);
    if (raiz.is_discarded() || !raiz.is_object()) return std::nullopt;

    auto token = raiz.find("token");
    if (token == raiz.end() || !token->is_string() || token->get_ref<const std::string&>().empty()) return std::nullopt;

    long long numero = ConexionTarvel::puerto;
    if (auto valor = raiz.find("puerto"); valor != raiz.end())
        numero = enteroExacto(*valor).value_or(ConexionTarvel::puerto);
    if (numero < 1 || numero > 65535) return std::nullopt;

    return Conexion{static_cast<std::uint16_t>(numero), token->get<std::string>()};
}

std::optional<Conexion> leer() {
    std::ifstream entrada(fichero(), std::ios::binary);
    if (!entrada) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
    if (entrada.bad()) return std::nullopt;
    return interpretar(bytes);
}

}  // namespace sorvenia::ConexionTarvel
