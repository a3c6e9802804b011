// The request framing fed in receives of varying sizes: it must agree with
// itself read at once and with the framing rule on the whole bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "centro/marco_http.h"

using namespace sorvenia;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    if (tamano == 0) return 0;
    const std::size_t paso = datos[0] % 16 + 1;  // receive size
    const std::string_view bytes(reinterpret_cast<const char*>(datos) + 1, tamano - 1);

    const EstadoLectura entero = LectorPeticion().agregar(bytes);
    LectorPeticion lector;
    EstadoLectura partido = Incompleta{};
    for (std::size_t desde = 0; desde < bytes.size() && std::holds_alternative<Incompleta>(partido); desde += paso) {
        const std::string_view trozo = bytes.substr(desde, paso);
        // The count the server keeps is known before the bytes are added.
        const std::size_t prevista = lector.capacidadTras(trozo.size());
        partido = lector.agregar(trozo);
        if (lector.capacidad() > prevista || lector.capacidad() > limitePeticion) __builtin_trap();
    }
    if (!(partido == entero)) __builtin_trap();

    const auto regla = peticionCompleta(bytes);
    if (const auto* p = std::get_if<PeticionCompleta>(&entero)) {
        if (!regla || !(*regla == *p)) __builtin_trap();
        if (static_cast<std::int64_t>(p->cuerpo.size()) != longitudDeclarada(p->cabecera)) __builtin_trap();
        (void)cabeceras(p->cabecera);
    } else if (std::holds_alternative<Incompleta>(entero) && regla) {
        __builtin_trap();
    }
    return 0;
}
