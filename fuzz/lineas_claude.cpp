// One output line of the claude agent between two known ones.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "linea_agente.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    using sorvenia::EventoAgente;
    sorvenia::fuzz::probarLinea(sorvenia::Agente::leerLineaClaude,
                                R"({"type":"result","session_id":"s","result":"ok"})",
                                {EventoAgente{EventoAgente::Sesion{"s"}}, EventoAgente{EventoAgente::Fin{"ok"}}},
                                std::string_view(reinterpret_cast<const char*>(datos), tamano));
    return 0;
}
