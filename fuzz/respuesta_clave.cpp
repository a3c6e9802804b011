// A provider's answer to a key check: the first two bytes pick the service
// and the status, the rest is the body. Any answer must be judged without
// crashing, only by its first 600 bytes; a 2xx always accepts, and 401 or
// 403 without the word "permission" always rejects.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "integraciones/juicio_clave.h"
#include "integraciones/texto_integraciones.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    using namespace sorvenia;
    if (largo < 2) return 0;
    const auto servicio = todosLosServicios.at(datos[0] % todosLosServicios.size());
    static constexpr long estados[] = {200, 204, 299, 300, 400, 401, 403, 404, 429, 500, 503, 0, -1};
    const long status = estados[datos[1] % std::size(estados)];
    const std::string_view cuerpo(reinterpret_cast<const char*>(datos + 2), largo - 2);

    const auto juicio = Servicios::juzgar(servicio, status, cuerpo);
    if (juicio != Servicios::juzgar(servicio, status, cuerpo.substr(0, 600))) __builtin_trap();
    if (status >= 200 && status <= 299 && juicio != true) __builtin_trap();
    const std::string extracto = TextoIntegraciones::extractoUtf8(cuerpo, 600);
    if ((status == 401 || status == 403) && !TextoIntegraciones::contieneSinMayusculas(extracto, "permission") &&
        juicio != false)
        __builtin_trap();
    if (juicio == true && !(status >= 200 && status <= 299)) __builtin_trap();

    // The trimmed key is what reaches the keychain and the header.
    const std::string recortada = TextoIntegraciones::recortar(cuerpo);
    if (recortada.size() > cuerpo.size() || cuerpo.find(recortada) == std::string_view::npos) __builtin_trap();
    if (TextoIntegraciones::recortar(recortada) != recortada) __builtin_trap();
    return 0;
}
