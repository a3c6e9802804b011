// The test channel's request files: any bytes, never a crash, and the
// target name is always a piece of the first line.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/canal_pruebas/orden_canal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    using namespace sorvenia::CanalPruebas;
    const std::string_view texto(reinterpret_cast<const char*>(datos), tamano);
    if (!esUtf8(texto)) return 0;
    const std::string destino = destinoOrden(texto);
    if (destino.find('\n') != std::string::npos) std::abort();
    if (destino != "editor" && texto.find(destino) == std::string_view::npos) std::abort();
    const std::string_view recortada = recortarPeticion(texto);
    if (!recortada.empty() && (recortada.front() == ' ' || recortada.back() == '\n')) std::abort();
    (void)destinoCaptura(texto);
    return 0;
}
