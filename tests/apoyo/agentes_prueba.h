#pragma once
// What the tests of the real claude and codex share: the codex configuration
// that points it at the stand-in model API, and a short form of the chat an
// agent run produced.

#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::prueba {

// The text of ~/.codex/config.toml for a codex that talks to the stand-in
// at `url` and reaches nothing beyond this machine (no update check, no
// plugin or app services, no analytics).
std::string configuracionCodex(const std::string& url);

// The chat's messages in short: "tipo", or "paso <tool>", or "pasoHecho con
// error". The session ids go to `sesiones`; the agents' own searches for
// deferred tools (and their ends) are left out.
std::vector<std::string> resumenDelChat(const std::vector<nlohmann::json>& chat, std::set<std::string>& sesiones);

}  // namespace sorvenia::prueba
