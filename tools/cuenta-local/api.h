#pragma once
// The account API endpoint: which action a request names, and its answer.

#include <string>

#include "estado.h"
#include "peticion.h"

namespace sorvenia::cuenta_local {

// The action's name, for the log and the switches: the "accion" item, or
// "cuenta" for the bare GET (refresh and VPS list) and "abrir" for the GET
// with only "id".
std::string nombreDeAccion(const Peticion& p);

// Checks the method and the key, then runs the action under the data lock.
Respuesta atenderAPI(Estado& estado, const Peticion& p, const std::string& nombre);

}  // namespace sorvenia::cuenta_local
