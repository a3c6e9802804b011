// A child's standard output through the line splitter, cut into reads at
// places the input chooses (its first byte seeds the cuts). The lines must
// be what splitting the whole output at line feeds gives, whatever the cuts,
// each one non-empty, without a line feed and valid UTF-8.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "comun/utf8.h"
#include "ias/divisor_lineas.h"

namespace {

std::vector<std::string> esperadas(std::string_view todo) {
    std::vector<std::string> lineas;
    std::size_t inicio = 0;
    while (inicio < todo.size()) {
        const auto salto = todo.find('\n', inicio);
        const auto fin = salto == std::string_view::npos ? todo.size() : salto;
        if (fin > inicio) lineas.push_back(sorvenia::repararUtf8(todo.substr(inicio, fin - inicio)));
        inicio = fin + 1;
    }
    return lineas;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    if (tamano == 0) return 0;
    std::string_view todo(reinterpret_cast<const char*>(datos) + 1, tamano - 1);
    std::uint32_t semilla = datos[0];

    sorvenia::DivisorLineas divisor;
    std::vector<std::string> lineas;
    while (!todo.empty()) {
        semilla = semilla * 1103515245u + 12345u;
        const std::size_t lectura = 1 + (semilla >> 16) % 9;
        divisor.anadir(todo.substr(0, lectura), lineas);
        todo.remove_prefix(std::min(lectura, todo.size()));
    }
    if (auto ultima = divisor.terminar()) lineas.push_back(*ultima);

    const std::string_view entero(reinterpret_cast<const char*>(datos) + 1, tamano - 1);
    if (lineas != esperadas(entero)) __builtin_trap();
    for (const auto& l : lineas)
        if (l.empty() || l.find('\n') != std::string::npos || sorvenia::repararUtf8(l) != l) __builtin_trap();
    return 0;
}
