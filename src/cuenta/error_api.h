#pragma once
// The errors of the account client: ErrorAPI (a code word, a finished Spanish
// sentence and the HTTP status it came with), the transport failure passed
// on unchanged, and the mapping of an error answer to an ErrorAPI.

#include <exception>
#include <string>
#include <string_view>

#include "plataforma/resultado.h"

namespace sorvenia {

struct ErrorAPI : std::exception {
    ErrorAPI(std::string c, std::string m, int s) : codigo(std::move(c)), mensaje(std::move(m)), status(s) {}

    std::string codigo;   // the service's own code, or one of the client's
    std::string mensaje;  // shown to the user unchanged
    int status;           // 0 when no request was made

    // The user-facing description.
    const char* what() const noexcept override { return mensaje.c_str(); }

    // No account key stored: nothing was sent.
    static ErrorAPI sinClave() { return {"clave_invalida", "No hay cuenta conectada.", 0}; }
    // A success status whose body is not the expected answer.
    static ErrorAPI respuestaRara() { return {"respuesta_rara", "El servidor ha devuelto algo que no se entiende.", 502}; }
};

// No answer arrived (no network, time-out, TLS, cancelled): the platform's
// failure, with its Spanish sentence, passed on as it is.
struct ErrorTransporte : std::exception {
    explicit ErrorTransporte(Fallo f) : fallo(std::move(f)) {}
    Fallo fallo;
    const char* what() const noexcept override { return fallo.mensaje.c_str(); }
};

// A request body that JSON cannot carry (a number that is not finite, a text
// that is not UTF-8): nothing is sent.
struct ErrorCodificacion : std::exception {
    const char* what() const noexcept override {
        return "No se han podido escribir los datos porque no tienen el formato correcto.";
    }
};

// The ErrorAPI of an answer with status 300 or more: the service's own code
// and message when the body is {"error": {"code": text, "message": text}};
// otherwise one made from the status. Never fails.
ErrorAPI errorDe(std::string_view cuerpo, int status);

// Whether trying the failed action again later may succeed: an ErrorAPI of
// status 429 or 500 and above, or any transport failure.
bool reintentable(const std::exception& error) noexcept;
bool reintentable(const std::exception_ptr& error) noexcept;

}  // namespace sorvenia
