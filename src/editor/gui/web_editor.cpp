#include "editor/gui/web_editor.h"

#include "editor/escenas.h"
#include "editor/gui/editor_abierto.h"
#include "editor/gui/esquema_escena.h"
#include "medios/gui/esquema_fuente.h"
#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/recursos.h"
#include "plataforma/texto_utf8.h"

namespace sorvenia {

std::unique_ptr<WebVista> crearWebEditor(std::weak_ptr<EditorAbierto> modelo) {
    OpcionesWebVista opciones;
    opciones.inspeccionable = true;
    auto vista = std::make_unique<WebVista>("tarvel", opciones);
    vista->alMensaje([modelo](const nlohmann::json& mensaje) {
        if (const auto m = modelo.lock()) m->recibir(mensaje);
    });
    WebKitWebView* web = vista->vistaWeb();
    // The page's own background shows through; the window's backdrop is
    // behind it.
    const GdkRGBA transparente{0.0F, 0.0F, 0.0F, 0.0F};
    webkit_web_view_set_background_color(web, &transparente);
    gtk_widget_set_hexpand(vista->widget(), TRUE);
    gtk_widget_set_vexpand(vista->widget(), TRUE);
    CanalPruebas::registrar("editor", web);
    servirFuentes(*vista);
    // The scenes of the design shown now: a design saved for the first time
    // moves from the unsaved folder to its own.
    servirEscenas(*vista, [modelo] {
        const auto m = modelo.lock();
        return Escenas::carpeta(m ? m->id() : std::nullopt);
    });
    // The video studio's player frame gets its bridge; without the file, none.
    const auto puente = Recursos::ruta("editor/tarvel/puente_reproductor.js");
    if (const auto guion = puente ? leerTextoUtf8(*puente) : std::nullopt) vista->inyectarEnTodosLosMarcos(*guion);
    // A missing folder leaves the view blank, and says nothing.
    if (const auto editor = Recursos::ruta("editor")) vista->cargarPagina(*editor / "tarvel" / "index.html", *editor);
    return vista;
}

}  // namespace sorvenia
