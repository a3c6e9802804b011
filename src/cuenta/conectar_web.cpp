#include "cuenta/conectar_web.h"

namespace sorvenia {

ConectarWeb::ConectarWeb(std::shared_ptr<Cuenta> cuenta) : cuenta_(cuenta) {
    modelo_.fijarCuenta(cuenta);
    suscripcion_ = cuenta->observar([this](Cuenta::Cambio cambio) {
        if (cambio == Cuenta::Cambio::conectando || cambio == Cuenta::Cambio::error) enviarEstado();
    });
    enviarEstado();  // the current state at once
}

void ConectarWeb::enviarEstado() {
    if (const auto cuenta = cuenta_.lock()) modelo_.enviar(cuenta->conectando(), cuenta->error());
}

}  // namespace sorvenia
