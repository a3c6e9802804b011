// The bytes of a connection file through the bridge's acceptance rules.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "comun/conexion_tarvel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const auto conexion =
        sorvenia::ConexionTarvel::interpretar(std::string_view(reinterpret_cast<const char*>(datos), tamano));
    if (conexion && (conexion->puerto == 0 || conexion->token.empty())) __builtin_trap();
    return 0;
}
