#include "centro/manejador_tarea.h"

#include <exception>
#include <utility>

namespace sorvenia {
namespace {

Tarea<void> correr(TareaHerramienta tarea, PeticionHerramienta peticion, AlTerminarHerramienta terminar) {
    nlohmann::json items;
    try {
        items = co_await tarea(std::move(peticion));
    } catch (const std::exception& e) {
        items = itemsDeError(e.what());
    } catch (...) {
        items = itemsDeError("");
    }
    terminar(std::move(items));
}

}  // namespace

ManejadorHerramienta manejadorDeTarea(TareaHerramienta tarea) {
    return [tarea = std::move(tarea)](PeticionHerramienta peticion, AlTerminarHerramienta terminar) {
        lanzar(correr(tarea, std::move(peticion), std::move(terminar)));
    };
}

}  // namespace sorvenia
