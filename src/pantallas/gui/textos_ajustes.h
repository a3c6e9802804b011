#pragma once
// The fixed texts of the settings page: what each service's key is for, what
// the user does after the bridge is registered in a client, the clients'
// logos and the example prompts.

#include <string>

#include <nlohmann/json.hpp>

#include "integraciones/agentes.h"
#include "integraciones/servicio_clave.h"

namespace sorvenia::TextosAjustes {

std::string paraServicio(ServicioClave s);
std::string despues(Agentes a);
std::string logoAgente(Agentes a);
nlohmann::json prompts();

}  // namespace sorvenia::TextosAjustes
