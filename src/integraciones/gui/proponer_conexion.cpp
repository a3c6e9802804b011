#include "integraciones/gui/proponer_conexion.h"

#include "integraciones/conexiones.h"
#include "plataforma/gui/alerta.h"

namespace sorvenia {

Tarea<nlohmann::json> proponerConexion(nlohmann::json argumentos, GtkWindow* padre) {
    const auto existentes = co_await enSegundoPlano([] { return Conexiones::lista(); });
    const auto propuesta = Conexiones::propuesta(argumentos, existentes);
    const auto boton = co_await alerta(padre, propuesta.mensaje, propuesta.informativo, {"Guardar", "No"});
    if (boton != std::optional<std::size_t>(0)) co_return Conexiones::rechazada();
    auto item = co_await enSegundoPlano([propuesta] { return Conexiones::guardarPropuesta(propuesta); });
    const bool guardada = !item.at(0).contains("error");
    if (guardada)
        if (auto ultima = Conexiones::ultimaGuardada()) lanzar(Conexiones::buscarLogo(std::move(*ultima)));
    co_return item;
}

}  // namespace sorvenia
