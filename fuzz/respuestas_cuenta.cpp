// Arbitrary bytes as every answer of the account API: JSONValor, the answer
// records, the error answer and the agency save's reading. Nothing may crash,
// and what decodes must write back and decode to the same thing.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cuenta/error_api.h"
#include "cuenta/respuestas.h"

namespace {

using namespace sorvenia;

void comprobar(bool condicion) {
    if (!condicion) __builtin_trap();
}

void jsonValor(std::string_view bytes) {
    const auto v = JSONValor::decodificar(bytes);
    if (!v) return;
    // Decoded numbers are finite, so the text is never the "null" stand-in
    // for an unwritable tree, and it reads back to the same text.
    const std::string texto = v->cadena();
    const auto otra = JSONValor::decodificar(texto);
    comprobar(otra.has_value());
    comprobar(otra->cadena() == texto);
    comprobar(JSONValor::desde(v->objeto()).has_value());
}

template <class R>
void respuesta(std::string_view bytes) {
    (void)decodificar<R>(bytes);
}

void registrosQueVuelven(std::string_view bytes) {
    if (const auto r = decodificar<RespuestaRefrescar>(bytes)) {
        comprobar(clienteDeTexto(escribir(r->yo).dump()) == r->yo);
        for (const auto& d : r->disenos) {
            DisenoResumen otra;
            comprobar(leer(escribir(d), otra) && otra == d);
        }
    }
    if (const auto r = decodificar<RespuestaVPS>(bytes)) {
        for (const auto& v : r->vps) {
            RegistrosCuenta::VPS otra;
            comprobar(leer(escribir(v), otra) && otra == v);
        }
    }
}

void errores(std::string_view bytes) {
    const int status = bytes.empty() ? 0 : 300 + static_cast<unsigned char>(bytes[0]) % 300;
    const ErrorAPI e = errorDe(bytes, status);
    comprobar(!e.codigo.empty() && !e.mensaje.empty() && e.status == status);
    for (int s : {0, 200, 409, 413, status}) {
        try {
            (void)versionDeGuardadoAgencia(bytes, s);
        } catch (const ErrorAgencia&) {
        } catch (const ErrorAPI&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const std::string_view bytes(reinterpret_cast<const char*>(datos), tamano);
    jsonValor(bytes);
    respuesta<RespuestaCanjear>(bytes);
    respuesta<RespuestaAbrir>(bytes);
    respuesta<RespuestaAgencia>(bytes);
    respuesta<RespuestaDominios>(bytes);
    respuesta<RespuestaTienda>(bytes);
    respuesta<RespuestaSesion>(bytes);
    respuesta<RespuestaRecursos>(bytes);
    respuesta<RespuestaRecurso>(bytes);
    respuesta<RespuestaHosting>(bytes);
    respuesta<RespuestaPrevia>(bytes);
    respuesta<RespuestaGuardar>(bytes);
    respuesta<RespuestaBorrar>(bytes);
    respuesta<RespuestaFotos>(bytes);
    registrosQueVuelven(bytes);
    errores(bytes);
    return 0;
}
