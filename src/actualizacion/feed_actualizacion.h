#pragma once
// Reading the update feed's answer: pure functions over the bytes the
// account site sends, without GLib, so that the fuzz build can drive them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorvenia::Actualizacion {

struct Nueva {
    std::string version;  // as the feed gives it; empty when it has none
    std::string url;      // the package, in the feed's folder
    bool operator==(const Nueva&) const = default;
};

namespace detalle {
// A signed decimal integer and nothing else ("+120", "-3", "120").
std::optional<std::int64_t> entero(std::string texto);
// "SorveniaCode-<digits and dots>-<digits>.tar.gz", the whole name.
bool esNombrePaquete(std::string_view nombre);
// What a feed body offers to a program of build `instalada`.
std::optional<Nueva> leerFeed(std::string_view cuerpo, const std::string& carpeta, std::int64_t instalada);
}  // namespace detalle

}  // namespace sorvenia::Actualizacion
