#include "app/salida.h"

#include <algorithm>

#include "centro/centro.h"
#include "centro/trabajos.h"
#include "editor/editor_modelo.h"
#include "editor/subidas_finales.h"
#include "plataforma/tarea.h"

namespace sorvenia {
namespace {

// Shared by the saves and the timer: whoever comes last, or the timer,
// answers; the answer is given once.
struct Espera {
    std::function<void()> seguir;
    std::size_t quedan = 0;
    void responder() {
        if (auto f = std::exchange(seguir, nullptr)) f();
    }
};

Tarea<void> guardarUno(std::shared_ptr<EditorModelo> editor, std::shared_ptr<Espera> espera) {
    (void)co_await editor->guardarAhora();
    if (--espera->quedan == 0) espera->responder();
}

Tarea<void> plazo(double segundos, std::shared_ptr<Espera> espera) {
    co_await dormir(segundos);
    espera->responder();
}

}  // namespace

std::vector<std::shared_ptr<EditorModelo>> editoresPorGuardar() {
    std::vector<std::shared_ptr<EditorModelo>> lista;
    for (const auto& m : Trabajos::compartido().modelos())
        if (m->porGuardar()) lista.push_back(m);
    const auto anadir = [&](const std::shared_ptr<EditorModelo>& m) {
        if (m && m->porGuardar() && std::ranges::find(lista, m) == lista.end()) lista.push_back(m);
    };
    anadir(Centro::compartido().editor.lock());
    // Closed editors whose last change is still being uploaded.
    for (const auto& m : SubidasFinales::lista()) anadir(m);
    return lista;
}

void guardarAntesDeSalir(std::vector<std::shared_ptr<EditorModelo>> editores, double limite,
                         std::function<void()> seguir) {
    if (editores.empty()) {
        seguir();
        return;
    }
    auto espera = std::make_shared<Espera>(Espera{std::move(seguir), editores.size()});
    lanzar(plazo(limite, espera));
    for (auto& editor : editores) lanzar(guardarUno(std::move(editor), espera));
}

}  // namespace sorvenia
