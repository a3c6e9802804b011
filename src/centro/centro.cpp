#include "centro/centro.h"

#include <syslog.h>
#include <unistd.h>

#include <array>
#include <filesystem>

#include "centro/arranque_centro.h"
#include "centro/manejador_tarea.h"
#include "centro/modo_agente.h"
#include "centro/trabajos.h"
#include "comun/conexion_tarvel.h"
#include "centro/editor_modelo.h"

namespace sorvenia {
namespace {

std::filesystem::path ejecutablePropio() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

}  // namespace

Centro& Centro::compartido() {
    // Never released: the server's threads may still be winding down when
    // static destructors would run.
    static Centro* centro = new Centro();
    return *centro;
}

void Centro::arrancar(std::weak_ptr<Cuenta> c, std::weak_ptr<Navegacion> n) {
    cuenta = std::move(c);
    nav = std::move(n);
    if (arrancado_) return;
    arrancado_ = true;

    mcp_.ponerEjecutar(manejadorDeTarea([](PeticionHerramienta p) {
        return Centro::compartido().ejecutar(std::move(p.nombre), std::move(p.argumentos), std::move(p.clave));
    }));
    mcp_.ponerAlInicializar([](std::string nombre) {
        enPrincipal([nombre = std::move(nombre)] { Centro::compartido().clienteExterno_ = nombreBonito(nombre); });
    });
    mcp_.ponerInstrucciones(instruccionesCentro());

    (void)lanzar([](Centro* yo) -> Tarea<void> {
        // Binding may wait a few seconds for each listener: off the main
        // thread. A failure leaves the port at 0, which guardarConexion logs.
        auto escuchar = [yo] { (void)yo->mcp_.arrancar(ConexionTarvel::puerto); };
        co_await enSegundoPlano(std::move(escuchar));
        yo->guardarConexion();
    }(this));
    instalarPuente();
}

void Centro::guardarConexion() {
    if (mcp_.puerto() == 0) {
        syslog(LOG_WARNING, "Sorvenia Code: no se ha podido abrir el servidor MCP");
        return;
    }
    (void)escribirConexion(ConexionTarvel::fichero(), mcp_.puerto(), mcp_.token());
}

void Centro::instalarPuente() {
    const auto propio = ejecutablePropio();
    if (propio.empty()) return;
    copiarPuente(propio.parent_path() / "tarvel-mcp", ConexionTarvel::puente());
}

void Centro::alTerminar() {
    if (const auto abierto = editor.lock()) abierto->cerrar();
    // A copy: closing takes each model out of the registry. The open editor
    // is usually among them; a second cerrar does nothing.
    const auto modelos = Trabajos::compartido().modelos();
    for (const auto& modelo : modelos) modelo->cerrar();
    mcp_.parar();
}

}  // namespace sorvenia
