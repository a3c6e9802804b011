#pragma once
// A scripted stand-in of the model APIs the command-line tools call, on
// 127.0.0.1: the Anthropic Messages API (claude, at ANTHROPIC_BASE_URL), the
// OpenAI Responses API (codex, at a model provider's base_url) and the
// Gemini API (gemini, at GOOGLE_GEMINI_BASE_URL; text steps only).
// Each conversation request is answered with the next step of a script, as
// a server-sent event stream: a tool call or a final text. Every request is
// recorded, so a test can check that the tool results really came back.
//
// The script, a JSON object:
//   {"pasos": [
//      {"herramienta": "ver_tarvel", "argumentos": {}},
//      {"texto": "Voy a crear la sección.", "herramienta": "crear_mesa", "argumentos": {"nombre": "Inicio"}},
//      {"texto": "Listo.", "esperaMs": 200}
//   ]}
// A step's tool is named as its MCP server names it; the stand-in finds the
// name the agent offers it under ("mcp__<server>__<tool>" for claude, the
// "mcp__<server>" namespace for codex). "esperaMs" delays the answer. After
// the last step every request is answered "Fin del guion.".
//
// A step may stream its text in pieces, "trozos": ["<div>", "…", "</div>"]
// with "esperaTrozoMs" between them (the client sees its text grow), and may
// give codex a patch for its "apply_patch" tool instead of a call:
// {"parche": "*** Begin Patch\n*** Add File: pagina.html\n+<div>\n*** End Patch"}.
//
// With "caducada": true beside "pasos", the account's session has expired:
// every OpenAI Responses request is refused (401, "token_expired"), and so
// is every refresh at "/oauth/token" (always: no test session refreshes).

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

namespace httplib {
class Server;
}

namespace sorvenia::prueba {

struct PeticionModelo {
    std::string metodo;
    std::string ruta;  // with its query ("/v1/messages?beta=true")
    std::map<std::string, std::string> cabeceras;
    std::string cuerpo;
    std::chrono::steady_clock::time_point llegada;
};

// A tool result the agent sent back in a later request.
struct ResultadoModelo {
    std::string id;           // the call's id, as the stand-in issued it
    std::string herramienta;  // the script's name of the tool called
    std::string texto;        // the result's text (its items joined)
    bool error = false;
};

class ModeloFalso {
public:
    // Listens on a free port of 127.0.0.1 (or `puerto`). Throws
    // std::runtime_error when the script is malformed or nothing listens.
    explicit ModeloFalso(nlohmann::json guion, std::optional<std::uint16_t> puerto = std::nullopt);
    static ModeloFalso desdeArchivo(const std::filesystem::path& guion);
    ~ModeloFalso();
    ModeloFalso(const ModeloFalso&) = delete;
    ModeloFalso& operator=(const ModeloFalso&) = delete;

    std::uint16_t puerto() const { return puerto_; }
    // "http://127.0.0.1:<port>": claude's ANTHROPIC_BASE_URL; codex's
    // base_url is this followed by "/v1".
    std::string url() const;

    std::vector<PeticionModelo> peticiones() const;
    // The results of the calls the stand-in issued, in the order they came
    // back, each once (later requests repeat the whole conversation).
    std::vector<ResultadoModelo> resultados() const;
    // How many steps of the script have been answered.
    std::size_t pasosDados() const;

    // Each request is also appended to this file, one JSON object per line.
    void registrarEn(const std::filesystem::path& archivo);

private:
    struct Estado;
    std::shared_ptr<Estado> estado_;
    std::unique_ptr<httplib::Server> servidor_;
    std::uint16_t puerto_ = 0;
    std::thread hilo_;
};

}  // namespace sorvenia::prueba
