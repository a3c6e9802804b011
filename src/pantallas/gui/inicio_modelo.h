#pragma once
// The native side of the home page ("inicio.html"): hands the page its data
// and carries out the messages it posts. A new one for each visit to the
// home screen.
//
//   native → page: window.inicio.datos(<home data>), .trabajos([job]) and
//                  .aviso({"texto"}), each guarded by `window.inicio &&`
//   page → native: {"tipo": ...} objects, one short handler per "tipo"
//
// Main thread only. Held by shared_ptr: the screen owns it, and the
// operations a message starts (detections, uploads) hold it until they end.
// It holds neither the account, the navigation nor the web view: when one
// is gone, whatever needs it does nothing.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cuenta/copia_local.h"
#include "ias/ia.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Cuenta;
class Navegacion;
class WebVista;

class InicioModelo : public std::enable_shared_from_this<InicioModelo> {
public:
    InicioModelo() = default;
    InicioModelo(const InicioModelo&) = delete;
    InicioModelo& operator=(const InicioModelo&) = delete;

    // The page's view, not owned: set by the screen, cleared (nullptr)
    // before the view goes.
    void fijarWeb(WebVista* web) { web_ = web; }
    WebVista* web() const { return web_; }
    void fijarCuenta(std::weak_ptr<Cuenta> cuenta) { cuenta_ = std::move(cuenta); }
    void fijarNav(std::weak_ptr<Navegacion> nav) { nav_ = std::move(nav); }

    // The whole home data to window.inicio.datos, then the jobs. Nothing
    // without the view or the account.
    void enviar();
    // The job list to window.inicio.trabajos.
    void enviarTrabajos();
    // Starts this run's check for a newer build (once per run); a newer
    // build found sends the data again, with its offer.
    void mirarActualizacion();
    // window.inicio.<nombre>(datos), fire and forget.
    void js(const std::string& nombre, const nlohmann::json& datos);

    // One message from the page; anything malformed is ignored.
    void recibir(const nlohmann::json& mensaje);

    // The local AI tools of the last detection, and whether one finished.
    const std::vector<IA>& ias() const { return ias_; }
    bool iasListas() const { return iasListas_; }

    // The script of one page call: "window.inicio && window.inicio.<funcion>(<JSON>)";
    // nothing when the argument cannot be written as JSON.
    static std::optional<std::string> textoLlamada(const std::string& funcion, const nlohmann::json& argumento);

private:
    using Json = nlohmann::json;
    using Manejador = void (InicioModelo::*)(const Json&, Cuenta&, Navegacion&);

    void listo(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void abrir(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void nuevo(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void crear(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void borrar(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void pararTrabajo(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void quitarTrabajo(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void abrirTrabajo(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void descartarCopia(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void abrirCopia(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void subirCopia(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void conectarIA(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void instalarIA(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void menu(const Json& m, Cuenta& cuenta, Navegacion& nav);
    void descargarActualizacion(const Json& m, Cuenta& cuenta, Navegacion& nav);

    // The local copy the message's "archivo" names; when there is none the
    // page is sent the copies as they are now.
    std::optional<CopiaLocal> buscarCopia(const Json& m, const Cuenta& cuenta);
    Tarea<void> detectar();
    Tarea<void> subir(CopiaLocal copia, std::shared_ptr<Cuenta> cuenta);
    void noDisponible(const std::string& que);

    WebVista* web_ = nullptr;
    std::weak_ptr<Cuenta> cuenta_;
    std::weak_ptr<Navegacion> nav_;
    std::vector<IA> ias_;
    bool iasListas_ = false;
};

}  // namespace sorvenia
