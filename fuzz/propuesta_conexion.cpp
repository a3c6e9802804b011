// A connection an agent proposes through "proponer_conexion": the tool's
// arguments are any JSON. The proposal must be built without throwing, its
// alert texts must be valid UTF-8 that the alert and the tool's answer can
// carry, and whatever passes validation must be safe to store and hand to
// an agent: a clean name, a known type, a loopback or https address, a
// command without shell characters, a variable that is not a loader's.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "comun/texto.h"
#include "integraciones/conexion.h"

namespace {

bool solo(const std::string& t, std::string_view permitidos) {
    for (const char c : t) {
        const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum && permitidos.find(c) == std::string_view::npos) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    using namespace sorvenia;
    using Json = nlohmann::json;
    const std::string_view texto(reinterpret_cast<const char*>(datos), largo);
    const Json argumentos = Json::parse(texto, nullptr, false);
    if (argumentos.is_discarded()) return 0;

    Conexiones::Conexion existente;
    existente.id = "c1";
    existente.nombre = "heroui";
    existente.tipo = "mcp-http";
    existente.url = "https://mcp.heroui.pro/mcp";
    const auto p = Conexiones::propuesta(argumentos, {existente});
    // Strict dumps: they throw on text that is not UTF-8.
    (void)Json(p.mensaje).dump();
    (void)Json(p.informativo).dump();
    if (p.sustituye && p.sustituye->nombre != p.conexion.nombre) __builtin_trap();

    auto c = p.conexion;
    if (Conexiones::validar(c, p.secreto)) return 0;
    if (!Conexiones::nombreValido(c.nombre) || c.nombre == "tarvel") __builtin_trap();
    if (c.tipo == "mcp-http") {
        const std::string url = enMinusculas(c.url);
        if (!url.starts_with("https://") && !url.starts_with("http://")) __builtin_trap();
        if (c.cabecera.empty() || !solo(c.cabecera, "_-")) __builtin_trap();
    } else if (c.tipo == "mcp-orden") {
        if (c.orden.empty() || !solo(c.orden, "._/@-")) __builtin_trap();
    } else if (c.tipo != "clave") {
        __builtin_trap();
    }
    if (!c.variable.empty()) {
        if (!solo(c.variable, "_") || c.variable.front() < 'A' || c.variable.front() > 'Z') __builtin_trap();
        for (const char* prohibida : {"LD_PRELOAD", "LD_LIBRARY_PATH", "LD_AUDIT", "PATH", "NODE_OPTIONS"})
            if (c.variable == prohibida) __builtin_trap();
    }
    // What is stored reads back the same.
    const auto guardado = Conexiones::textoLista({c});
    if (!guardado) __builtin_trap();
    const auto leido = Conexiones::leerLista(*guardado);
    if (leido.size() != 1 || leido.front() != c) __builtin_trap();
    return 0;
}
