#pragma once
// EditorAbierto: the model of one open design together with its editor page.
// It owns the page's web view (so a page can outlive its screen), opens the
// design into the page when the page says it is ready, routes every message
// the page posts, keeps the design's identity, name and pending document,
// and carries out the agents' canvas tools in the page. It owns the parts
// with headers of their own: the autosave (AutoguardadoEditor), publishing
// (PublicacionEditor) and the table of the page's messages
// (mensajes_editor.cpp).
//
// Main thread only. Always held by shared_ptr: the window's editor screen,
// the job registry and the hub share it, and its asynchronous steps hold it
// while they wait.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "aplicaciones/entorno_movil.h"
#include "aplicaciones/proyecto_aplicacion.h"
#include "centro/agente.h"
#include "centro/editor_modelo.h"
#include "centro/evento_agente.h"
#include "cuenta/cuenta.h"
#include "cuenta/json_valor.h"
#include "cuenta/registros.h"
#include "editor/gui/autoguardado_editor.h"
#include "editor/gui/publicacion_editor.h"
#include "editor/recursos_generados.h"
#include "ias/ia.h"
#include "ias/inicio_sesion.h"
#include "navegacion/plantilla.h"
#include "plataforma/observadores.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Navegacion;
class VistaApp;
class WebVista;

class EditorAbierto final : public EditorModelo, public std::enable_shared_from_this<EditorAbierto> {
public:
    // `lanzador` runs the agents of this design (Agente::lanzar in the
    // application); without one, agent requests are refused.
    static std::shared_ptr<EditorAbierto> crear(Agente::Lanzador lanzador = {});
    ~EditorAbierto() override;

    // EditorModelo
    const std::string& clave() const override { return clave_; }
    const std::optional<std::string>& id() const override { return id_; }
    const std::string& nombre() const override { return nombre_; }
    bool listo() const override { return listo_; }
    bool aparcado() const override { return aparcado_; }
    Tarea<nlohmann::json> herramienta(std::string nombre, nlohmann::json argumentos,
                                      std::optional<std::string> externo) override;
    void renombrar(std::string nombre) override;
    void js(std::string funcion, nlohmann::json argumento) override;
    void cerrar() override;
    bool porGuardar() const override {
        return !errorCarga_ &&
               (autoguardado_.docPendiente() || autoguardado_.guardando() || (listo_ && webRetenida_ && !cerrado_));
    }
    std::shared_ptr<Proceso> procesoAgente() const override { return procesoAgente_; }
    bool agenteEnMarcha() const override { return agenteEnMarcha_; }

    // Binds the editor to the window's account and navigation and to the
    // design it shows (a parked editor keeps its own design), makes it the
    // hub's open editor and registers it with the job registry.
    void preparar(std::weak_ptr<Cuenta> cuenta, std::weak_ptr<Navegacion> nav, std::optional<std::string> id,
                  std::optional<Plantilla> plantilla);
    // The editor's screen went away.
    void alSalir();
    // A parked editor taken back by a new screen: its parked close must
    // leave it alone.
    void reservar() { reservado_ = true; }

    // The page's web view, made on first use and kept until cerrar().
    WebVista& webEditor();
    WebVista* web() const { return webRetenida_.get(); }

    // Why the design cannot be shown; observers hear of every change.
    const std::optional<std::string>& errorCarga() const { return errorCarga_; }
    using Suscripcion = Observadores<>::Suscripcion;
    [[nodiscard]] Suscripcion observar(std::function<void()> observador) { return cambios_.observar(std::move(observador)); }

    // Each accepted message of the page, already a JSON object.
    void recibir(const nlohmann::json& mensaje);

