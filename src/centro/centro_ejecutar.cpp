// Where each tool call goes.
#include "centro/centro.h"
#include "centro/editor_modelo.h"
#include "centro/items_centro.h"
#include "centro/trabajos.h"
#include "integraciones/buscar_fotos.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

std::string temaDe(const Json& argumentos) {
    if (argumentos.is_object()) {
        const auto tema = argumentos.find("tema");
        if (tema != argumentos.end() && tema->is_string()) return tema->get<std::string>();
    }
    return "encargo";
}

}  // namespace

Tarea<Json> Centro::ejecutar(std::string nombre, Json argumentos, std::optional<std::string> clave) {
    // The names are compared exactly: any other name, even one no tool of
    // the catalogue bears, is the editor's to answer.
    if (nombre == "guia") co_return unTexto(guia(temaDe(argumentos)));
    if (nombre == "disenos") co_return co_await disenos(std::move(argumentos), std::move(clave));
    // The photo search needs neither a route key nor an open design.
    if (nombre == "buscar_fotos") co_return co_await BuscarFotos::herramienta(std::move(argumentos));
    if (nombre == "proponer_conexion") {
        if (!proponerConexion) co_return unError("Ahora mismo no se pueden guardar conexiones en Sorvenia Code.");
        co_return co_await proponerConexion(std::move(argumentos));
    }

    if (clave) {
        // An agent of one editor always reaches that editor, parked or not.
        const auto modelo = Trabajos::compartido().modelo(*clave);
        if (!modelo)
            co_return unError(
                "El diseño en el que trabajabas ya se ha cerrado en Sorvenia Code. Para aquí y dile al usuario que "
                "vuelva a abrirlo y te lo pida otra vez.");
        co_return co_await modelo->herramienta(std::move(nombre), std::move(argumentos), std::nullopt);
    }
    const auto abierto = editor.lock();
    if (!abierto)
        co_return unError(
            "No hay ningún diseño abierto en Sorvenia Code. Usa la herramienta disenos para abrir uno (abrir=id) o "
            "crear uno (nuevo=nombre).");
    co_return co_await abierto->herramienta(std::move(nombre), std::move(argumentos), clienteExterno_);
}

}  // namespace sorvenia
