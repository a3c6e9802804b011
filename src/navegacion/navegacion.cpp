#include "navegacion/navegacion.h"

#include <utility>

#include "centro/centro.h"
#include "centro/editor_modelo.h"

namespace sorvenia {

Navegacion::Pantalla Navegacion::Pantalla::editor(std::optional<std::string> id, std::optional<Plantilla> plantilla) {
    Pantalla p(Caso::editor);
    p.id_ = std::move(id);
    p.plantilla_ = std::move(plantilla);
    return p;
}

void Navegacion::fijarPantalla(Pantalla p) {
    pantalla_ = std::move(p);
    observadores_.avisar(Cambio::pantalla);
}

void Navegacion::fijarAjustes(bool abierto) {
    ajustes_ = abierto;
    observadores_.avisar(Cambio::ajustes);
    alCerrarHoja(abierto);
}

void Navegacion::fijarAgentes(bool abierto) {
    agentes_ = abierto;
    observadores_.avisar(Cambio::agentes);
    alCerrarHoja(abierto);
}

void Navegacion::alCerrarHoja(bool abierto) const {
    // Keys may have been added or removed in the sheet: the open design's
    // page shows the integrations as they are now.
    if (abierto || !integraciones) return;
    if (const auto editor = Centro::compartido().editor.lock()) editor->js("integraciones", integraciones());
}

Navegacion::Suscripcion Navegacion::observar(std::function<void(Cambio)> observador) {
    return observadores_.observar(std::move(observador));
}

void Navegacion::tutorial(const std::vector<DisenoResumen>& disenos) {
    const DisenoResumen* elegido = nullptr;
    for (const auto& d : disenos) {
        if (d.nombre != Plantilla::nombreBienvenida) continue;
        // Strictly later only: among equal dates the first one stays.
        if (elegido == nullptr || d.modificado > elegido->modificado) elegido = &d;
    }
    if (elegido == nullptr) fijarPantalla(Pantalla::editor(std::nullopt, Plantilla::bienvenida()));
    else fijarPantalla(Pantalla::editor(elegido->id, Plantilla::bienvenida()));
}

std::optional<Navegacion::Pendiente> Navegacion::tomarPendiente() {
    if (!promptPendiente || promptPendiente->empty()) return std::nullopt;
    Pendiente p{std::move(*promptPendiente), std::move(recursosPendientes), std::move(iaPendiente)};
    promptPendiente.reset();
    recursosPendientes.clear();
    iaPendiente.reset();
    return p;
}

}  // namespace sorvenia
