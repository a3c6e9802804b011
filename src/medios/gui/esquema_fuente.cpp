#include "medios/gui/esquema_fuente.h"

#include "medios/fuentes.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {

void servirFuentes(WebVista& vista) {
    vista.registrarEsquema("fuente", [](std::string_view uri) -> RespuestaEsquema {
        // The file is the URL's last path component; an unknown or invalid
        // name is not found.
        auto bytes = Fuentes::servir(uri);
        if (!bytes) return std::nullopt;
        return RecursoEsquema{std::vector<std::uint8_t>(bytes->begin(), bytes->end()), Fuentes::mime(uri)};
    });
}

}  // namespace sorvenia
