#pragma once
// The account site's pages around the API: the home page, the panel (reached
// through the signed-in links of the "sesion" action), the previews, the
// sites published to hosting services and the stand-in photos.

#include "estado.h"
#include "peticion.h"

namespace sorvenia::cuenta_local {

// Any GET outside the API and the sign-in page; 404 when nothing is there.
Respuesta pagina(Estado& estado, const Peticion& p);

}  // namespace sorvenia::cuenta_local
