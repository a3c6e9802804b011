#pragma once
// The native side of the settings page ("ajustes/ajustes.html"): the service
// keys, the AI clients that get the application's bridge, the user's own MCP
// connections, fonts and the AI-video switch.
//
//   native → page: window.ajustes.datos(<everything>), .resultado({"texto",
//                  "mal"?, "id"?}) and .conexionProbada({"id", "ok", "texto"})
//   page → native: {"tipo": ...} objects, one short handler per "tipo"
//
// The page keeps no state: every change is answered with the whole data
// again, read afresh (the keychain and the clients' files off the main
// thread). Main thread only; held by shared_ptr, and the operations a
// message starts hold it until they end; their answers go nowhere once the
// view is gone.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "plataforma/tarea.h"

namespace sorvenia {

class WebVista;

class AjustesModelo : public std::enable_shared_from_this<AjustesModelo> {
public:
    AjustesModelo() = default;
    AjustesModelo(const AjustesModelo&) = delete;
    AjustesModelo& operator=(const AjustesModelo&) = delete;

    // The page's view, not owned: cleared (nullptr) before the view goes.
    void fijarWeb(WebVista* web) { web_ = web; }
    WebVista* web() const { return web_; }
    // The tab the page opens on: "integraciones" or "agentes".
    void fijarPestana(std::string pestana) { pestana_ = std::move(pestana); }
    const std::string& pestana() const { return pestana_; }
    // What closes the sheet; does nothing until set.
    void fijarCerrar(std::function<void()> cerrar) { cerrar_ = std::move(cerrar); }
    // The file chooser for fonts: the chosen paths, or nothing when the
    // user cancelled. Does nothing until set.
    using Elegir = std::function<Tarea<std::optional<std::vector<std::string>>>()>;
    void fijarElegirFuentes(Elegir elegir) { elegirFuentes_ = std::move(elegir); }

    // Gathers everything and calls window.ajustes.datos.
    Tarea<void> enviar();
    // window.ajustes.<nombre>(datos), fire and forget.
    void js(const std::string& nombre, const nlohmann::json& datos);
    // One message from the page; anything malformed is ignored.
    void recibir(const nlohmann::json& mensaje);

    // The data object for the page, read now. Blocking: worker threads only.
    static nlohmann::json datos(const std::string& pestana);

private:
    using Json = nlohmann::json;
    using Manejador = void (AjustesModelo::*)(const Json&);

    void pedirDatos(const Json& m);
    void cerrar(const Json& m);
    void abrir(const Json& m);
    void copiar(const Json& m);
    void guardarClave(const Json& m);
    void videoIA(const Json& m);
    void guardarConexion(const Json& m);
    void activarConexion(const Json& m);
    void borrarConexion(const Json& m);
    void probarConexion(const Json& m);
    void anadirFuentes(const Json& m);
    void borrarFuente(const Json& m);
    void anadirAgente(const Json& m);

    Tarea<void> guardarClaveTarea(std::string id, std::string clave);
    Tarea<void> guardarConexionTarea(Json m);
    Tarea<void> cambiarConexion(std::string id, std::optional<bool> activa);
    Tarea<void> probarConexionTarea(std::string id);
    Tarea<void> anadirFuentesTarea();
    Tarea<void> borrarFuenteTarea(std::string familia);
    Tarea<void> anadirAgenteTarea(std::string id);
    // The open editor's page gets the new font list.
    static void fuentesAlEditor();

    WebVista* web_ = nullptr;
    std::string pestana_ = "integraciones";
    std::function<void()> cerrar_ = [] {};
    Elegir elegirFuentes_;
};

}  // namespace sorvenia
