// The scene file a URL of the "escena" scheme asks for. Pages come from
// agents and the web, so the URL is outside text: only one plain file name
// of the folder is ever served.
#include <algorithm>
#include <cctype>
#include <system_error>

#include "editor/escenas.h"

namespace sorvenia::Escenas {
namespace {

namespace fs = std::filesystem;

bool letraDeNombre(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '_' || c == '-';
}

// One plain file name: never a separator, an encoded byte, a leading dot
// or dash, or "..".
bool nombreSimple(std::string_view nombre) {
    return !nombre.empty() && nombre.size() <= 121 && std::ranges::all_of(nombre, letraDeNombre) &&
           nombre.front() != '.' && nombre.front() != '-' && nombre.find("..") == std::string_view::npos;
}

// `ruta` lies inside `carpeta` (both already resolved).
bool dentroDe(const fs::path& ruta, const fs::path& carpeta) {
    const auto [fin, _] = std::mismatch(carpeta.begin(), carpeta.end(), ruta.begin(), ruta.end());
    return fin == carpeta.end();
}

}  // namespace

std::optional<fs::path> archivoPedido(std::string_view url, const fs::path& carpeta) {
    const auto esquema = url.find("://");
    if (esquema == std::string_view::npos) return std::nullopt;
    std::string_view resto = url.substr(esquema + 3);
    resto = resto.substr(0, resto.find_first_of("?#"));
    const auto barra = resto.find('/');
    if (barra == std::string_view::npos) return std::nullopt;
    const std::string_view nombre = resto.substr(barra + 1);
    if (!nombreSimple(nombre)) return std::nullopt;
    std::error_code ec;
    const fs::path base = fs::canonical(carpeta, ec);
    if (ec) return std::nullopt;
    const fs::path real = fs::canonical(base / nombre, ec);
    if (ec || !dentroDe(real, base) || !fs::is_regular_file(real, ec)) return std::nullopt;
    return real;
}

std::string mime(std::string_view archivo) {
    const auto punto = archivo.rfind('.');
    std::string extension(punto == std::string_view::npos ? "" : archivo.substr(punto + 1));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "mp4") return "video/mp4";
    if (extension == "webm") return "video/webm";
    if (extension == "jpg" || extension == "jpeg") return "image/jpeg";
    if (extension == "png") return "image/png";
    if (extension == "webp") return "image/webp";
    return "application/octet-stream";
}

}  // namespace sorvenia::Escenas