    // The autosave (autoguardado_editor.h) does the work of the next calls.
    //
    // The page's change: the whole document becomes pending and is uploaded
    // 1.5 s after the last change (0.1 s for a design never uploaded).
    void cambio(const nlohmann::json& mensaje) { autoguardado_.cambio(mensaje); }
    // The page holds each change a moment before handing it over; before
    // quitting, leaving or closing, it is asked for what it holds, which
    // becomes the pending document. A page that does not answer within two
    // seconds is given up on.
    Tarea<void> recogerCambio() { return autoguardado_.recogerCambio(); }
    // The page call that hands the held change over ({"doc", "nombre",
    // "primera"} as in "cambio", or null), and how long it is waited for.
    static constexpr const char* textoEntregarCambio =
        "return window.tarvel && window.tarvel.entregarCambio ? window.tarvel.entregarCambio() : null;";
    static constexpr double segundosEntregarCambio = 2.0;
    // One upload attempt of the pending document; the outcome shows in the
    // page. `forzarMiniatura` draws a thumbnail even within 45 s of the last.
    Tarea<void> guardar(bool forzarMiniatura) { return autoguardado_.guardar(forzarMiniatura); }
    Tarea<bool> guardarAhora() override { return autoguardado_.guardarAhora(); }
    // The page's back action: saves with a fresh thumbnail, then goes home.
    Tarea<void> salir();
    // Closes a parked editor once its agent has finished and everything is
    // uploaded.
    void cerrarAparcado();
    bool guardando() const { return autoguardado_.guardando(); }

    // One agent run on this design, from the page's "agente" message
    // (`pedido`) or with a VPS to work on: refused when no tool fits, when
    // this design already has one running or when the application runs as
    // many as it allows; otherwise a job of the registry, every event in
    // the page's chat, and the job's end when the process ends. Returns when
    // the run is over: the process's exit status, or nothing when the run
    // was refused or could not start. A text "chat" in `pedido` shows in the
    // chat as the user's request. Never throws.
    Tarea<std::optional<std::int32_t>> agente(nlohmann::json pedido, std::optional<Agente::DestinoVPS> vps);
    // One event of the running agent as one message of the page's chat;
    // `ia` is the running tool's identifier ("claude", "codex", "gemini").
    void eventoAgente(const EventoAgente& evento, const std::string& ia);
    // How many agents may work at once in the whole application.
    static constexpr int limiteAgentes = 4;
    // The page's stop: the agent's process group is stopped (also when the
    // process is reported only after the stop).
    void pararAgente() override;
    // Stores a generated image (its URL, as a rule a "data:" one) in the
    // design the page holds and returns the reference the design uses for
    // it, "recurso:generada-…", never the same one twice.
    std::string anadirRecursoGenerado(const std::string& src);
    // The page's image request ("generarImagen"): the customer's image
    // service, then "imagenGenerada" with the picture or why there is none.
    Tarea<void> generarImagen(nlohmann::json mensaje);
    // The page's snapshot of one artboard ("fotoMesa"): the rectangle, in
    // the view's points, as a JPEG data URL; no answer for a rectangle too
    // small, too large or outside the view.
    void fotoMesa(const nlohmann::json& mensaje);

    // The page's one-shot AI design ("ia"): one turn of the chosen tool,
    // its progress and partial page to the page, then "respuestaIA".
    Tarea<void> ia(nlohmann::json mensaje);
    // The page's sign-in of an AI tool, the code it types, and its cancel.
    void iniciarSesionIA(const nlohmann::json& mensaje);
    void codigoIA(const nlohmann::json& mensaje);
    void cancelarSesionIA();
    // The running sign-in, if any.
    const std::shared_ptr<IAsLocales::Inicio>& inicioSesion() const { return inicioSesion_; }

    // The tool the page asked for among `ias` ("claude", "codex" or
    // "gemini"); without a name, the first signed-in tool, else the first.
    static std::optional<IA> iaPedida(const std::vector<IA>& ias, const std::optional<std::string>& nombre);
    // What the user is told when iaPedida finds nothing.
    static std::string textoSinIA(const std::vector<IA>& ias, const std::optional<std::string>& nombre);
    // A step's input as the chat gets it: every text value longer than 300
    // letters is cut to 300 and "…" follows; other values are unchanged.
    static nlohmann::json entradaParaChat(const nlohmann::json& entrada);

    // Fills a newly ready page with its design. Runs once per "listo".
    Tarea<void> cargar();

