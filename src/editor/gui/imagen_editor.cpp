// The page's image request: the customer's image service, answered with the
// picture's address or why there is none.
#include "comun/lectura_mensajes.h"
#include "cuenta/error_api.h"
#include "editor/gui/editor_abierto.h"
#include "integraciones/servicios_cliente.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

// A whole number, else `defecto`.
std::int64_t enteroO(const Json& m, const char* clave, std::int64_t defecto) {
    const auto it = m.find(clave);
    if (it == m.end() || !it->is_number_integer()) return defecto;
    return Mensaje::entero(m, clave);
}

}  // namespace

Tarea<void> EditorAbierto::generarImagen(Json m) {
    const std::weak_ptr<EditorAbierto> yo = weak_from_this();
    const std::int64_t req = enteroO(m, "req", 0);
    Json respuesta;
    try {
        std::string src =
            co_await ServiciosCliente::imagen(Mensaje::texto(m, "prompt").value_or(""), Mensaje::texto(m, "imagen"),
                                              enteroO(m, "w", 1600), enteroO(m, "h", 1000));
        respuesta = {{"req", req}, {"src", std::move(src)}};
    } catch (const ErrorAPI& e) {
        respuesta = {{"req", req}, {"error", e.mensaje}};
        // No image key at all: the page offers the settings where one goes.
        if (e.codigo == "sin_clave") respuesta["ajustes"] = true;
    } catch (const std::exception& e) {
        respuesta = {{"req", req}, {"error", e.what()}};
    }
    if (const auto editor = yo.lock()) editor->js("imagenGenerada", respuesta);
}

}  // namespace sorvenia
