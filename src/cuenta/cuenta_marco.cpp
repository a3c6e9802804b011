// The request frame of every account call.
#include "cuenta/cuenta.h"
#include "cuenta/llavero.h"

namespace sorvenia {

Tarea<RespuestaHTTP> Cuenta::intercambiar(LlamadaCuenta llamada) {
    auto yo = shared_from_this();
    const std::string base = servidor();
    std::optional<std::string> clave;
    if (llamada.conClave) {
        auto leer = [cuenta = cuentaClave()] { return Llavero::leer(cuenta); };
        clave = co_await enSegundoPlano(std::move(leer));
        if (!clave) throw ErrorAPI::sinClave();  // nothing is sent
    }
    auto peticion = peticionDeCuenta(base, llamada, clave);
    auto respuesta = co_await pedirAsync(std::move(peticion));
    if (!respuesta) throw ErrorTransporte(respuesta.fallo());
    co_return std::move(*respuesta);
}

Tarea<std::string> Cuenta::enviar(LlamadaCuenta llamada) {
    auto respuesta = co_await intercambiar(std::move(llamada));
    const int status = static_cast<int>(respuesta.status);
    if (status >= 300) throw errorDe(respuesta.cuerpo, status);
    co_return std::move(respuesta.cuerpo);
}

template <class R>
Tarea<R> Cuenta::llamar(LlamadaCuenta llamada) {
    const std::string cuerpo = co_await enviar(std::move(llamada));
    co_return decodificarORaro<R>(cuerpo);
}

// The answers the calls read.
template Tarea<RespuestaRefrescar> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaAbrir> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaAgencia> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaCanjear> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaDominios> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaTienda> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaSesion> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaRecursos> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaRecurso> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaVPS> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaHosting> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaGuardar> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaBorrar> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaFotos> Cuenta::llamar(LlamadaCuenta);
template Tarea<RespuestaPrevia> Cuenta::llamar(LlamadaCuenta);

}  // namespace sorvenia
