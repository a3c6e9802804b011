// Publishing a design as a temporary preview on the account service.
#include "cuenta/cuenta.h"

namespace sorvenia {

Tarea<Cuenta::Previa> Cuenta::previa(std::string id, std::string nombre, std::map<std::string, std::string> archivos) {
    auto yo = shared_from_this();
    auto llamada = llamadaPOST({{"accion", "previa"}}, 90,
                               {{"id", std::move(id)}, {"nombre", std::move(nombre)}, {"archivos", std::move(archivos)}});
    auto respuesta = co_await llamar<RespuestaPrevia>(std::move(llamada));
    co_return std::move(respuesta.previa);
}

}  // namespace sorvenia
