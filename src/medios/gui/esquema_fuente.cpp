#include "medios/gui/esquema_fuente.h"

#include "medios/fuentes.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {

void servirFuentes(WebVista& vista) {
    vista.registrarEsquema("fuente", [](std::string_view uri) -> RespuestaEsquema {
        // Never cached: a font deleted or replaced in the library is seen on
        // the next load. Any origin may read it (pages load fonts with CORS).
        RecursoEsquema recurso;
        recurso.cabeceras = {{"Access-Control-Allow-Origin", "*"}, {"Cache-Control", "no-store"}};
        // The file is the URL's last path component; an invalid name, or
        // one that is not a plain file inside the library, is not found.
        auto bytes = Fuentes::servir(uri);
        if (!bytes) {
            recurso.status = 404;
            return recurso;
        }
        recurso.datos.assign(bytes->begin(), bytes->end());
        recurso.tipoMime = Fuentes::mime(Fuentes::nombreDeUrl(uri).value_or(""));
        return recurso;
    });
}

}  // namespace sorvenia
