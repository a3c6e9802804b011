#pragma once
// The MCP tools through which agents work on the design canvas, in their
// fixed order. The names of tools and arguments are the contract with the
// hub and the editor page.

#include <nlohmann/json.hpp>

#include <string_view>

namespace sorvenia::HerramientasTarvel {

// The 24 tools: each {"name", "description", "inputSchema"}. Built once,
// immutable afterwards; safe from any thread.
const nlohmann::ordered_json& lista();

// Who answers a call of each tool: the hub itself ("guia", "disenos",
// "buscar_fotos", "proponer_conexion"), the open editor's native side
// ("generar_imagen"), or the editor page, whose tool table runs every
// other tool of lista(). The dispatcher's tests and the page's tests hold
// both sides to this split.
enum class Responde { centro, editor, pagina };
Responde quienResponde(std::string_view nombre);

}  // namespace sorvenia::HerramientasTarvel
