#pragma once
// The application's one way to make an HTTP request and read the answer.
//
// A status of 300 or more is an answer like any other: the caller reads
// `status`. Only what keeps an answer from arriving (no connection, time-out,
// cancellation, a broken TLS handshake, an oversized answer) is a Fallo, with
// one of the codes "conexion", "tiempo", "cancelada", "tls", "grande",
// "url", "peticion" or "red".

#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plataforma/cabeceras_http.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

struct PeticionHTTP {
    std::string metodo = "GET";
    std::string url;  // http or https only
    std::vector<std::pair<std::string, std::string>> cabeceras;
    std::string cuerpo;
    // Seconds the transfer may go without progress (connecting, sending or
    // receiving) before it fails with "tiempo": the whole transfer may take
    // longer while bytes keep moving. Zero, negative or NaN mean 60.
    double tiempoLimite = 60;
    // Seconds the whole transfer may take, however steadily bytes keep
    // coming, before it fails with "tiempo": a server that drips its answer
    // must not hold a request for ever. Zero, negative or NaN mean ten times
    // the idle limit.
    double tiempoTotal = 0;
    bool seguirRedirecciones = false;
    // The largest body accepted; more fails with "grande".
    std::size_t limiteBytes = 64u * 1024u * 1024u;
    // Instead of failing, keep the first limiteBytes of a longer body and
    // end the transfer there (the answer then carries `cortada`).
    bool cortarAlLimite = false;
};

struct RespuestaHTTP {
    long status = 0;
    // The final answer's headers, in the order received (after redirects
    // and interim answers, only the last answer's).
    std::vector<std::pair<std::string, std::string>> cabeceras;
    std::string cuerpo;  // decoded when the server compressed it
    bool cortada = false;  // the body was cut at the request's limiteBytes

    // Case-insensitive; a header sent several times gives its values joined
    // with ", ".
    std::optional<std::string> cabecera(std::string_view nombre) const { return buscarCabecera(cabeceras, nombre); }
};

// Blocks until the answer is complete: for worker threads only, never the
// main thread (its window would freeze). A stop request on `parar` aborts
// the transfer at once with the "cancelada" failure.
Resultado<RespuestaHTTP> pedir(const PeticionHTTP& peticion, std::stop_token parar = {});

// The same on the worker pool, resuming on the main thread. Cancelling the
// task aborts the transfer; the result is then the "cancelada" failure.
Tarea<Resultado<RespuestaHTTP>> pedirAsync(PeticionHTTP peticion);

}  // namespace sorvenia
