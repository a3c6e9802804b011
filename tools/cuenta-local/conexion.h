#pragma once
// The browser sign-in on the account site: the page the application's link
// opens ("/conectar-app/"), where a local customer agrees or refuses, and
// the redirect back to the application's "sorvenia-tarvel" scheme.

#include "estado.h"
#include "peticion.h"

namespace sorvenia::cuenta_local {

Respuesta paginaConectar(Estado& estado, const Peticion& p);
Respuesta decidirConexion(Estado& estado, const Peticion& p);

}  // namespace sorvenia::cuenta_local
