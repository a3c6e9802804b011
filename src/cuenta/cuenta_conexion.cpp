// The redeem of a browser sign-in and the random texts of a sign-in.
#include "cuenta/cuenta.h"
#include "cuenta/llavero.h"
#include "plataforma/cripto.h"

namespace sorvenia {
namespace {

LlamadaCuenta pedirCanje(std::string code, std::string verificador) {
    auto llamada =
        llamadaPOST({{"accion", "canjear"}}, 30, {{"code", std::move(code)}, {"verificador", std::move(verificador)}});
    llamada.conClave = false;  // there is no key yet
    return llamada;
}

}  // namespace

Tarea<void> Cuenta::canjear(std::string code, std::string verificador) {
    auto yo = shared_from_this();
    const std::string cuenta = cuentaClave();  // the host the code was redeemed on
    std::optional<RespuestaCanjear> r;
    std::exception_ptr fallo;
    try {
        r = co_await llamar<RespuestaCanjear>(pedirCanje(std::move(code), std::move(verificador)));
    } catch (...) {
        fallo = std::current_exception();
    }
    if (fallo) {
        ponerError(descripcionDe(fallo));
        co_return;
    }
    auto guardar = [clave = r->clave, cuenta] { return Llavero::guardar(clave, cuenta); };
    const bool guardada = co_await enSegundoPlano(std::move(guardar));
    if (!guardada) {
        // Without its key the customer would look signed in until the next
        // refresh, which would then blame a revoked key.
        ponerError("No se ha podido guardar la clave en el llavero del sistema.");
        co_return;
    }
    fijarCliente(std::move(r->cliente));
    co_await refrescar();
}

std::optional<std::string> Cuenta::aleatorio(std::size_t n) { return aleatorio(n, bytesAleatorios); }

std::optional<std::string> Cuenta::aleatorio(std::size_t n, const FuenteAzar& fuente) {
    auto bytes = fuente(n);
    if (!bytes || bytes->size() != n) return std::nullopt;
    return base64url(*bytes);
}

}  // namespace sorvenia
