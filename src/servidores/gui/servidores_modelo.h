#pragma once
// The native side of the servers page ("servidores/servidores.html"): the
// customer's VPS servers (the account's and their own), access with the
// application's key, live status, terminals and the remote file browser.
//
//   native → page: window.servidores.<función>(<JSON>), guarded by
//                  `window.servidores &&`: lista, prueba, acceso, datos,
//                  terminalFin, estado, archivos, verArchivo, aviso, chat
//   page → native: {"tipo": ...} objects, one short handler per "tipo"
//
// Main thread only. Held by shared_ptr: the screen owns it, and the tasks a
// message starts hold it weakly and stop when it is gone. Terminal output is
// gathered per terminal and sent at most once every 16 ms, in Base64, so any
// bytes survive; the page draws it as terminal text, never as HTML.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ias/ia.h"
#include "plataforma/tarea.h"
#include "servidores/chat_administrador.h"
#include "servidores/estado_servidor.h"

namespace sorvenia {

class Cuenta;
class Navegacion;
class TerminalPTY;
class WebVista;

class ServidoresModelo : public std::enable_shared_from_this<ServidoresModelo> {
public:
    using Json = nlohmann::json;

    ServidoresModelo() = default;
    ~ServidoresModelo();
    ServidoresModelo(const ServidoresModelo&) = delete;
    ServidoresModelo& operator=(const ServidoresModelo&) = delete;

    // The page's view, not owned: set by the screen, cleared before it goes.
    void fijarWeb(WebVista* web) { web_ = web; }
    WebVista* web() const { return web_; }
    void fijarCuenta(std::weak_ptr<Cuenta> cuenta) { cuenta_ = std::move(cuenta); }
    void fijarNav(std::weak_ptr<Navegacion> nav) { nav_ = std::move(nav); }

    // One message from the page; anything malformed is ignored.
    void recibir(const Json& mensaje);

    // window.servidores.<nombre>(datos), fire and forget; nothing without a view.
    void js(const std::string& nombre, const Json& datos);

    // Ends every terminal's process group, every AI administrator run still
    // alive and the shared ssh connections this screen used. On "volver",
    // when the screen goes, and at quitting.
    void cerrarTodo();

    // The launch argument "--servidores-prueba": server 0 is this computer.
    static bool prueba();

    // The open terminals' ids (tests).
    std::size_t terminalesAbiertas() const { return terminales_.size(); }

    // The AI administrator's chat; made on first use.
    ChatAdministrador& chat();
    // What the administrator's runs use (tests give their own); before the
    // first "chat" message.
    void fijarPiezasChat(ChatAdministrador::Piezas piezas) { piezasChat_ = std::move(piezas); }

    // The script of one page call; nothing when the value cannot be JSON.
    static std::optional<std::string> textoLlamada(const std::string& funcion, const Json& argumento);

private:
    using Manejador = void (ServidoresModelo::*)(const Json&);

    void listo(const Json& m);
    void volver(const Json& m);
    void acceso(const Json& m);
    void abrirTerminal(const Json& m);
    void teclas(const Json& m);
    void tam(const Json& m);
    void cerrarTerminal(const Json& m);
    void pedirEstado(const Json& m);
    void pedirArchivos(const Json& m);
    void pedirVer(const Json& m);
    void pedirDescarga(const Json& m);
    void pedirSubida(const Json& m);
    void operacion(const Json& m);
    void anadirVPS(const Json& m);
    void enlace(const Json& m);
    void elegirModelo(const Json& m);
    void pedirChat(const Json& m);
    void parar(const Json& m);
    void olvidar(const Json& m);

    Tarea<void> enviarLista();
    Tarea<void> comprobarAcceso(std::int64_t servidor, std::string ip, std::optional<std::string> password);
    Tarea<void> estado(std::int64_t servidor);
    Tarea<void> listar(std::int64_t servidor, std::string ruta);
    Tarea<void> ver(std::int64_t servidor, std::string ruta);
    Tarea<void> descargar(std::int64_t servidor, std::string ruta);
    Tarea<void> subir(std::int64_t servidor, std::string ruta);
    Tarea<void> operar(std::string tipo, std::int64_t servidor, Json datos);

    void encolar(const std::string& tid, std::string bytes);
    void vaciar();
    void usar(std::int64_t servidor) { usados_.insert(servidor); }

    WebVista* web_ = nullptr;
    std::weak_ptr<Cuenta> cuenta_;
    std::weak_ptr<Navegacion> nav_;
    std::map<std::string, std::shared_ptr<TerminalPTY>> terminales_;
    std::map<std::string, std::string> pendiente_;
    bool vaciando_ = false;
    std::map<std::int64_t, EstadoServidor::Muestra> anterior_;
    std::set<std::int64_t> usados_;  // servers this screen reached over ssh
    std::vector<IA> ias_;            // the local AI tools found by the last list
    std::shared_ptr<ChatAdministrador> chat_;
    std::optional<ChatAdministrador::Piezas> piezasChat_;
};

}  // namespace sorvenia
