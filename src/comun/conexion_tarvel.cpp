#include "comun/conexion_tarvel.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
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

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// The whole of a regular file of at most limiteFichero bytes. Whoever can
// put something at the path must not be able to make the reader hang (a
// FIFO without a writer), fill its memory (/dev/zero) or read elsewhere (a
// link), so all of those are refused before any byte is read.
std::optional<std::string> leerAcotado(const std::filesystem::path& ruta) {
    const Descriptor d{open(ruta.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (d.fd < 0) return std::nullopt;
    struct stat estado {};
    if (fstat(d.fd, &estado) != 0 || !S_ISREG(estado.st_mode) || estado.st_size < 0 ||
        static_cast<std::uint64_t>(estado.st_size) > limiteFichero)
        return std::nullopt;
    std::string bytes;
    char bloque[4096];
    for (;;) {
        const ssize_t n = read(d.fd, bloque, sizeof bloque);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return bytes;
        bytes.append(bloque, static_cast<std::size_t>(n));
        if (bytes.size() > limiteFichero) return std::nullopt;  // it grew while read
    }
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

std::optional<Conexion> leer() { return leer(fichero()); }

std::optional<Conexion> leer(const std::filesystem::path& ruta) {
    const auto bytes = leerAcotado(ruta);
    if (!bytes) return std::nullopt;
    return interpretar(*bytes);
}

}  // namespace sorvenia::ConexionTarvel
