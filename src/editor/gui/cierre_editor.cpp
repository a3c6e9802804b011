// How an editor ends: the page's back action, its screen going away (parked
// instead while an agent still works on it), and the one teardown.

#include <gtk/gtk.h>

#include "aplicaciones/gui/vista_app.h"
#include "centro/centro.h"
#include "centro/gui/aparcamiento.h"
#include "centro/trabajos.h"
#include "cuenta/cuenta.h"
#include "editor/gui/editor_abierto.h"
#include "editor/subidas_finales.h"
#include "ias/matar.h"
#include "navegacion/navegacion.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {

Tarea<void> EditorAbierto::salir() {
    const auto yo = shared_from_this();
    autoguardado_.pararTemporizador();
    // The app's local server goes with its design, and so does its preview.
    if (proyecto_) proyecto_->parar();
    if (vistaApp_) vistaApp_->ocultar();
    co_await recogerCambio();
    autoguardado_.pararTemporizador();
    if (!errorCarga_ && autoguardado_.docPendiente_) co_await guardar(true);
    if (const auto nav = nav_.lock()) nav->fijarPantalla(Navegacion::Pantalla::inicio());
}

void EditorAbierto::alSalir() {
    if (cerrado_ || aparcado_) return;
    if (agenteEnMarcha_ && webRetenida_) {
        aparcar();
    } else {
        cerrar();
    }
}

// The page moves off-screen and keeps running for the agent; tool calls
// without a route key no longer reach it.
void EditorAbierto::aparcar() {
    aparcado_ = true;
    js("segundoPlano", {{"si", true}});
    auto& centro = Centro::compartido();
    if (centro.editor.lock().get() == this) centro.editor.reset();
    GtkWidget* web = webRetenida_->widget();
    Aparcamiento::compartido().aparcar(web, gtk_widget_get_width(web), gtk_widget_get_height(web));
    if (!id_) {
        // A design never uploaded gets its id now, so its job can be opened
        // again from the home screen.
        autoguardado_.pararTemporizador();
        lanzar([](std::shared_ptr<EditorAbierto> m) -> Tarea<void> {
            co_await m->guardar(false);
            if (Trabajos::compartido().info().contains(m->clave()))
                Trabajos::compartido().progreso(*m, std::nullopt, std::nullopt, std::nullopt);
        }(shared_from_this()));
    }
    // The job lists show that this design is no longer the one on screen.
    Trabajos::compartido().anunciar();
}

void EditorAbierto::cerrarAparcado() { lanzar(esperarYCerrarAparcado()); }

Tarea<void> EditorAbierto::esperarYCerrarAparcado() {
    const auto yo = shared_from_this();
    co_await dormir(1.5);
    if (aparcado_ && !cerrado_ && !reservado_) co_await recogerCambio();
    while (aparcado_ && !cerrado_ && !reservado_) {
        if (autoguardado_.docPendiente_ && !autoguardado_.guardando_) {
            co_await guardar(false);
            // A failed attempt is not repeated here: closing keeps the
            // document as a local copy and makes one last upload, instead of
            // retrying for as long as the application runs.
            if (autoguardado_.ultimoFallido_) break;
            co_await dormir(0.5);
        } else if (autoguardado_.guardando_) {
            co_await dormir(0.5);
        } else {
            break;
        }
    }
    if (aparcado_ && !agenteEnMarcha_ && !reservado_) cerrar();
}

void EditorAbierto::cerrar() {
    if (cerrado_) return;
    cerrado_ = true;
    const auto yo = shared_from_this();  // the registry may hold the last other reference
    Trabajos::compartido().quitar(*this);
    observadorTrabajos_.reset();
    IAsLocales::matar(procesoAgente_);  // the agent's whole process group
    // A design turn or a sign-in left running would outlive its page.
    pararTurnosIA();
    cancelarSesionIA();
    auto& centro = Centro::compartido();
    if (centro.editor.lock() == yo) centro.editor.reset();
    autoguardado_.pararTemporizador();
    // The page may hold a last change; it is asked for it before it goes.
    std::unique_ptr<WebVista> pagina = listo_ && !errorCarga_ ? std::move(webRetenida_) : nullptr;
    webRetenida_.reset();
    if (errorCarga_) return;
    // The newest document on disk first, an upload in flight included: the
    // application may quit before the last upload ends. The upload that
    // succeeds removes the copy again.
    autoguardado_.copiaDeLoPendiente();
    if (!pagina && !autoguardado_.docPendiente_ && !autoguardado_.guardando_) return;
    // Quitting waits for this editor until its last change is uploaded.
    SubidasFinales::anotar(yo);
    despidiendose_ = true;
    lanzar(despedirse(std::move(pagina)));
}

Tarea<void> EditorAbierto::despedirse(std::unique_ptr<WebVista> pagina) {
    const auto yo = shared_from_this();
    bool cambioNuevo = false;
    if (pagina) {
        auto llamada = pagina->llamar(textoEntregarCambio);
        const auto respuesta = co_await conTiempoLimite(std::move(llamada), segundosEntregarCambio);
        cambioNuevo = respuesta && respuesta->ok() && autoguardado_.aceptarCambio(**respuesta);
        if (cambioNuevo) autoguardado_.copiaDeLoPendiente();
        pagina.reset();
    }
    despidiendose_ = false;
    // The last upload, unless the last attempt has just failed with nothing
    // new since: the copy on disk keeps that document for the next opening.
    if (autoguardado_.docPendiente_ && (cambioNuevo || !autoguardado_.ultimoFallido_)) co_await guardar(false);
    if (!autoguardado_.guardando_) SubidasFinales::quitar(*this);
}

}  // namespace sorvenia
