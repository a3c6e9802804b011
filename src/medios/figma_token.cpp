#include "medios/figma_token.h"

#include <algorithm>

#include "cuenta/llavero.h"

namespace sorvenia::Figma {

std::string cuentaToken(const std::vector<ConexionGuardada>& conexiones) {
    auto c = std::ranges::find(conexiones, std::string("figma"), &ConexionGuardada::id);
    if (c == conexiones.end()) c = std::ranges::find(conexiones, std::string("figma"), &ConexionGuardada::nombre);
    return "conexion:" + (c != conexiones.end() ? c->id : std::string("figma"));
}

std::optional<std::string> token(const std::vector<ConexionGuardada>& conexiones) {
    auto t = Llavero::leer(cuentaToken(conexiones));
    if (!t || t->empty()) return std::nullopt;
    return t;
}

}  // namespace sorvenia::Figma
