#pragma once
// The AI clients outside the application in which its stdio bridge can be
// registered, in the order of every list built from them.

#include <array>
#include <optional>
#include <string_view>

namespace sorvenia {

enum class Agentes { claudeApp, claudeCode, codex, cursor, vscode, opencode, otros };

inline constexpr std::array<Agentes, 7> todosLosAgentes = {Agentes::claudeApp, Agentes::claudeCode, Agentes::codex,
                                                           Agentes::cursor,    Agentes::vscode,     Agentes::opencode,
                                                           Agentes::otros};

// The raw value ("claudeApp", ..., "otros").
std::string_view texto(Agentes agente);

// The case whose raw value is `texto`; nothing for any other text.
std::optional<Agentes> agenteDesde(std::string_view texto);

// The name shown to the user ("Claude (app)", ..., "Otros agentes").
std::string_view nombreVisible(Agentes agente);

}  // namespace sorvenia
