#pragma once
// Awaiting JavaScript in a web view from a coroutine.

#include <webkit/webkit.h>

#include <nlohmann/json.hpp>

#include <string>

#include "plataforma/objeto_g.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

// Runs `cuerpo` as an async function with the keys of `argumentos` as its
// parameters, in the script world `mundo` (empty: the page's own world),
// and gives the JSON of its result; see llamada_js.h. Holds the view alive
// until WebKit answers.
Tarea<Resultado<nlohmann::json>> llamarFuncion(Ref<WebKitWebView> vista, std::string mundo, std::string cuerpo,
                                               nlohmann::json argumentos);

}  // namespace sorvenia
