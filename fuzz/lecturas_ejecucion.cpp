// What the local run of an app project reads from outside: "package.json",
// a line of the process table, and a server's output cut into chunks. Any
// bytes must give valid UTF-8 back from the decoder (the same text whatever
// the cut, for valid input), a log of non-empty lines within its bound, and
// no crash in the package and process-table readings.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "aplicaciones/arbol_procesos.h"
#include "aplicaciones/lecturas_ejecucion.h"
#include "aplicaciones/registro_ejecucion.h"
#include "comun/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    using namespace sorvenia;
    const std::string_view texto(reinterpret_cast<const char*>(datos), largo);

    (void)LecturasEjecucion::hayDependencias(texto);
    (void)LecturasEjecucion::hayPruebas(texto);
    if (const auto padre = ArbolProcesos::padreEnStat(texto); padre && texto.find(')') == std::string_view::npos)
        __builtin_trap();

    // Cut at a point the input chooses.
    const std::size_t corte = largo == 0 ? 0 : datos[0] % (largo + 1);
    DecodificadorUtf8 d;
    std::string junto = d.anadir(texto.substr(0, corte));
    junto += d.anadir(texto.substr(corte));
    junto += d.terminar();
    if (repararUtf8(junto) != junto) __builtin_trap();
    if (repararUtf8(texto) == texto && junto != texto) __builtin_trap();

    RegistroEjecucion r;
    r.anotar(junto);
    r.anotar(junto);
    if (r.tamano() > RegistroEjecucion::maximoLineas) __builtin_trap();
    const std::string ultimas = r.ultimas(60);
    if (ultimas.find("\n\n") != std::string::npos || (!ultimas.empty() && ultimas.back() == '\n')) __builtin_trap();
    return 0;
}
