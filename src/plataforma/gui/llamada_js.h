#pragma once
// Calling an async JavaScript function body from native code with JSON
// arguments and getting JSON back.
//
// WebKit passes arguments as GVariants (numbers, strings, dictionaries
// only) and hands results back as JavaScript values. To carry any JSON
// exactly (null, arrays, large texts) both ways travel as JSON text: the
// arguments as one string the wrapper parses, the result stringified by the
// wrapper and parsed here.

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

#include "plataforma/resultado.h"

namespace sorvenia {

// The name of the single argument WebKit receives (the JSON text).
inline constexpr const char* argumentoLlamada = "sorveniaArgumentos";

// The body to give WebKit: runs `cuerpo` as an async function whose
// parameters are the keys of `argumentos` (an object, or null for none)
// and returns the JSON text of its result. Fails when a key is not a plain
// JavaScript identifier.
Resultado<std::string> envolverLlamada(std::string_view cuerpo, const nlohmann::json& argumentos);

// The argument text that goes with the wrapped body.
std::string textoArgumentos(const nlohmann::json& argumentos);

// Reads the wrapper's answer: the JSON text it returned, or nothing (a
// result JSON cannot hold, such as undefined) which reads as null.
Resultado<nlohmann::json> leerResultadoLlamada(const char* textoJson);

}  // namespace sorvenia
