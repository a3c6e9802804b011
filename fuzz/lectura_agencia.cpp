// The agency file's bytes, as another program or a newer build may have left
// them: the reader never throws, gives an entry only for a file it can read,
// and that entry always has object data and an object base when it has one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pantallas/lectura_agencia.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const std::string_view texto(reinterpret_cast<const char*>(datos), tamano);
    for (const std::string clave : {"ana@x.es", "sin-cuenta", ""}) {
        using sorvenia::LecturaAgencia::Estado;
        const auto estado = sorvenia::LecturaAgencia::estadoDe(texto, clave);
        const auto e = sorvenia::LecturaAgencia::entradaDe(texto, clave);
        if (!e.datos.is_object()) __builtin_trap();
        if (e.base && !e.base->is_object()) __builtin_trap();
        if (estado != Estado::valido && (!e.datos.empty() || e.base || e.version != 0 || e.pendiente)) __builtin_trap();
        // Reading is a function of the bytes.
        const auto otra = sorvenia::LecturaAgencia::entradaDe(texto, clave);
        if (otra.datos != e.datos || otra.base != e.base || otra.version != e.version || otra.pendiente != e.pendiente)
            __builtin_trap();
    }
    return 0;
}
