// What a deployment reads from outside: the deploy script's output over ssh
// and the messages of a failed ssh command. An answer, when found, is a JSON
// object from a line that starts with the prefix; the sentence for a failure
// is never empty and carries at most 200 characters of the output.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "aplicaciones/lecturas_despliegue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    using namespace sorvenia;
    const std::string_view texto(reinterpret_cast<const char*>(datos), largo);

    if (const auto r = LecturasDespliegue::resultado(texto)) {
        if (!r->is_object()) __builtin_trap();
        if (texto.find(LecturasDespliegue::prefijoResultado) == std::string_view::npos) __builtin_trap();
    }
    const std::string motivo = LecturasDespliegue::motivoSSH(texto);
    if (motivo.empty()) __builtin_trap();
    // "No se ha podido hablar con el VPS: " plus at most 200 characters of
    // up to 4 bytes each.
    if (motivo.size() > 40 + 200 * 4) __builtin_trap();
    const std::string cola = LecturasDespliegue::ultimosCaracteres(texto, 7);
    if (cola.size() > texto.size() || !texto.ends_with(cola)) __builtin_trap();
    return 0;
}
