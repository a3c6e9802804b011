#pragma once
// A one-shot AI design: the customer's local tool is asked for one piece of
// HTML (a whole web page, a piece that fills a fixed-size mesa, or a change
// to the current page) in a work folder of its own, optionally followed by
// a review pass in which it sees a screenshot of its first answer.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ias/ia.h"
#include "ias/turno.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia::IAsLocales {

// Renders a page and gives its PNG bytes, or nothing (main thread).
using Capturar = std::function<Tarea<std::optional<std::vector<std::uint8_t>>>(std::string html)>;

struct PedidoDiseno {
    std::string peticion;               // the customer's request, unchanged
    std::optional<std::string> html;    // the current page
    int ancho = 1440;
    int alto = 900;
    bool web = false;                   // the height follows the content
    bool cambio = false;                // a change to the current page
    std::vector<std::pair<std::string, std::string>> recursos;  // (name, data URL)
};

// Runs the turn (and the review pass when `capturar` is given) and returns
// the cleaned HTML answer. Fails with "sin_ruta" when the tool has no
// executable, with the work folder's or the turn's failure otherwise. The
// work folder and all it holds are gone when this returns, however it ends
// (also when the calling task is cancelled).
Tarea<Resultado<std::string>> disenar(IA con, PedidoDiseno pedido, AvisosTurno avisos,
                                      std::optional<Capturar> capturar);

namespace detalle {

// The order text of the first turn.
std::string ordenDeDiseno(const PedidoDiseno& pedido);
// The order text of the review pass.
std::string ordenDeRevision(const PedidoDiseno& pedido, const std::string& primera);
// Writes each resource that decodes as "recurso-<name>.<ext>" into `carpeta`.
void escribirRecursos(const std::filesystem::path& carpeta,
                      const std::vector<std::pair<std::string, std::string>>& recursos);

}  // namespace detalle

}  // namespace sorvenia::IAsLocales
