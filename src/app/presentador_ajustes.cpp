#include "app/presentador_ajustes.h"

#include "centro/centro.h"
#include "integraciones/gui/proponer_conexion.h"
#include "integraciones/integraciones.h"
#include "pantallas/gui/ajustes_hoja.h"

namespace sorvenia {

PresentadorAjustes::PresentadorAjustes(std::shared_ptr<Navegacion> nav, GtkWindow* padre) : nav_(nav), padre_(padre) {
    nav->integraciones = [] { return Integraciones::estadoActual(); };
    lanzar([]() -> Tarea<void> { co_await Integraciones::releer(); }());
    // A proposed connection is asked over the main window.
    Centro::compartido().proponerConexion = [padre](nlohmann::json argumentos) {
        return proponerConexion(std::move(argumentos), padre);
    };
    suscripcion_ = nav->observar([this](Navegacion::Cambio cambio) {
        if (cambio == Navegacion::Cambio::ajustes || cambio == Navegacion::Cambio::agentes) seguir();
    });
}

PresentadorAjustes::~PresentadorAjustes() = default;

void PresentadorAjustes::seguir() {
    const auto nav = nav_.lock();
    if (!nav) return;
    const bool abierta = nav->ajustes() || nav->agentes();
    const bool agentes = !nav->ajustes() && nav->agentes();
    if (!abierta) {
        hoja_.reset();
        return;
    }
    if (hoja_ && enAgentes_ == agentes) return;
    enAgentes_ = agentes;
    hoja_.reset();
    hoja_ = std::make_unique<AjustesHoja>(padre_, agentes ? "agentes" : "integraciones", [navDebil = nav_, agentes] {
        if (const auto n = navDebil.lock()) {
            if (agentes) n->fijarAgentes(false);
            else n->fijarAjustes(false);
        }
    });
}

}  // namespace sorvenia
