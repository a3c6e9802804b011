#pragma once
// The design guides the hub serves to agents ("guia"): the agent-mode text,
// the house brief, and the skills shipped under "skills/<topic>/SKILL.md"
// among the resources.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sorvenia {

// The guide for `tema` with the resources at `recursos`. A topic names a
// skill only when, trimmed and lowercased, it is made of lowercase letters,
// digits and hyphens: nothing else can reach a file outside "skills".
std::string textoGuia(std::string_view tema, const std::optional<std::filesystem::path>& recursos);

}  // namespace sorvenia
