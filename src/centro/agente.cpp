// One agent run: a private work folder, the command, the child process with
// its output lines turned into events, and the folder gone afterwards.
#include "centro/agente.h"

#include "centro/agente_lineas.h"
#include "centro/agente_orden.h"
#include "ias/ejecutar_por_lineas.h"
#include "ias/preparar_carpeta.h"

namespace sorvenia::Agente {
namespace {

struct Preparado {
    std::shared_ptr<CarpetaTemporal> carpeta;
    OrdenAgente orden;
};

Resultado<Preparado> preparar(const PeticionAgente& peticion) {
    auto carpeta = IAsLocales::prepararCarpeta();
    if (!carpeta) return carpeta.fallo();
    auto propia = std::make_shared<CarpetaTemporal>(std::move(*carpeta));
    const Alrededor alrededor = alrededorReal(propia->ruta());
    if (peticion.ia.tipo == IA::Tipo::codex) return Preparado{propia, ordenCodex(peticion, alrededor)};
    auto orden = ordenClaude(peticion, alrededor);
    if (!orden) return orden.fallo();
    return Preparado{propia, std::move(*orden)};
}

// Removing a tree is file work: off the main thread.
Tarea<void> borrar(std::shared_ptr<CarpetaTemporal> carpeta) {
    co_await enSegundoPlano([carpeta = std::move(carpeta)]() mutable { carpeta.reset(); });
}

}  // namespace

Tarea<Resultado<std::int32_t>> lanzar(PeticionAgente peticion, std::function<void(std::shared_ptr<Proceso>)> proceso,
                                      EventosAgente eventos) {
    if (!peticion.ia.ruta) co_return Fallo{"Esta IA no está instalada.", "sin_ruta"};
    if (peticion.ia.tipo != IA::Tipo::claude && peticion.ia.tipo != IA::Tipo::codex)
        co_return Fallo{peticion.ia.nombre + " aún no puede trabajar en el tarvel.", "no_agente"};

    if (!eventos) eventos = [](EventoAgente) {};
    auto preparado = co_await enSegundoPlano([peticion] { return preparar(peticion); });
    if (!preparado) co_return preparado.fallo();
    auto carpeta = std::move(preparado->carpeta);
    OrdenAgente& orden = preparado->orden;

    const bool codex = peticion.ia.tipo == IA::Tipo::codex;
    const auto lector = codex ? &leerLineaCodex : &leerLineaClaude;
    auto fin = co_await IAsLocales::ejecutarPorLineas(
        *peticion.ia.ruta, std::move(orden.argumentos), std::move(orden.entrada), orden.carpeta, orden.limite,
        std::move(proceso), std::move(orden.entorno), [lector, eventos](std::string linea) { lector(linea, eventos); });
    // Codex never reports the end of its turn: the process's end is it.
    if (fin && codex) eventos(EventoAgente{EventoAgente::Fin{}});
    co_await borrar(std::move(carpeta));
    if (!fin) co_return fin.fallo();
    co_return fin->estado;
}

}  // namespace sorvenia::Agente
