// One line of a client's standard input through the bridge's handling, with
// the first byte choosing how the application's server answers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "tarvel_mcp/puente.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    using namespace sorvenia::puente;
    if (tamano == 0) return 0;
    const std::string_view linea(reinterpret_cast<const char*>(datos) + 1, tamano - 1);
    const long codigos[] = {0, 200, 202, 404, 413};
    const long codigo = codigos[datos[0] % 5];
    const Reenviador reenviador = [&](std::string_view mensaje) {
        if (codigo == 0) return Reenvio{};
        return resultadoHTTP(codigo, std::string(mensaje));
    };
    const auto salida = atender(linea, reenviador);
    // Whatever is written is one line of JSON, relayed or the bridge's own.
    if (salida) {
        if (salida->empty() || salida->find('\n') != salida->size() - 1) __builtin_trap();
        if (!nlohmann::json::accept(*salida)) __builtin_trap();
    }
    return 0;
}
