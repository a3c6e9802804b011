#pragma once
// The server-sent event streams of the two model APIs, as the stand-in
// model answers one turn: some text, a tool call, or both.

#include <optional>
#include <string>
#include <vector>

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
    // The text's pieces when it is streamed in several deltas (their join
    // is `texto`); empty: one delta.
    std::vector<std::string> trozos;
    std::optional<LlamadaModelo> llamada;  // none: the turn ends the run
    // A patch for codex's freeform "apply_patch" tool instead of a call.
    std::optional<std::string> parche;
    int esperaTrozoMs = 0;  // pause after each piece while streaming
};

// One SSE event per element, so that a server can pause between them.
std::vector<std::string> eventos(const std::string& flujo);

// Anthropic Messages API: message_start … message_stop.
std::string flujoMensajes(const TurnoModelo& turno, const std::string& idMensaje, const std::string& modelo);
// The same message as one JSON body, for a request without "stream".
nlohmann::json mensajeEntero(const TurnoModelo& turno, const std::string& idMensaje, const std::string& modelo);

// OpenAI Responses API: response.created … response.completed.
std::string flujoRespuestas(const TurnoModelo& turno, const std::string& idRespuesta);

// Gemini API (streamGenerateContent with alt=sse): one chunk per piece of
// text, the last with finishReason STOP.
std::string flujoGemini(const TurnoModelo& turno);
// A whole generateContent answer whose text is `texto`.
nlohmann::json respuestaGemini(const std::string& texto);

}  // namespace sorvenia::prueba
