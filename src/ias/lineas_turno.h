#pragma once
// Reading the event lines of a design turn: claude's stream of JSON events
// and codex's JSON events, as status lines and the partial page for the
// editor. Pure functions over the run's state, so every line a tool may
// print can be tried without running one.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::IAsLocales {

using Instante = std::chrono::steady_clock::time_point;

// What one line asks to show, in order.
struct AvisoTurno {
    enum class Tipo { progreso, parcial } tipo = Tipo::progreso;
    std::string texto;
};

// The live state of a claude turn.
struct EstadoDirecto {
    std::string texto;                      // the current message's text so far
    std::optional<std::string> resultado;   // the final "result"
    std::optional<Instante> ultimoEnvio;    // none: long ago
};

// The watch state of a codex turn.
struct Vigia {
    std::optional<std::string> mensaje;  // the last "agent_message" text
};

// The partial page is shown at most once per this many seconds (claude).
inline constexpr double segundosEntreParciales = 0.25;

// Reads one line of claude's stream; lines that are not JSON objects, or
// events of other kinds, change nothing. A text delta grows `texto` and,
// when more than 0.25 s have passed since the last one and the text holds a
// "<", shows it as the partial page followed by its size line.
std::vector<AvisoTurno> leerLineaClaude(std::string_view linea, EstadoDirecto& estado, Instante ahora);

// The status line of one of claude's tool calls.
std::string lineaHerramientaClaude(const std::string& nombre, const nlohmann::json& entrada);

// Reads one line of codex's events: a status line to show, or nothing.
std::optional<std::string> leerLineaCodex(std::string_view linea, Vigia& vigia);

// "Escribiendo la página… N mil caracteres" for a page of that text.
std::string lineaEscribiendo(std::string_view pagina);

// Counting and cutting text by characters (code points of UTF-8 text).
std::size_t contarCaracteres(std::string_view utf8);
std::string_view primerosCaracteres(std::string_view utf8, std::size_t cuantos);

}  // namespace sorvenia::IAsLocales
