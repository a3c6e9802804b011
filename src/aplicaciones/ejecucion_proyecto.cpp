// A project's local run, stopping it, the line runner and the project tests:
// the project model's side of ejecucion_local.h and en_vivo.h.

#include "aplicaciones/arbol_procesos.h"
#include "aplicaciones/buscar_node.h"
#include "aplicaciones/en_vivo.h"
#include "aplicaciones/proyecto_aplicacion.h"

namespace sorvenia {

EjecucionLocal& ProyectoAplicacion::ejecucion() {
    std::weak_ptr<ProyectoAplicacion> debil = weak_from_this();
    ejecucion_->fijarEnviar([debil](const nlohmann::json& mensaje) {
        if (const auto proyecto = debil.lock()) proyecto->enviar(mensaje);
    });
    return *ejecucion_;
}

Tarea<void> ProyectoAplicacion::arrancar() { return ejecucion().arrancar(); }

void ProyectoAplicacion::parar() { ejecucion_->parar(); }

Tarea<std::pair<bool, std::string>> ProyectoAplicacion::comprobar() { return ejecucion().comprobar(); }

Tarea<std::optional<ProyectoAplicacion::Node>> ProyectoAplicacion::buscarNode() {
    const auto encontrado = co_await sorvenia::buscarNode();
    if (!encontrado) co_return std::nullopt;
    co_return Node{encontrado->ruta, encontrado->version};
}

void ProyectoAplicacion::matarArbol(pid_t pid) { ArbolProcesos::matarArbol(pid); }

void ProyectoAplicacion::pararTodos() {
    for (const auto& proyecto : vivos()) proyecto->parar();
}

Tarea<std::pair<std::int32_t, std::string>> ProyectoAplicacion::enVivo(std::string programa,
                                                                      std::vector<std::string> argumentos,
                                                                      std::optional<std::filesystem::path> en,
                                                                      std::optional<Entorno> entorno,
                                                                      std::function<void(const std::string&)> linea) {
    auto fin = co_await sorvenia::enVivo(std::move(programa), std::move(argumentos), std::move(en), std::move(entorno),
                                         [linea = std::move(linea)](std::string l) {
                                             if (linea) linea(l);
                                         });
    co_return std::pair<std::int32_t, std::string>{fin.estado, std::move(fin.salida)};
}

}  // namespace sorvenia
