// The font library's index, "fuentes.json", and the "fuente:" URLs pages
// ask for: any bytes. Reading must not throw; every entry read names a file
// that stays inside the fonts folder; the index written back reads the same;
// a URL's file name is a valid one and never climbs out of the folder.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "medios/indice_fuentes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    using namespace sorvenia;
    const std::string_view texto(reinterpret_cast<const char*>(datos), largo);
    const auto fuentes = Fuentes::leerIndice(texto);
    for (const auto& f : fuentes) {
        if (!Fuentes::nombreValido(f.archivo)) __builtin_trap();
        if (f.archivo.find('/') != std::string::npos || f.archivo.find("..") != std::string::npos) __builtin_trap();
    }
    const auto releidas = Fuentes::leerIndice(Fuentes::textoIndice(fuentes));
    if (releidas.size() != fuentes.size()) __builtin_trap();

    if (const auto nombre = Fuentes::nombreDeUrl(texto)) {
        if (!Fuentes::nombreValido(*nombre) || nombre->empty() || nombre->front() == '.') __builtin_trap();
        if (nombre->find('/') != std::string::npos || nombre->find('%') != std::string::npos) __builtin_trap();
        const auto m = Fuentes::mime(*nombre);
        if (m != "font/woff2" && m != "font/woff" && m != "font/otf" && m != "font/ttf") __builtin_trap();
    }
    return 0;
}
