#pragma once
// Custom URI schemes served by native code. WebKit registers a scheme on a
// whole web context, while each of our views answers its own requests: the
// context gets one dispatcher per scheme name, and the dispatcher asks the
// view that made the request for the handler it gave.

#include <webkit/webkit.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sorvenia {

struct RecursoEsquema {
    std::vector<std::uint8_t> datos;
    std::string tipoMime;  // e.g. "image/png"; none when empty
    // An HTTP answer: its status and headers ("Content-Length" is the data's).
    int status = 200;
    std::vector<std::pair<std::string, std::string>> cabeceras = {};
};

// No value: the resource does not exist (the page gets an HTTP 404 with
// an empty body; a handler that must add headers to its 404 returns a
// resource with that status).
using RespuestaEsquema = std::optional<RecursoEsquema>;

// Receives the whole requested URI ("escena://3/fondo.png"). Runs on the
// main thread; an exception fails that request.
using ManejadorEsquema = std::function<RespuestaEsquema(std::string_view uri)>;

// Serves `esquema` to `vista` through `manejador` (replacing an earlier
// one of that view for the same scheme). `contexto` must be the view's web
// context.
void servirEsquema(WebKitWebContext* contexto, WebKitWebView* vista, const std::string& esquema,
                   ManejadorEsquema manejador);

// Drops every handler `vista` was given; its later requests are answered
// "not found".
void olvidarEsquemas(WebKitWebView* vista);

}  // namespace sorvenia
