#pragma once
// The script order: "orden.js" runs, as the body of an async function, in
// the page's own world of the web view its first line names, and the
// answer goes to "respuesta.json":
//   {"ok": true, "valor": v}            the script returned (or resolved to) v
//   {"ok": false, "error": mensaje}     it threw
//   {"ok": false, "error": "no hay web «x» visible", "visibles": [...]}

#include <webkit/webkit.h>

#include <nlohmann/json.hpp>

namespace sorvenia::CanalPruebas {

// Takes a waiting order, if any. Does not wait for the script: its answer
// is written when it completes.
void mirarOrden();

// What a script's result becomes in the answer: JSON values as they are,
// undefined as null, anything JSON cannot hold (a date, a function) as its
// text.
nlohmann::json valorDeResultado(JSCValue* valor);

}  // namespace sorvenia::CanalPruebas
