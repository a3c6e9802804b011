#pragma once
// Answering one complete request of the local MCP endpoint: whether it may
// be served at all (path with token and optional route key, Host, Origin,
// method, body), then the JSON-RPC 2.0 answer to the one MCP message its
// body holds. Pure functions over bytes: the server calls the tool handler
// and the client-name handler when the decision asks for them.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

namespace sorvenia {

// The MCP revision answered when a client names none.
inline constexpr std::string_view versionMCP = "2025-06-18";

// The instructions answered in "initialize" until the hub sets its own.
inline constexpr std::string_view instruccionesIniciales =
    "Herramientas del tarvel de Sorvenia Code: lo que escribes aparece al momento en la pantalla del usuario.";

// The text of a tool call answered while no tool handler is installed.
inline constexpr std::string_view textoSinManejador = "El tarvel no está abierto.";

// Text items longer than this many letters are cut to `letrasConservadas`.
inline constexpr std::size_t limiteLetras = 44'000;
inline constexpr std::size_t letrasConservadas = 43'400;

// Bodies nested deeper than this are refused: nothing the tools take comes
// close, and the parser and whoever walks the arguments recurse.
inline constexpr std::size_t profundidadMaximaJSON = 256;

// A response of the endpoint; its content type is always application/json.
struct RespuestaEndpoint {
    std::string estado;  // status code and reason phrase, "200 OK"
    std::string cuerpo;  // empty or JSON
    bool operator==(const RespuestaEndpoint&) const = default;
};

// One "tools/call", as the tool handler receives it.
struct PeticionHerramienta {
    std::string nombre;                // empty when the call names none
    nlohmann::json argumentos;         // always an object
    std::optional<std::string> clave;  // the route key of the caller's design
};

// The tool handler: called once per "tools/call" on a worker thread; it
// must call `terminar` exactly once, from any thread and at any later time,
// with the result items (a JSON array of MCP content items; an item may
// carry "error": true, and the first item's flag decides "isError").
using AlTerminarHerramienta = std::function<void(nlohmann::json items)>;
using ManejadorHerramienta = std::function<void(PeticionHerramienta, AlTerminarHerramienta terminar)>;

// Told the client's name of an "initialize" that came without route key,
// on a worker thread, before the answer is written.
using ManejadorCliente = std::function<void(std::string nombre)>;

// Where a request path leads: nowhere, to the open design (no key), or to
// the design of an agent's route key.
struct RutaMCP {
    bool coincide = false;
    std::optional<std::string> clave;
    bool operator==(const RutaMCP&) const = default;
};

// "/mcp/<token>" matches without key; "/mcp/<token>/<key>" with a key of 8
// to 40 ASCII lower-case letters and digits matches with it; nothing else.
RutaMCP claveDeRuta(std::string_view ruta, std::string_view token);

// An "initialize" without route key: tell the client-name handler
// `cliente`, then send `respuesta`.
struct Inicializar {
    std::string cliente;
    RespuestaEndpoint respuesta;
};

// A "tools/call": run the handler, then answer with respuestaDeHerramienta.
struct LlamarHerramienta {
    std::string id;  // the request's id as JSON text, as it came
    PeticionHerramienta peticion;
};

using DecisionMCP = std::variant<RespuestaEndpoint, Inicializar, LlamarHerramienta>;

// What to do with a complete request.
DecisionMCP decidir(std::string_view cabecera, std::string_view cuerpo, std::string_view token,
                    std::string_view instrucciones);

// The answer to a "tools/call" with the id it came with, once the handler
// has given its items: "isError" from the first item's "error", that key
// removed from every item, long text items cut.
RespuestaEndpoint respuestaDeHerramienta(std::string_view id, nlohmann::json items);

// A text item whose text is longer than `limiteLetras` letters, cut and
// followed by a notice; any other item unchanged.
nlohmann::json acotar(nlohmann::json item);

// The items answered while no tool handler is installed.
nlohmann::json itemsSinManejador();

// One text item marked as an error, for a handler that failed with
// `texto` (a sentence for the agent; a general one when empty).
nlohmann::json itemsDeError(std::string_view texto);

// "200 OK" with the JSON-RPC answer of id `id` (JSON text) whose other
// members are those of `resto`, serialised compactly; with an empty body
// when it cannot be serialised (text that is not UTF-8 from a handler).
RespuestaEndpoint contestarJSON(std::string_view id, const nlohmann::ordered_json& resto);

}  // namespace sorvenia
