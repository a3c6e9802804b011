#include "editor_doble.h"

namespace sorvenia::prueba {

Tarea<nlohmann::json> EditorDoble::herramienta(std::string nombre, nlohmann::json argumentos,
                                               std::optional<std::string> externo) {
    llamadas.push_back({std::move(nombre), std::move(argumentos), std::move(externo)});
    co_return respuesta;
}

Tarea<bool> EditorDoble::guardarAhora() {
    ++guardados;
    if (tardaGuardar > 0) co_await dormir(tardaGuardar);
    pendiente = false;
    co_return true;
}

void EditorDoble::pararAgente() { IAsLocales::matar(proceso); }

}  // namespace sorvenia::prueba
