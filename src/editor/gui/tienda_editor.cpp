#include "editor/gui/tienda_editor.h"

#include "cuenta/cuenta.h"
#include "editor/gui/editor_abierto.h"

namespace sorvenia {
namespace {

AbridorTienda& abridor() {
    static AbridorTienda a;
    return a;
}

}  // namespace

void usarAbridorTienda(AbridorTienda a) { abridor() = std::move(a); }

bool abrirTienda(std::shared_ptr<Cuenta> cuenta, std::string seccion, std::optional<std::string> ir,
                 std::function<void()> alComprar) {
    if (!abridor()) return false;
    abridor()(std::move(cuenta), std::move(seccion), std::move(ir), std::move(alComprar));
    return true;
}

Tarea<void> refrescarDestinos(std::shared_ptr<EditorAbierto> editor, std::shared_ptr<Cuenta> cuenta, std::string id) {
    for (const double espera : {primeraEsperaDestinos, segundaEsperaDestinos}) {
        try {
            co_await dormir(espera);
        } catch (...) {
            // A cut-short wait still makes its pass.
        }
        try {
            const auto abierto = co_await cuenta->abrir(id);
            editor->js("destinos", EditorAbierto::destinosJS(std::get<2>(abierto)));
        } catch (...) {
            // This pass leaves the page as it was.
        }
    }
}

}  // namespace sorvenia
