#include "integraciones/juicio_clave.h"

#include <string>

#include "integraciones/texto_integraciones.h"

namespace sorvenia::Servicios {

std::optional<bool> juzgar(ServicioClave s, long status, std::string_view cuerpo) {
    if (status >= 200 && status <= 299) return true;
    const std::string extracto = TextoIntegraciones::extractoUtf8(cuerpo, 600);
    using TextoIntegraciones::contieneSinMayusculas;
    // A key without the permission for this one endpoint may still be
    // good for what the agents do with it.
    if (contieneSinMayusculas(extracto, "permission") && !contieneSinMayusculas(extracto, "invalid"))
        return std::nullopt;
    if (status == 401 || status == 403) return false;
    if (s == ServicioClave::gemini && status == 400) {
        if (extracto.find("API_KEY_INVALID") != std::string::npos) return false;
        if (contieneSinMayusculas(extracto, "not valid")) return false;
    }
    return std::nullopt;
}

}  // namespace sorvenia::Servicios
