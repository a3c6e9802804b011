#pragma once
// The MCP tools through which agents work on the design canvas, in their
// fixed order. The names of tools and arguments are the contract with the
// hub and the editor page.

#include <nlohmann/json.hpp>

namespace sorvenia::HerramientasTarvel {

// The 24 tools: each {"name", "description", "inputSchema"}. Built once,
// immutable afterwards; safe from any thread.
const nlohmann::ordered_json& lista();

}  // namespace sorvenia::HerramientasTarvel
