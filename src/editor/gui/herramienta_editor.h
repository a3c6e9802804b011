#pragma once
// One MCP tool call carried out on an open design: the screenshot is drawn
// natively, image generation is native, and every other tool runs in the
// editor page's script. The result is always one MCP content item.

#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Renderizador;

// What a tool call needs of its editor, as functions that hold it weakly:
// the editor may close while a call waits.
struct PuertaEditor {
    // Fire-and-forget call of a page function; none when there is no page.
    std::function<void(const std::string& funcion, const nlohmann::json& argumento)> js;
    // Awaits an async function body in the page's own world; empty when the
    // editor has no page.
    std::function<Tarea<Resultado<nlohmann::json>>(std::string cuerpo, nlohmann::json argumentos)> llamar;
    // The design's id in the account, for the scenes a screenshot may show.
    std::optional<std::string> id;
    // The account's photo service for the placeholders nothing else filled;
    // empty: they stay as written.
    std::function<Tarea<std::string>(std::string)> fotos;
    // Stores a generated image ("data:" URL) in the design and gives the
    // reference the agent writes instead ("recurso:generada-…"); empty when
    // the editor is gone.
    std::function<std::string(const std::string& src)> recurso;
};

// Never throws: every failure is one text item with "error" true.
Tarea<nlohmann::json> herramientaEnEditor(PuertaEditor puerta, Renderizador& renderizador, std::string nombre,
                                          nlohmann::json argumentos, std::optional<std::string> externo);

}  // namespace sorvenia
