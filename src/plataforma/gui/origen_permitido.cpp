#include "plataforma/gui/origen_permitido.h"

#include <glib.h>

#include <algorithm>
#include <system_error>

#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

std::string_view antesDe(std::string_view texto, std::string_view separadores) {
    return texto.substr(0, std::min(texto.find_first_of(separadores), texto.size()));
}

// The folder as a normal absolute path without a trailing separator, so
// its components can be compared one by one.
std::filesystem::path normalizar(const std::filesystem::path& ruta) {
    std::error_code error;
    std::filesystem::path absoluta = std::filesystem::absolute(ruta, error);
    if (error) return {};
    absoluta = absoluta.lexically_normal();
    if (!absoluta.has_filename() && absoluta.has_parent_path() && absoluta != absoluta.root_path())
        absoluta = absoluta.parent_path();
    return absoluta;
}

bool estaDentro(const std::filesystem::path& ruta, const std::filesystem::path& carpeta) {
    auto [finCarpeta, finRuta] = std::mismatch(carpeta.begin(), carpeta.end(), ruta.begin(), ruta.end());
    if (finCarpeta != carpeta.end() || finRuta == ruta.end()) return false;
    // What follows the folder must name something, not be an empty tail
    // ("carpeta/" is the folder itself).
    return !finRuta->empty();
}

}  // namespace

OrigenPermitido OrigenPermitido::carpeta(const std::filesystem::path& carpeta) {
    OrigenPermitido origen;
    if (!carpeta.empty()) origen.carpeta_ = normalizar(carpeta);
    return origen;
}

OrigenPermitido OrigenPermitido::uri(std::string uri) {
    OrigenPermitido origen;
    origen.uri_ = std::string(antesDe(uri, "#"));
    return origen;
}

bool OrigenPermitido::admite(std::string_view uri) const {
    if (!uri_.empty() && antesDe(uri, "#") == uri_) return true;
    return !carpeta_.empty() && admiteArchivo(uri);
}

bool OrigenPermitido::admiteArchivo(std::string_view uri) const {
    const std::string sinSufijos(antesDe(uri, "?#"));
    char* anfitrionCrudo = nullptr;
    TextoG archivo(g_filename_from_uri(sinSufijos.c_str(), &anfitrionCrudo, nullptr));
    TextoG anfitrion(anfitrionCrudo);
    if (!archivo) return false;
    if (anfitrion && std::string_view(anfitrion.get()) != "localhost") return false;
    const std::filesystem::path ruta = std::filesystem::path(archivo.get()).lexically_normal();
    return ruta.is_absolute() && estaDentro(ruta, carpeta_);
}

}  // namespace sorvenia
