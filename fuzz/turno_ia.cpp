// What a local AI tool prints in a design turn: the answer's cleaning
// (fragment, scripts and handlers removed) and the claude and codex event
// lines. The input's first byte picks what is tried.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ias/limpiar.h"
#include "ias/lineas_turno.h"

namespace {

using namespace sorvenia::IAsLocales;

void comprobarLimpiar(std::string_view texto) {
    const std::string html = limpiar(texto);
    if (!html.empty() && (html.front() != '<' || html.back() != '>')) __builtin_trap();
    if (html.size() > texto.size() || (!html.empty() && texto.find(html) == std::string_view::npos)) __builtin_trap();
    // Cleaning what is already clean changes nothing (a lone "<" grows into
    // "&lt;", so the size may grow once).
    const std::string limpio = sinGuiones(html);
    if (sinGuiones(limpio) != limpio) __builtin_trap();
}

void comprobarLineas(std::string_view texto) {
    EstadoDirecto estado;
    Vigia vigia;
    auto ahora = std::chrono::steady_clock::now();
    std::size_t inicio = 0;
    while (inicio <= texto.size()) {
        const auto fin = std::min(texto.find('\n', inicio), texto.size());
        const std::string_view linea = texto.substr(inicio, fin - inicio);
        const std::size_t antes = estado.texto.size();
        for (const auto& aviso : leerLineaClaude(linea, estado, ahora)) {
            // A partial page is the whole text so far, and holds a "<".
            if (aviso.tipo == AvisoTurno::Tipo::parcial &&
                (aviso.texto != estado.texto || aviso.texto.find('<') == std::string::npos))
                __builtin_trap();
        }
        if (estado.texto.size() < antes && !estado.texto.empty()) __builtin_trap();
        (void)leerLineaCodex(linea, vigia);
        ahora += std::chrono::milliseconds(100);
        inicio = fin + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    if (tamano == 0) return 0;
    const std::string_view texto(reinterpret_cast<const char*>(datos) + 1, tamano - 1);
    if (datos[0] % 2 == 0) comprobarLimpiar(texto);
    else comprobarLineas(texto);
    return 0;
}
