// The update feed's answer comes from the account site: any bytes, as the
// whole body and as the package name alone. Nothing may crash or recurse
// with the input's length; a name is accepted exactly when the backtracking
// pattern the rule is written as accepts it (checked where that pattern is
// safe to run: short names), and an offer always points into the feed's
// folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <string_view>

#include "actualizacion/feed_actualizacion.h"

namespace {

using namespace sorvenia::Actualizacion;

void comprobar(bool condicion) {
    if (!condicion) std::abort();
}

constexpr std::size_t largoReferencia = 1000;

void nombre(std::string_view bytes) {
    const bool aceptado = detalle::esNombrePaquete(bytes);
    if (bytes.size() <= largoReferencia) {
        static const std::regex patron("^SorveniaCode-[0-9.]+-[0-9]+\\.tar\\.gz$");
        comprobar(aceptado == std::regex_match(bytes.begin(), bytes.end(), patron));
    }
}

void feed(std::string_view bytes) {
    const std::string carpeta = "https://s.example/descargas/sorvenia-code-linux/";
    const auto nueva = detalle::leerFeed(bytes, carpeta, 0);
    if (!nueva) return;
    comprobar(nueva->url.starts_with(carpeta));
    comprobar(detalle::esNombrePaquete(std::string_view(nueva->url).substr(carpeta.size())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const std::string_view bytes(reinterpret_cast<const char*>(datos), tamano);
    nombre(bytes);
    feed(bytes);
    return 0;
}
