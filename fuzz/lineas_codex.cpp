// One output line of the codex agent between two known ones.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "linea_agente.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    using sorvenia::EventoAgente;
    sorvenia::fuzz::probarLinea(sorvenia::Agente::leerLineaCodex,
                                R"({"type":"item.completed","item":{"id":"i","type":"agent_message","text":"ok"}})",
                                {EventoAgente{EventoAgente::Texto{"ok\n"}}},
                                std::string_view(reinterpret_cast<const char*>(datos), tamano));
    return 0;
}
