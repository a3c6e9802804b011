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

#include <optional>
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

// A value as compact JSON text for a page; untrusted bytes in its texts (file
// names, an agent's words) are repaired, never refused; nothing when the
// value cannot be written at all.
std::optional<std::string> jsonParaPagina(const nlohmann::json& valor);

// The script that calls `window.<objeto>.<funcion>(argumento)` when the page
// has that object (a page still loading has not), with the argument as JSON
// text (jsonParaPagina); nothing when the value cannot be written.
std::optional<std::string> llamadaPagina(std::string_view objeto, std::string_view funcion,
                                         const nlohmann::json& argumento);

}  // namespace sorvenia
