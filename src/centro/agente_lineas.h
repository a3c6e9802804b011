#pragma once
// The two agents' output formats turned into EventoAgente values: claude's
// stream JSON and codex's JSON events, one JSON object per line.
//
// Agent output is untrusted bytes. Each line is read by itself (nothing is
// carried from one line to the next); a line that is not a JSON object, is
// nested deeper than lineaProfundidadMaxima, or is not recognised gives no
// event, and a missing or mistyped key skips only what depends on it.

#include <cstddef>
#include <string_view>

#include "centro/evento_agente.h"

namespace sorvenia::Agente {

// Deeper nesting than this is no agent event: refused before parsing, so a
// hostile line cannot exhaust the stack of whatever copies or prints it.
inline constexpr std::size_t lineaProfundidadMaxima = 256;

// One output line of `claude -p --output-format stream-json` (without its
// line end); calls `eventos` once per event, in the order the line holds them.
void leerLineaClaude(std::string_view linea, const EventosAgente& eventos);

// The same for one line of `codex exec --json`. Codex never reports the end
// of the turn: the runner delivers Fin itself once the process has ended.
void leerLineaCodex(std::string_view linea, const EventosAgente& eventos);

}  // namespace sorvenia::Agente
