#include "navegacion/argumentos_lanzamiento.h"

#include "navegacion/navegacion.h"
#include "plataforma/argumentos.h"

namespace sorvenia {

void aplicarArgumentosLanzamiento(const std::vector<std::string>& argumentos, bool conectado, Navegacion& nav) {
    if (!conectado) return;
    if (Argumentos::contiene(argumentos, "--servidores-prueba") || Argumentos::contiene(argumentos, "--servidores")) {
        nav.fijarPantalla(Navegacion::Pantalla::servidores());
    } else if (Argumentos::contiene(argumentos, "--nuevo")) {
        const std::string id = Argumentos::valorTras(argumentos, "--nuevo").value_or("escritorio");
        nav.fijarPantalla(Navegacion::Pantalla::editor(std::nullopt, Plantilla::conId(id)));
    } else if (const auto id = Argumentos::valorTras(argumentos, "--abrir")) {
        nav.fijarPantalla(Navegacion::Pantalla::editor(*id, std::nullopt));
    }
}

}  // namespace sorvenia
