#include "editor/gui/exportar_video.h"

#include <cmath>

#include "comun/lectura_mensajes.h"
#include "editor/exportacion.h"
#include "editor/gui/editor_abierto.h"
#include "editor/gui/renderizador.h"
#include "plataforma/gui/elegir_rutas.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;
using Mensaje::entero;
using Mensaje::texto;

void responder(EditorAbierto& e, Json dato) { e.js("progresoVideo", std::move(dato)); }

// Progress for the page in whole percents: one message per step, not per
// frame.
std::function<void(double)> avisarProgreso(const std::shared_ptr<EditorAbierto>& e) {
    return [debil = std::weak_ptr<EditorAbierto>(e), ultimo = -1](double fraccion) mutable {
        const int ahora = static_cast<int>(std::floor(fraccion * 100));
        const auto editor = debil.lock();
        if (ahora == ultimo || !editor) return;
        ultimo = ahora;
        responder(*editor, {{"fraccion", ahora / 100.0}});
    };
}

}  // namespace

Tarea<void> exportarVideo(std::shared_ptr<EditorAbierto> e, Json m) {
    const auto html = texto(m, "html");
    if (!html) co_return;
    PeticionRutas peticion{.modo = ModoEleccion::guardar, .titulo = "Exportar la mesa como vídeo", .boton = "Exportar"};
    peticion.carpetaInicial = Exportacion::carpetaInicial();
    peticion.nombreSugerido = EditorModelo::nombreSeguro(texto(m, "nombre"), "animacion") + ".mp4";
    GtkWindow* padre = e->web() != nullptr ? ventanaDe(e->web()->widget()) : nullptr;
    try {
        const auto rutas = co_await elegirRutas(padre, std::move(peticion));
        if (!rutas) {
            responder(*e, {{"cancelado", true}});
            co_return;
        }
        const std::filesystem::path destino = rutas->front();
        responder(*e, {{"fraccion", 0}});
        const Hecho grabado = co_await Renderizador::compartido().video(
            *html, entero(m, "w"), entero(m, "h"), entero(m, "duracionMs"), entero(m, "fps"), destino,
            avisarProgreso(e), e->id());
        if (grabado) responder(*e, {{"hecho", true}, {"ruta", destino.string()}});
        else responder(*e, {{"error", grabado.fallo().mensaje}});
    } catch (const TareaCancelada&) {
        // The recording's page and encoder are gone with its frames; the
        // temporary file went with the encoder.
        responder(*e, {{"cancelado", true}});
    }
}

}  // namespace sorvenia
