// The user's connections file, "conexiones.json": any bytes on disk. Reading
// must not throw; every connection read has its id, name and type; and the
// list written back reads as the same list.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "integraciones/conexion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    using namespace sorvenia;
    const std::string_view texto(reinterpret_cast<const char*>(datos), largo);
    const auto lista = Conexiones::leerLista(texto);
    const auto escrito = Conexiones::textoLista(lista);
    if (!escrito) __builtin_trap();
    const auto releida = Conexiones::leerLista(*escrito);
    if (releida.size() != lista.size()) __builtin_trap();
    // Text that was not UTF-8 is replaced on the first write; from then on
    // writing and reading change nothing.
    const auto reescrito = Conexiones::textoLista(releida);
    if (!reescrito || Conexiones::leerLista(*reescrito) != releida) __builtin_trap();
    for (auto c : releida) {
        (void)Conexiones::validar(c, std::nullopt);
        (void)Conexiones::delCatalogo(c.nombre);
    }
    return 0;
}
