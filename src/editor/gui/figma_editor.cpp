#include "editor/gui/figma_editor.h"

#include <utility>

#include "comun/lectura_mensajes.h"
#include "editor/gui/editor_abierto.h"
#include "editor/gui/token_figma.h"
#include "integraciones/conexiones.h"
#include "medios/figma_importar.h"
#include "medios/figma_token.h"
#include "plataforma/gui/elegir_rutas.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

// The stored token, looked up among the user's connections (blocking).
std::optional<std::string> tokenGuardado() {
    std::vector<Figma::ConexionGuardada> conexiones;
    for (const auto& c : Conexiones::lista()) conexiones.push_back({c.id, c.nombre});
    return Figma::token(conexiones);
}

// The editor when it is still open.
std::shared_ptr<EditorAbierto> abierto(const std::weak_ptr<EditorAbierto>& debil) {
    auto e = debil.lock();
    return e && !e->cerrado() ? e : nullptr;
}

Json comoJSON(const std::vector<Figma::Marco>& marcos) {
    Json lista = Json::array();
    for (const auto& m : marcos)
        lista.push_back({{"nombre", m.nombre}, {"html", m.html}, {"w", m.ancho}, {"h", m.alto}});
    return lista;
}

}  // namespace

Tarea<void> importarFigma(std::shared_ptr<EditorAbierto> editor, Json mensaje) {
    const auto enlace = Mensaje::texto(mensaje, "enlace");
    if (!enlace) co_return;
    // The import may outlive the editor: it holds it only to answer.
    const std::weak_ptr<EditorAbierto> debil = editor;
    editor.reset();

    auto token = co_await enSegundoPlano(&tokenGuardado);
    if (!token) {
        const auto e = abierto(debil);
        if (!e) co_return;
        GtkWindow* padre = e->web() != nullptr ? ventanaDe(e->web()->widget()) : nullptr;
        token = co_await pedirTokenFigma(padre, [debil](const std::string& texto) {
            if (const auto e = abierto(debil)) e->js("aviso", {{"texto", texto}});
        });
        if (!token) co_return;
    }

    auto progreso = [debil](const std::string& texto) {
        if (const auto e = abierto(debil)) e->js("figma", {{"progreso", texto}});
    };
    const auto marcos = co_await Figma::importar(*enlace, *token, progreso);
    const auto e = abierto(debil);
    if (!e) co_return;
    if (!marcos) e->js("figma", {{"error", marcos.fallo().mensaje}});
    else e->js("figma", {{"marcos", comoJSON(*marcos)}});
}

}  // namespace sorvenia
