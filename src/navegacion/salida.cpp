#include "navegacion/salida.h"

#include <algorithm>
#include <csignal>

#include "centro/centro.h"
#include "centro/trabajos.h"
#include "centro/editor_modelo.h"
#include "editor/subidas_finales.h"
#include "ias/proceso.h"
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

// How often the stop looks whether the agents have ended.
constexpr double pausaParada = 0.05;

Tarea<void> pararAgentes(std::vector<std::shared_ptr<Proceso>> agentes, double gracia,
                         std::function<void()> seguir) {
    // Held until the last signal: a group may be signalled only while its
    // leader is unreaped.
    std::vector<std::shared_ptr<Proceso::Retencion>> retenciones;
    for (const auto& p : agentes) {
        if (auto r = p->retener()) retenciones.push_back(std::move(r));
        p->senalar(SIGTERM);
    }
    const auto enMarcha = [&] { return std::ranges::any_of(agentes, [](const auto& p) { return p->enMarcha(); }); };
    for (double esperado = 0; esperado < gracia && enMarcha(); esperado += pausaParada) co_await dormir(pausaParada);
    for (const auto& p : agentes) p->senalar(SIGKILL);
    seguir();
}

}  // namespace

std::vector<std::shared_ptr<Proceso>> agentesEnMarcha() {
    std::vector<std::shared_ptr<Proceso>> lista;
    for (const auto& m : Trabajos::compartido().modelos())
        if (auto p = m->procesoAgente(); p && std::ranges::find(lista, p) == lista.end()) lista.push_back(std::move(p));
    return lista;
}

void pararAgentesAntesDeSalir(std::vector<std::shared_ptr<Proceso>> agentes, double gracia,
                              std::function<void()> seguir) {
    if (agentes.empty()) {
        seguir();
        return;
    }
    lanzar(pararAgentes(std::move(agentes), gracia, std::move(seguir)));
}

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
