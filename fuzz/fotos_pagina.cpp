// A web page's HTML through the photo extractor, as the photo search reads
// any page an agent names. Nothing may crash or take time that grows faster
// than the page; the addresses are absolute http(s), safe inside an
// attribute, distinct, within the limit, and none looks like a logo, icon,
// sprite, tracking pixel or SVG file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "integraciones/fotos_lecturas.h"

namespace {

void comprobar(bool condicion) {
    if (!condicion) std::abort();
}

std::string minusculas(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    using namespace sorvenia::BuscarFotos;
    const std::string_view html(reinterpret_cast<const char*>(datos), tamano);
    const auto direcciones = direccionesDePagina(html, "https://tienda.example/a/b.html?x=1", 27);
    comprobar(direcciones.size() <= 27);
    std::set<std::string> vistas;
    for (const auto& d : direcciones) {
        comprobar(direccionSegura(d));
        comprobar(vistas.insert(d).second);
        const std::string baja = minusculas(d);
        for (const char* palabra : {".svg", "logo", "icon", "sprite", "pixel", "tracking"})
            comprobar(baja.find(palabra) == std::string::npos);
    }
    if (const auto mayor = mayorDeSrcset(html)) comprobar(!mayor->empty() && mayor->find(',') == std::string::npos);
    return 0;
}
