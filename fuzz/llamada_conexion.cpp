// The sign-in callback URL comes from outside (a browser, any program that
// starts ours with an address): any bytes, never a crash, and what it reads
// is always valid UTF-8.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "comun/utf8.h"
#include "cuenta/enlace_conexion.h"

namespace {

void comprobarUtf8(const std::optional<std::string>& texto) {
    if (texto && sorvenia::repararUtf8(*texto) != *texto) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const std::string_view url(reinterpret_cast<const char*>(datos), tamano);
    const auto llamada = sorvenia::leerLlamadaConexion(url);
    if (llamada) {
        if (!url.starts_with("sorvenia-tarvel:")) std::abort();
        comprobarUtf8(llamada->state);
        comprobarUtf8(llamada->error);
        comprobarUtf8(llamada->code);
        // What the link carries reads back the same.
        if (llamada->state) {
            const std::string vuelta = "sorvenia-tarvel://c?state=" + sorvenia::codificarConsulta(*llamada->state);
            const auto leida = sorvenia::leerLlamadaConexion(vuelta);
            if (!leida || leida->state != llamada->state) std::abort();
        }
    }
    return 0;
}
