#include "editor/gui/elegir_imagen_editor.h"

#include "editor/gui/editor_abierto.h"
#include "editor/imagen_elegida.h"
#include "plataforma/gui/elegir_rutas.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {

Tarea<void> elegirImagen(std::shared_ptr<EditorAbierto> e, nlohmann::json m) {
    const auto req = m.find("req");
    if (req == m.end() || !req->is_number_integer()) co_return;
    const nlohmann::json pedido = *req;
    PeticionRutas peticion{.modo = ModoEleccion::abrir, .titulo = "Elige una imagen", .boton = "Elegir"};
    peticion.nombreFiltro = "Imágenes";
    peticion.patrones = {"*.png", "*.jpg", "*.jpeg", "*.gif", "*.webp", "*.svg",
                         "*.PNG", "*.JPG", "*.JPEG", "*.GIF", "*.WEBP", "*.SVG"};
    GtkWindow* padre = e->web() != nullptr ? ventanaDe(e->web()->widget()) : nullptr;
    const auto rutas = co_await elegirRutas(padre, std::move(peticion));
    if (!rutas) {
        e->js("imagenElegida", {{"req", pedido}, {"cancelado", true}});
        co_return;
    }
    const auto ruta = rutas->front();
    const auto url = co_await enSegundoPlano([ruta] { return ImagenElegida::leer(ruta); });
    if (!url) {
        e->js("aviso", {{"texto", url.fallo().mensaje}});
        e->js("imagenElegida", {{"req", pedido}, {"cancelado", true}});
        co_return;
    }
    e->js("imagenElegida", {{"req", pedido}, {"src", *url}, {"nombre", ruta.filename().string()}});
}

}  // namespace sorvenia
