#pragma once
// The server-sent event streams of the two model APIs, as the stand-in
// model answers one turn: some text, a tool call, or both.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace sorvenia::prueba {

struct LlamadaModelo {
    std::string id;
    std::string nombre;    // the tool's name as the agent offered it
    std::string espacio;   // the Responses API namespace holding it, or ""
    nlohmann::json argumentos = nlohmann::json::object();
    // A call of the Responses API's client-side tool search, which loads
    // deferred tools, rather than of a function.
    bool busqueda = false;
};

struct TurnoModelo {
    std::string texto;                     // may be empty
    std::optional<LlamadaModelo> llamada;  // none: the turn ends the run
};

// Anthropic Messages API: message_start … message_stop.
std::string flujoMensajes(const TurnoModelo& turno, const std::string& idMensaje, const std::string& modelo);
// The same message as one JSON body, for a request without "stream".
nlohmann::json mensajeEntero(const TurnoModelo& turno, const std::string& idMensaje, const std::string& modelo);

// OpenAI Responses API: response.created … response.completed.
std::string flujoRespuestas(const TurnoModelo& turno, const std::string& idRespuesta);

}  // namespace sorvenia::prueba
