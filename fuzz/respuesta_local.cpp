// The bridge's reader of the application's HTTP answers. The first byte
// chooses where the rest is cut into receives; the answer must not depend on
// the cut, and what it keeps must respect the body limit.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tarvel_mcp/respuesta_local.h"

namespace {

using sorvenia::puente::LectorRespuesta;

constexpr std::size_t limite = 4096;

struct Final {
    LectorRespuesta::Estado estado;
    long codigo;
    std::string cuerpo;
    bool operator==(const Final&) const = default;
};

Final leer(std::string_view bytes, std::size_t paso) {
    LectorRespuesta lector(limite);
    auto estado = LectorRespuesta::Estado::incompleta;
    while (!bytes.empty() && estado == LectorRespuesta::Estado::incompleta) {
        estado = lector.agregar(bytes.substr(0, paso));
        bytes.remove_prefix(std::min(paso, bytes.size()));
    }
    if (estado == LectorRespuesta::Estado::incompleta) estado = lector.terminar();
    if (estado != LectorRespuesta::Estado::completa) return {estado, 0, {}};
    return {estado, lector.codigo(), lector.cuerpo()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    if (tamano == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(datos) + 1, tamano - 1);
    const std::size_t paso = 1 + datos[0] % 17;
    const Final entero = leer(bytes, bytes.size() + 1);
    const Final troceado = leer(bytes, paso);
    if (!(entero == troceado)) __builtin_trap();
    if (entero.estado == LectorRespuesta::Estado::completa) {
        if (entero.codigo < 200 || entero.codigo > 999) __builtin_trap();
        if (entero.cuerpo.size() > limite) __builtin_trap();
        // The body is bytes of the input, never bytes made up.
        if (bytes.find(entero.cuerpo) == std::string_view::npos) __builtin_trap();
    }
    return 0;
}
