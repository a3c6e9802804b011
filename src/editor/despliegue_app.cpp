#include "editor/despliegue_app.h"

#include "editor/publicacion_vps.h"

namespace sorvenia::DespliegueApp {

std::optional<std::string> dominio(std::string_view escrito, std::string_view ip) {
    std::string limpio = PublicacionVPS::limpiarDominio(escrito);
    if (limpio.empty()) {
        for (const char c : ip) limpio += (c == '.' || c == ':') ? '-' : c;
        limpio = PublicacionVPS::limpiarDominio(limpio + std::string(sufijoIP));
    }
    if (!PublicacionVPS::dominioValido(limpio)) return std::nullopt;
    return limpio;
}

}  // namespace sorvenia::DespliegueApp
