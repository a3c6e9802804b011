#pragma once
// The native side of the agency page ("agencia.html"): hands the page the
// stored workspace, the account's designs, the running jobs and the signed-in
// customer; keeps the page's saves in the local agency file; uploads them to
// the account over the version they were based on and reports conflicts with
// the account's copy; and carries out the page's requests to leave, open or
// create a design, write an e-mail or place a call.
//
//   native → page: window.agencia.datos / .disenos / .trabajos / .guardado /
//                  .subido / .aviso, each guarded by `window.agencia &&`
//   page → native: {"tipo": ...} objects, one short handler per "tipo"
//
// Main thread only. Held by shared_ptr: the screen owns it, and a running
// upload holds it until it ends, so leaving the screen never cuts one short.
// Each upload writes its result into the entry of the account that was
// signed in when it started.

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "pantallas/fichero_agencia.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Cuenta;
class Navegacion;
class WebVista;

class AgenciaModelo : public std::enable_shared_from_this<AgenciaModelo> {
public:
    explicit AgenciaModelo(FicheroAgencia fichero = FicheroAgencia()) : fichero_(std::move(fichero)) {}
    AgenciaModelo(const AgenciaModelo&) = delete;
    AgenciaModelo& operator=(const AgenciaModelo&) = delete;

    // The page's view, not owned: set by the screen, cleared (nullptr)
    // before the view goes.
    void fijarWeb(WebVista* web) { web_ = web; }
    WebVista* web() const { return web_; }
    void fijarCuenta(std::weak_ptr<Cuenta> cuenta) { cuenta_ = std::move(cuenta); }
    void fijarNav(std::weak_ptr<Navegacion> nav) { nav_ = std::move(nav); }
    const FicheroAgencia& fichero() const { return fichero_; }

    // The whole state to window.agencia.datos; nothing without the account.
    void enviarTodo();
    // The account's designs to window.agencia.disenos.
    void enviarDisenos();
    // The job list to window.agencia.trabajos.
    void enviarTrabajos();
    // window.agencia.<nombre>(datos), fire and forget.
    void js(const std::string& nombre, const nlohmann::json& datos);

    // One message from the page; anything malformed is ignored.
    void recibir(const nlohmann::json& mensaje);

    // The screen is going: a pending entry is uploaded, once a running
    // upload has ended.
    void alSalir();

    bool subiendo() const { return subiendo_ > 0; }

    // The account's designs as the page lists them.
    static nlohmann::json disenos(const Cuenta& cuenta);
    // The script of one page call; nothing when the argument cannot be
    // written as JSON.
    static std::optional<std::string> textoLlamada(const std::string& funcion, const nlohmann::json& argumento);

private:
    using Json = nlohmann::json;
    using Manejador = void (AgenciaModelo::*)(const Json&);

    void listo(const Json& m);
    void volver(const Json& m);
    void guardar(const Json& m);
    void subir(const Json& m);
    void abrirDiseno(const Json& m);
    void nuevoDiseno(const Json& m);
    void correo(const Json& m);
    void llamar(const Json& m);

    std::string claveCuenta() const;
    // Starts an upload of `datos` over `version` into the entry of `clave`.
    void empezarSubida(Json datos, std::int64_t version, std::string clave);
    // `yo` keeps the model alive from the start: the task may begin only
    // after the screen has let go of it.
    static Tarea<void> subida(std::shared_ptr<AgenciaModelo> yo, Json datos, std::int64_t version, std::string clave);

    WebVista* web_ = nullptr;
    std::weak_ptr<Cuenta> cuenta_;
    std::weak_ptr<Navegacion> nav_;
    FicheroAgencia fichero_;
    int subiendo_ = 0;  // uploads running
    bool saliendo_ = false;
};

}  // namespace sorvenia
