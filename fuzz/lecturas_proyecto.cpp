// What others write into an app project: its state file and the agents'
// plan documents. Any bytes must give a JSON object whose written form reads back the same,
// task counts with no more done than all and no more tasks than lines, and
// a cut that is a prefix no longer than asked for in characters.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "aplicaciones/lecturas_proyecto.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    using namespace sorvenia;
    const std::string_view texto(reinterpret_cast<const char*>(datos), largo);

    const auto estado = LecturasProyecto::estado(texto);
    if (!estado.is_object()) __builtin_trap();
    // Written once, the file reads back as what was written.
    const auto escrito = LecturasProyecto::textoEstado(estado);
    if (LecturasProyecto::textoEstado(LecturasProyecto::estado(escrito)) != escrito) __builtin_trap();

    const auto tareas = LecturasProyecto::contarTareas(texto);
    std::size_t lineas = 1;
    for (char c : texto) lineas += c == '\n';
    if (tareas.hechas < 0 || tareas.hechas > tareas.total || static_cast<std::size_t>(tareas.total) > lineas)
        __builtin_trap();

    const std::size_t maximo = largo % 17;
    const auto corte = LecturasProyecto::cortar(texto, maximo);
    if (!texto.starts_with(corte)) __builtin_trap();
    if (maximo > 0 && !texto.empty() && corte.empty()) __builtin_trap();
    if (LecturasProyecto::esUtf8(texto) && !LecturasProyecto::esUtf8(corte)) __builtin_trap();
    return 0;
}
