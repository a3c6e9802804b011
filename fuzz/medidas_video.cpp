// The editor page's "exportarVideo" message carries the mesa's size, the
// duration and the frame rate; the page and the agents that write mesas
// decide them. Any bytes as the message: whatever size is accepted is an
// even video no wider than 1920 pixels, never larger than the design, with
// at least one frame and a positive bit rate.
#include <cstddef>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "comun/lectura_mensajes.h"
#include "editor/medidas_video.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    const auto m = nlohmann::json::parse(datos, datos + largo, nullptr, false);
    if (!m.is_object()) return 0;
    using sorvenia::Mensaje::entero;
    const std::int64_t ancho = entero(m, "w"), alto = entero(m, "h");
    const auto medidas = sorvenia::medidasVideo(ancho, alto, entero(m, "duracionMs"), entero(m, "fps"));
    if (!medidas) return 0;
    if (medidas->ancho < 2 || medidas->alto < 2 || medidas->ancho % 2 != 0 || medidas->alto % 2 != 0 ||
        medidas->ancho > 1920 || medidas->ancho > ancho || medidas->alto > alto || medidas->fotogramas < 1 ||
        medidas->tasaBits != std::int64_t{medidas->ancho} * medidas->alto * 6)
        __builtin_trap();
    return 0;
}
