#pragma once
// One design turn: one run of a local AI tool in a prepared work folder
// that must end with one HTML fragment. claude streams its page, codex
// writes it into "pagina.html" (watched three times a second), gemini and
// any other tool answer in print mode on standard output.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "ias/ia.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia::IAsLocales {

// The turn's reports to the editor, always called on the main thread.
struct AvisosTurno {
    std::function<void(std::string)> progreso;  // a short status line
    std::function<void(std::string)> parcial;   // the page as written so far (already cleaned)
};

// Limits of one turn: seconds before the tool is stopped (print mode, and
// claude and codex), and how many bytes of page text it may write before it
// is stopped as a runaway (a page bigger than this is not a design the
// account could store anyway).
struct LimitesTurno {
    double impresion = 600.0;
    double directo = 900.0;
    std::size_t respuesta = 4 * 1024 * 1024;
};

// Runs the turn with the tool at `ruta`: `orden` is the order text, `dir`
// the work folder, `imagen` the screenshot of a review pass, `esfuerzo`
// "high" or "medium". The answer is the fragment cleaned by limpiarSeguro.
// Failures: the runner's launch failure, or codes "sin_sesion" (the tool is
// signed out) and "sin_html" (no usable answer) with a sentence for the user.
Tarea<Resultado<std::string>> turno(IA ia, std::string ruta, std::string orden, std::filesystem::path dir,
                                    std::optional<std::filesystem::path> imagen, std::string esfuerzo,
                                    AvisosTurno avisos);

namespace detalle {

// The limits every turn uses; tests shorten them.
LimitesTurno& limitesTurno();
// The last three non-empty lines of `texto`, joined by single blanks.
std::string detalleFinal(const std::string& texto);
// The codex delivery rule appended to its standard input.
extern const std::string reglaEntregaCodex;

}  // namespace detalle

}  // namespace sorvenia::IAsLocales
