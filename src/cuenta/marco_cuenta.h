#pragma once
// The request frame every account API call goes through: one endpoint,
// "<servidor>/api/v1/tarvel", the action in the query, a bearer key, a JSON
// or raw body. This file builds the request; Cuenta sends it.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "cuenta/direccion_cuenta.h"
#include "plataforma/http.h"

namespace sorvenia {

inline constexpr const char* agenteCuenta = "SorveniaTarvel/1.0 (Mac)";

// Not an aggregate on purpose: GCC 12 destroys an aggregate temporary
// twice when it is an argument inside a co_await expression, and these
// travel into coroutines.
struct LlamadaCuenta {
    LlamadaCuenta() {}

    ConsultaCuenta consulta;  // empty: the bare endpoint, no "?"
    std::string metodo = "GET";
    double tiempoLimite = 30;  // seconds
    std::optional<nlohmann::json> json;  // POST: a JSON body
    std::optional<std::string> bytes;    // POST: a body already written, sent as it is
    std::string tipoBytes = "application/octet-stream";  // its "Content-Type"
    bool conClave = true;                // false only for the sign-in redeem
};

LlamadaCuenta llamadaGET(ConsultaCuenta consulta, double tiempoLimite);
LlamadaCuenta llamadaPOST(ConsultaCuenta consulta, double tiempoLimite, nlohmann::json cuerpo);

// The request as sent: the endpoint with the call's query, "User-Agent",
// "Authorization: Bearer <clave>" when a key is given, and for a POST the
// body with its "Content-Type" ("application/json" for `json`, `tipoBytes`
// for `bytes`). Throws ErrorCodificacion for a JSON body that
// JSON cannot carry (a number that is not finite, a text that is not UTF-8)
// and the "respuesta_rara" ErrorAPI when no address can be formed.
PeticionHTTP peticionDeCuenta(const std::string& servidor, const LlamadaCuenta& llamada,
                              const std::optional<std::string>& clave);

// Compact JSON text of a request body; throws ErrorCodificacion.
std::string cuerpoJSON(const nlohmann::json& cuerpo);

}  // namespace sorvenia
