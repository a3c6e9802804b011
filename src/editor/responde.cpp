// Whether an address answers: the last check of a publication.
#include "centro/editor_modelo.h"
#include "plataforma/http.h"

namespace sorvenia {

Tarea<bool> EditorModelo::responde(std::string url) {
    PeticionHTTP peticion;
    peticion.url = std::move(url);
    // A site with a certificate sends its http address on to https.
    peticion.seguirRedirecciones = true;
    peticion.tiempoLimite = 15;
    peticion.limiteBytes = 1024u * 1024u;
    peticion.cortarAlLimite = true;
    const auto respuesta = co_await pedirAsync(std::move(peticion));
    co_return respuesta && respuesta->status >= 200 && respuesta->status < 300;
}

}  // namespace sorvenia
