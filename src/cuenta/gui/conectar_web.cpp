#include "cuenta/gui/conectar_web.h"

namespace sorvenia {

ConectarWeb::ConectarWeb(std::shared_ptr<Cuenta> cuenta) : cuenta_(cuenta) {
    modelo_.fijarCuenta(cuenta);
    suscripcion_ = cuenta->observar([this](Cuenta::Cambio cambio) {
        if (cambio == Cuenta::Cambio::conectando || cambio == Cuenta::Cambio::error) enviarEstado();
    });
    enviarEstado();  // the current state at once
}

void ConectarWeb::enviarEstado() {
    const auto cuenta = cuenta_.lock();
    if (!cuenta) return;
    const auto enlace = cuenta->sinNavegador() ? cuenta->enlaceConexion() : std::nullopt;
    modelo_.enviar(cuenta->conectando(), cuenta->error(), enlace);
}

}  // namespace sorvenia