    // The design's app project, made on first use (the page's "crear", an
    // agent run on the app): the design is saved first so it has an id; the
    // page hears of the new project's summary, or why there is none.
    Tarea<std::shared_ptr<ProyectoAplicacion>> asegurarProyecto(bool movil);
    // The part of an agent's brief about a native mobile app: where each app
    // goes, how to build and show it with what this computer has, and the
    // order of work. One paragraph of Spanish sentences.
    static std::string encargoMovil(const EntornoMovil& entorno);
    // The design's app project: found when the design loads, or made by
    // asegurarProyecto.
    const std::shared_ptr<ProyectoAplicacion>& proyecto() const { return proyecto_; }

    // The app panel's local run and tests (app_editor.cpp): "vista" runs the
    // app, "parar" stops it and says so, "comprobar" runs its tests and then
    // sends the summary again, "navegador" opens its address and "finder"
    // shows its folder. Nothing happens for a design without a project.
    Tarea<void> probarApp();
    void pararApp();
    Tarea<void> comprobarApp();
    void abrirAppEnNavegador();
    void mostrarCarpetaApp();
    // The app panel's deployment to a VPS (despliegue_editor.cpp), one step
    // of "estadoServidor", "plan", "desplegar" or "volver" with the page's
    // "servidor", "ip", "dominio" and "password": access to the server first
    // (the key installed with the password when it is not accepted), then
    // the deploy script over ssh; every phase and output line goes to the
    // page's "app". Nothing happens without a project or a server and IP.
    Tarea<void> despliegue(std::string accion, nlohmann::json mensaje);
    // The servers a deployment can go to, for the page's "app"
    // {"servidores": [{"id", "nombre", "ip", "so"}]}: the account's VPSs, then
    // the customer's own. When the account cannot be asked, its own ones
    // still come, with the reason in "texto".
    Tarea<void> servidoresApp();
    // Adds one of the customer's own servers ("nombre", "ip" trimmed of
    // blanks): {"anadido": id}, or {"texto": why not}.
    void anadirVPSApp(const nlohmann::json& mensaje);
    // After an agent's turn on the app: the summary, then (when there is an
    // app to run and the editor is not parked) a new local run and the
    // summary again.
    Tarea<void> trasAgenteApp();
    // The page's "vistaApp": lays the running app's preview over the page at
    // "rect" ({"x", "y", "w", "h"}, page points), loading "url" when it is
    // another; a null rect hides it. Malformed messages are ignored.
    void colocarVistaApp(const nlohmann::json& mensaje);
    // The preview, once the page has asked for one.
    VistaApp* vistaApp() const { return vistaApp_.get(); }

    // The document last posted by the page and not yet saved.
    const std::optional<JSONValor>& docPendiente() const { return autoguardado_.docPendiente(); }
    const std::vector<nlohmann::json>& chats() const { return chats_; }
    const std::map<std::string, std::string>& sesiones() const { return sesiones_; }
    const std::string& ref() const { return ref_; }
    const std::optional<std::int64_t>& version() const { return version_; }
    const std::optional<Plantilla>& plantilla() const { return plantilla_; }
    bool cerrado() const { return cerrado_; }

    // The load payload for the page.
    static nlohmann::json argumentosCargar(nlohmann::json doc, nlohmann::json ias);
    // The publishing destinations as the page receives them.
    static nlohmann::json destinosJS(const RegistrosCuenta::Destinos& destinos);
    // The text evaluated in the page for one page call; nothing when the
    // argument cannot be written as JSON.
    static std::optional<std::string> textoLlamada(const std::string& funcion, const nlohmann::json& argumento);

    // Runs `accion` after `segundos`, unless the editor is gone or closed by
    // then.
    TareaLanzada mas(double segundos, std::function<void(EditorAbierto&)> accion);

    // What the test build does with each editor once its design is in the
    // page (orders from its command line). The test channel sets it at
    // start; the application leaves it empty.
    using AlCargar = std::function<void(EditorAbierto&)>;
    static void alCargarEnPruebas(AlCargar accion);

