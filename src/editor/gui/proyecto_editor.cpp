// The design's app project on the editor's side: taking the project found or
// made for the design, and making it on first use.

#include "editor/gui/editor_abierto.h"

namespace sorvenia {

void EditorAbierto::usarProyecto(std::shared_ptr<ProyectoAplicacion> proyecto) {
    proyecto_ = std::move(proyecto);
    std::weak_ptr<EditorAbierto> debil = weak_from_this();
    proyecto_->fijarEnviar([debil](const nlohmann::json& mensaje) {
        if (const auto editor = debil.lock()) editor->js("app", mensaje);
    });
    js("app", {{"proyecto", proyecto_->resumen()}});
}

Tarea<std::shared_ptr<ProyectoAplicacion>> EditorAbierto::asegurarProyecto(bool movil) {
    const auto yo = shared_from_this();
    if (proyecto_) co_return proyecto_;
    // The project is remembered under the design's id: a design never
    // uploaded, or with changes not yet uploaded, is saved first (an upload
    // under way is waited for, as it brings the id).
    co_await autoguardado_.guardarAntesDePublicar();
    if (!id_) {
        js("app", {{"error", "Guarda el diseño antes de crear la aplicación (¿hay conexión?)."}});
        co_return nullptr;
    }
    if (proyecto_) co_return proyecto_;  // made by another request meanwhile
    const bool esMovil = movil || (plantilla_ && plantilla_->id == "appmovil");
    auto creado = co_await ProyectoAplicacion::crear(*id_, nombre_, esMovil);
    if (!creado) {
        js("app", {{"error", creado.fallo().mensaje}});
        co_return nullptr;
    }
    if (proyecto_) co_return proyecto_;
    usarProyecto(std::move(*creado));
    co_return proyecto_;
}

}  // namespace sorvenia
