// The editor page's request to publish on a VPS is page input: any JSON
// through the reader and the domain rules. Nothing may crash; a request
// read back holds exactly the page's values, and a domain accepted is made
// only of what a host name may hold.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "editor/publicacion_vps.h"

namespace {

void comprobar(bool condicion) {
    if (!condicion) std::abort();
}

bool letraDeNombre(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

void comprobarDominio(const std::string& escrito) {
    using namespace sorvenia::PublicacionVPS;
    const std::string limpio = limpiarDominio(escrito);
    if (!limpio.empty()) comprobar(limpio.front() != '/' && limpio.back() != '/');
    if (!dominioValido(limpio)) return;
    comprobar(limpio.size() <= 253 && limpio.find('.') != std::string::npos);
    for (const char c : limpio) comprobar(letraDeNombre(c));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const std::string texto(reinterpret_cast<const char*>(datos), tamano);
    comprobarDominio(texto);
    const auto m = nlohmann::json::parse(texto, nullptr, false);
    if (m.is_discarded()) return 0;
    const auto pedido = sorvenia::PublicacionVPS::leerPedido(m);
    if (!pedido) return 0;
    comprobar(m.is_object() && m.at("ip") == pedido->ip && m.at("paginas") == pedido->paginas);
    comprobar(m.at("servicio") == pedido->servicio);
    if (pedido->password) comprobar(m.at("password") == *pedido->password);
    comprobarDominio(pedido->dominio);
    return 0;
}
