// One request body through the answering, behind a header block that the
// first byte chooses; a tool call is answered with items made of its own
// arguments. Every answer must be one of the statuses the endpoint uses,
// and every 200 body JSON; the id found in the raw body must be the one the
// parser reads.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

#include "centro/letras.h"
#include "centro/respuesta_mcp.h"
#include "comun/id_jsonrpc.h"

using namespace sorvenia;

namespace {

const std::string token = "0123456789abcdef0123456789abcdef";

const std::array<std::string, 8> cabeceras = {
    "POST /mcp/" + token + " HTTP/1.1\r\nHost: 127.0.0.1:39847",
    "POST /mcp/" + token + "/abcdefgh12345678 HTTP/1.1\r\nHost: localhost",
    "POST /mcp/" + token + " HTTP/1.1\r\nHost: [::1]:1\r\nContent-Type: application/json",
    "POST /mcp/" + token + " HTTP/1.1\r\nHost: evil.example",
    "POST /mcp/" + token + " HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: https://evil.example",
    "GET /mcp/" + token + " HTTP/1.1\r\nHost: 127.0.0.1",
    "POST /mcp/x HTTP/1.1\r\nHost: 127.0.0.1",
    "",
};

void comprobar(const RespuestaEndpoint& r) {
    static const std::array<std::string_view, 8> estados = {
        "200 OK", "202 Accepted", "400 Bad Request", "403 Forbidden", "404 Not Found", "405 Method Not Allowed",
        "421 Misdirected Request", "413 Payload Too Large"};
    bool conocido = false;
    for (auto e : estados) conocido = conocido || r.estado == e;
    if (!conocido) __builtin_trap();
    if (r.estado != "200 OK" && !r.cuerpo.empty()) __builtin_trap();
    if (!r.cuerpo.empty() && !nlohmann::json::accept(r.cuerpo)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    if (tamano == 0) return 0;
    const std::string_view cuerpo(reinterpret_cast<const char*>(datos) + 1, tamano - 1);
    const auto decision = decidir(cabeceras[datos[0] % cabeceras.size()], cuerpo, token, instruccionesIniciales);
    if (const auto* r = std::get_if<RespuestaEndpoint>(&decision)) comprobar(*r);
    if (const auto* i = std::get_if<Inicializar>(&decision)) comprobar(i->respuesta);
    if (const auto* l = std::get_if<LlamarHerramienta>(&decision)) {
        if (!l->peticion.argumentos.is_object()) __builtin_trap();
        const auto& items = l->peticion.argumentos.contains("items") ? l->peticion.argumentos["items"]
                                                                      : nlohmann::json::array({l->peticion.argumentos});
        comprobar(respuestaDeHerramienta(l->id, items));
    }

    // The id is echoed as its own text, which must read as the value the
    // parser keeps (compared only when small: comparing walks it).
    (void)idCrudo(cuerpo);  // any bytes: never read out of bounds
    const auto mensaje = nlohmann::json::parse(cuerpo, nullptr, false);
    if (mensaje.is_object() && mensaje.contains("id")) {
        const auto id = idCrudo(cuerpo);
        if (!id || !nlohmann::json::accept(*id) || id->find('\n') != std::string::npos) __builtin_trap();
        if (id->size() <= 4096 && nlohmann::json::parse(*id) != mensaje["id"]) __builtin_trap();
    }

    // Cutting at a letter count gives a prefix with no more letters.
    const std::size_t n = datos[0];
    const std::string_view prefijo = primerasLetras(cuerpo, n);
    if (cuerpo.substr(0, prefijo.size()) != prefijo || contarLetras(prefijo) > n) __builtin_trap();
    if (contarLetras(cuerpo) <= n && prefijo != cuerpo) __builtin_trap();
    return 0;
}