    // The first mesa of the last posted document: the thumbnail's source.
    using PrimeraMesa = AutoguardadoEditor::PrimeraMesa;
    const std::optional<PrimeraMesa>& primeraMesa() const { return autoguardado_.primeraMesa(); }

private:
    struct Clave {};
    // The tests' way to mark an agent run, which parks the editor when its
    // screen goes away.
    friend struct PruebaEditorAbierto;
    // The page's message handlers (mensajes_editor.cpp).
    friend struct MensajesEditor;
    friend class PublicacionEditor;
    friend class AutoguardadoEditor;

public:
    EditorAbierto(Clave, Agente::Lanzador lanzador);

private:
    void fijarErrorCarga(std::optional<std::string> error);
    // A fresh reference for this editor's copy of the design.
    static std::string refNueva();
    // The teardown's asynchronous end: takes the page's last change, keeps
    // the newest document as a local copy and uploads it.
    Tarea<void> despedirse(std::unique_ptr<WebVista> pagina);
    void aparcar();
    Tarea<void> esperarYCerrarAparcado();
    // The agent run's parts (agente_editor.cpp).
    void errorEnChat(const std::string& texto);
    int agentesEnOtrosDisenos() const;
    Tarea<Resultado<std::int32_t>> correrAgente(Agente::PeticionAgente peticion, std::string ia);
    void finDeAgente(const Resultado<std::int32_t>& resultado);
    void terminarRun(std::optional<std::int32_t> codigo, std::optional<std::string> error);
    // The AI design turns and sign-in's parts (ia_editor.cpp).
    void empezarIA(const nlohmann::json& mensaje);
    void pararTurnosIA();
    Tarea<void> finDeSesionIA(std::string ia, bool sesion);
    void enviarTrabajos();
    Tarea<std::optional<nlohmann::json>> abrirDeLaCuenta(std::shared_ptr<Cuenta> cuenta,
                                                         std::optional<Cuenta::CopiaLocal> elegida);
    static bool copiaUtilizable(const Cuenta& cuenta, const Cuenta::CopiaLocal& copia);
    void despuesDeCargar();
    // Takes `proyecto` as the design's project: its messages go to the
    // page's "app", and the page gets its first summary.
    void usarProyecto(std::shared_ptr<ProyectoAplicacion> proyecto);
    // asegurarProyecto's work once no other request is making the project.
    Tarea<std::shared_ptr<ProyectoAplicacion>> crearProyecto(bool movil);
    void pedidoPendiente();
    // An app run's target: the design's project (made when missing), the
    // design's pages written into it; nothing when there is no project.
    Tarea<std::optional<Agente::DestinoApp>> prepararApp(nlohmann::json pedido);

    std::optional<std::string> errorCarga_;
    std::weak_ptr<Cuenta> cuenta_;
    std::weak_ptr<Navegacion> nav_;
    std::optional<std::string> id_;
    RecursosGenerados recursosGenerados_;
    std::optional<std::int64_t> version_;
    std::optional<Plantilla> plantilla_;
    std::string nombre_ = "Sin título";
    // Between closing and the page's answer with its last change.
    bool despidiendose_ = false;
    bool cerrado_ = false;
    std::string ref_;
    std::vector<IA> ias_;
    // The AI design turns under way, and the sign-in of an AI tool.
    std::vector<TareaLanzada> turnosIA_;
    std::shared_ptr<IAsLocales::Inicio> inicioSesion_;
    // The video export under way, which the page may cancel.
    TareaLanzada exportacionVideo_;
    std::string clave_;
    Agente::Lanzador lanzador_;
    // The running agent's process, to stop it; held until the run ends.
    std::shared_ptr<Proceso> procesoAgente_;
    bool pararPedido_ = false;  // the user stopped this run
    bool agenteEnMarcha_ = false;
    bool aparcado_ = false;
    std::unique_ptr<WebVista> webRetenida_;
    bool reservado_ = false;
    std::optional<Observadores<>::Suscripcion> observadorTrabajos_;
    bool listo_ = false;
    std::map<std::string, std::string> sesiones_;
    std::vector<nlohmann::json> chats_;
    std::shared_ptr<ProyectoAplicacion> proyecto_;
    bool creandoProyecto_ = false;  // one creation at a time: a second request waits for it
    std::unique_ptr<VistaApp> vistaApp_;
    // The running agent works on the app project (its session is the project's).
    bool trabajandoApp_ = false;
    AutoguardadoEditor autoguardado_{*this};
    PublicacionEditor publicacion_{*this};
    Observadores<> cambios_;
};

}  // namespace sorvenia
