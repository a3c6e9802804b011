#pragma once
// Centro: the application's hub for AI agents. One object for the whole run,
// on the main thread. It owns the local MCP server, starts it, leaves the
// connection file and the installed bridge for outside AI clients, and holds
// what tool calls need: the account, the navigation, the open design and the
// outside client's display name.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "centro/respuesta_mcp.h"
#include "centro/servidor_mcp.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class AperturaEditor;
class Cuenta;
class EditorModelo;

class Centro {
public:
    static Centro& compartido();

    // First call: installs the handlers and instructions on the server,
    // starts it in the background (port 39847, else any free one), then
    // writes the connection file; installs the bridge at once. Every call
    // refreshes the two references; later calls start nothing.
    void arrancar(std::weak_ptr<Cuenta> cuenta, std::weak_ptr<AperturaEditor> nav);

    // The tool-call dispatcher, on the main thread. It answers the design
    // guides and the design list itself; every canvas tool goes to one
    // editor: the one of the route key (agents launched from an editor),
    // or the one open in the window (outside clients, without key). Never
    // throws: every failure is an item with "error" true.
    Tarea<nlohmann::json> ejecutar(std::string nombre, nlohmann::json argumentos, std::optional<std::string> clave);

    // The text of one design guide: "agente", "encargo" (also for an empty
    // topic), or a skill shipped among the resources.
    static std::string guia(std::string_view tema);

    // When the application ends: the open editor, then every editor the job
    // registry holds, are closed, and the listener with them.
    void alTerminar();

    ServidorMCP& mcp() { return mcp_; }
    const std::string& clienteExterno() const { return clienteExterno_; }
    bool arrancado() const { return arrancado_; }
    std::weak_ptr<Cuenta> cuenta;
    std::weak_ptr<AperturaEditor> nav;
    std::weak_ptr<EditorModelo> editor;
    // Asks the user whether to keep a connection an agent proposes, and
    // gives the tool's items; set by the application's window. Unset:
    // the tool is refused.
    std::function<Tarea<nlohmann::json>(nlohmann::json argumentos)> proponerConexion;

private:
    Centro() = default;
    void guardarConexion();
    void instalarPuente();
    Tarea<nlohmann::json> disenos(nlohmann::json argumentos, std::optional<std::string> clave);
    Tarea<nlohmann::json> listarDisenos(std::shared_ptr<Cuenta> cuenta);
    Tarea<nlohmann::json> abrirDiseno(std::shared_ptr<AperturaEditor> nav, std::string id);
    Tarea<nlohmann::json> crearDiseno(std::shared_ptr<AperturaEditor> nav, std::string nombre);

    ServidorMCP mcp_;
    std::string clienteExterno_ = "Agente";
    bool arrancado_ = false;
};

}  // namespace sorvenia
