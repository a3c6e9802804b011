#pragma once
// The answers of the account API endpoint "/api/v1/tarvel", one handler per
// action. Each runs with Estado::datos held; `cliente` is the customer of the
// bearer key (without its keys).

#include <nlohmann/json.hpp>

#include "estado.h"
#include "peticion.h"

namespace sorvenia::cuenta_local {

using Accion = Respuesta (*)(Estado&, const Peticion&, const nlohmann::json& cliente);

// The bare GET: the customer, the designs (newest first) and the VPS list,
// which the refresh and the VPS list read alike.
Respuesta cuentaEntera(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta agenciaLeer(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta agenciaGuardar(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta dominios(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta tienda(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta sesion(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta desconectar(Estado&, const Peticion&, const nlohmann::json& cliente);

Respuesta abrir(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta guardar(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta borrar(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta fotos(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta previa(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta recursos(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta recurso(Estado&, const Peticion&, const nlohmann::json& cliente);
Respuesta hosting(Estado&, const Peticion&, const nlohmann::json& cliente);

// The sign-in redeem: no key, the code and verifier in the body.
Respuesta canjear(Estado&, const Peticion&);

// Shared by the handlers.
Respuesta cuerpoNoValido();
Respuesta disenoNoExiste();
// The body as a JSON object, or nothing.
std::optional<nlohmann::json> objetoDelCuerpo(const Peticion& p);
// The "archivos" member: an object of safe relative paths to texts.
std::optional<std::map<std::string, std::string>> archivosDe(const nlohmann::json& cuerpo);
std::int64_t idDe(const nlohmann::json& cliente);
// A stored design as the account lists it (no document).
nlohmann::json resumenDeDiseno(const nlohmann::json& diseno);

}  // namespace sorvenia::cuenta_local
