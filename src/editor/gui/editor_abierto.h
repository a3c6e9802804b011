#pragma once
// EditorAbierto: the model of one open design together with its editor page.
// It owns the page's web view (so a page can outlive its screen), opens the
// design into the page when the page says it is ready, routes every message
// the page posts, keeps the design's identity, name and pending document,
// and carries out the agents' canvas tools in the page.
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

#include "navegacion/plantilla.h"
#include "centro/agente.h"
#include "centro/evento_agente.h"
#include "cuenta/cuenta.h"
#include "cuenta/json_valor.h"
#include "cuenta/registros.h"
#include "centro/editor_modelo.h"
#include "ias/ia.h"
#include "plataforma/observadores.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Navegacion;
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
        return !errorCarga_ && (docPendiente_ || guardando_ || (listo_ && webRetenida_ && !cerrado_));
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

    // The page's change: the whole document becomes pending and is uploaded
    // 1.5 s after the last change (0.1 s for a design never uploaded).
    void cambio(const nlohmann::json& mensaje);
    // The page holds each change a moment before handing it over; before
    // quitting, leaving or closing, it is asked for what it holds, which
    // becomes the pending document. A page that does not answer within two
    // seconds is given up on.
    Tarea<void> recogerCambio();
    // The page call that hands the held change over ({"doc", "nombre",
    // "primera"} as in "cambio", or null), and how long it is waited for.
    static constexpr const char* textoEntregarCambio =
        "return window.tarvel && window.tarvel.entregarCambio ? window.tarvel.entregarCambio() : null;";
    static constexpr double segundosEntregarCambio = 2.0;
    // One upload attempt of the pending document; the outcome shows in the
    // page. `forzarMiniatura` draws a thumbnail even within 45 s of the last.
    Tarea<void> guardar(bool forzarMiniatura);
    Tarea<bool> guardarAhora() override;
    // The page's back action: saves with a fresh thumbnail, then goes home.
    Tarea<void> salir();
    // Closes a parked editor once its agent has finished and everything is
    // uploaded.
    void cerrarAparcado();
    bool guardando() const { return guardando_; }

    // One agent run on this design, from the page's "agente" message
    // (`pedido`) or with a VPS to work on: refused when no tool fits, when
    // this design already has one running or when the application runs as
    // many as it allows; otherwise a job of the registry, every event in
    // the page's chat, and the job's end when the process ends. Returns when
    // the run is over. Never throws.
    Tarea<void> agente(nlohmann::json pedido, std::optional<Agente::DestinoVPS> vps);
    // One event of the running agent as one message of the page's chat;
    // `ia` is the running tool's identifier ("claude", "codex", "gemini").
    void eventoAgente(const EventoAgente& evento, const std::string& ia);
    // How many agents may work at once in the whole application.
    static constexpr int limiteAgentes = 4;
    // The page's stop: the agent's process group is stopped (also when the
    // process is reported only after the stop).
    void pararAgente() override;
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

    // The document last posted by the page and not yet saved.
    const std::optional<JSONValor>& docPendiente() const { return docPendiente_; }
    const std::vector<nlohmann::json>& chats() const { return chats_; }
    const std::map<std::string, std::string>& sesiones() const { return sesiones_; }
    const std::string& ref() const { return ref_; }
    const std::optional<std::int64_t>& version() const { return version_; }
    const std::optional<Plantilla>& plantilla() const { return plantilla_; }
    bool cerrado() const { return cerrado_; }

    // A local copy the home screen hands to the next opening of its design.
    static std::optional<Cuenta::CopiaLocal> copiaParaAbrir;

    // The load payload for the page.
    static nlohmann::json argumentosCargar(nlohmann::json doc, nlohmann::json ias);
    // The publishing destinations as the page receives them.
    static nlohmann::json destinosJS(const RegistrosCuenta::Destinos& destinos);
    // The text evaluated in the page for one page call; nothing when the
    // argument cannot be written as JSON.
    static std::optional<std::string> textoLlamada(const std::string& funcion, const nlohmann::json& argumento);

    // The first mesa of the last posted document: the thumbnail's source.
    struct PrimeraMesa {
        std::string html;
        int w = 1440;
        int h = 900;
    };
    const std::optional<PrimeraMesa>& primeraMesa() const { return primeraMesa_; }

private:
    struct Clave {};
    // The tests' way to mark an agent run, which parks the editor when its
    // screen goes away.
    friend struct PruebaEditorAbierto;

public:
    EditorAbierto(Clave, Agente::Lanzador lanzador);

private:
    void fijarErrorCarga(std::optional<std::string> error);
    // A fresh reference for this editor's copy of the design.
    static std::string refNueva();
    void programarGuardado(double segundos);
    void pararTemporizador();
    Tarea<std::optional<std::string>> miniatura(bool forzar);
    // Steps 1-5 of a change: false when the message is ignored.
    bool aceptarCambio(const nlohmann::json& mensaje);
    void alGuardar(const DisenoResumen& d, bool eraNuevo);
    void alFallarGuardado(std::exception_ptr error, JSONValor doc);
    // A conflict or a deleted design: the design becomes a new one (once)
    // and is saved again, at once the first time, later after a growing
    // pause.
    void comoDisenoNuevo(bool conflicto);
    void reintentarTrasRechazo();
    // The copies this editor's earlier names (id or ref) left behind, once
    // a later upload holds their changes.
    void borrarCopiasSuperadas(Cuenta& cuenta);
    // The teardown's asynchronous end: takes the page's last change, keeps
    // the newest document as a local copy and uploads it.
    Tarea<void> despedirse(std::unique_ptr<WebVista> pagina);
    void vigilarSubida();
    void aparcar();
    Tarea<void> esperarYCerrarAparcado();
    void copiaDeLoPendiente();
    void guardarChats(const nlohmann::json& mensaje);
    // The agent run's parts (agente_editor.cpp).
    void errorEnChat(const std::string& texto);
    int agentesEnOtrosDisenos() const;
    Tarea<Resultado<std::int32_t>> correrAgente(Agente::PeticionAgente peticion, std::string ia);
    void finDeAgente(const Resultado<std::int32_t>& resultado);
    void terminarRun(std::optional<std::int32_t> codigo, std::optional<std::string> error);
    void noDisponible(const nlohmann::json& mensaje, const std::string& tipo);
    // The page's "publicar" (publicar_editor.cpp): saves first when the
    // design is new or changed, then publishes the message's pages to the
    // hosting ("destino" "hosting") or as a preview, and answers the page.
    Tarea<void> publicar(nlohmann::json mensaje);
    Tarea<void> guardarAntesDePublicar();
    Tarea<void> publicarEnHosting(nlohmann::json mensaje, std::shared_ptr<Cuenta> cuenta, std::string id,
                                  std::map<std::string, std::string> archivos);
    Tarea<void> publicarPrevia(std::shared_ptr<Cuenta> cuenta, std::string id,
                               std::map<std::string, std::string> archivos);
    // The site files with the scene videos their pages use uploaded first
    // (escenas_editor.cpp); never throws. subirEscenas gives the scenes
    // whose video is not in the account.
    Tarea<std::map<std::string, std::string>> conEscenasSubidas(std::vector<std::pair<std::string, std::string>> archivos,
                                                                std::shared_ptr<Cuenta> cuenta, std::string id);
    Tarea<std::set<std::string>> subirEscenas(std::set<std::string> usadas, std::shared_ptr<Cuenta> cuenta,
                                              std::string id);
    Tarea<void> redetectarIAs();
    void modeloIA(const nlohmann::json& mensaje);
    void abrirEnlace(const nlohmann::json& mensaje);
    void integracion(const nlohmann::json& mensaje);
    void enviarTrabajos();
    Tarea<std::optional<nlohmann::json>> abrirDeLaCuenta(std::shared_ptr<Cuenta> cuenta,
                                                         std::optional<Cuenta::CopiaLocal> elegida);
    static bool copiaUtilizable(const Cuenta& cuenta, const Cuenta::CopiaLocal& copia);
    void despuesDeCargar();
    void pedidoPendiente();
    void argumentosDePrueba();
    TareaLanzada mas(double segundos, std::function<void(EditorAbierto&)> accion);

    std::optional<std::string> errorCarga_;
    std::weak_ptr<Cuenta> cuenta_;
    std::weak_ptr<Navegacion> nav_;
    std::optional<std::string> id_;
    std::optional<std::int64_t> version_;
    std::optional<Plantilla> plantilla_;
    std::string nombre_ = "Sin título";
    std::optional<JSONValor> docPendiente_;
    // The document of the upload under way: kept until it ends, so that a
    // quit in the middle can still leave it on disk.
    std::optional<JSONValor> docEnVuelo_;
    // The account's modification time of the version last opened or saved:
    // what a local copy of this editor's changes is based on.
    std::optional<std::string> modificado_;
    // Set when the last upload attempt failed (cleared by a success).
    bool ultimoFallido_ = false;
    // Conflicts and deleted-design answers in a row, for the pause between
    // the saves they cause.
    int rechazosSeguidos_ = 0;
    // Numbers each upload, so that a late check knows whether the upload it
    // was started for still runs.
    std::uint64_t subidas_ = 0;
    // The names (id, ref) this editor's design had before a conflict or a
    // deleted design made it a new one, and when the editor was made.
    std::vector<std::pair<std::optional<std::string>, std::optional<std::string>>> nombresAnteriores_;
    std::chrono::system_clock::time_point creado_ = std::chrono::system_clock::now();
    // Between closing and the page's answer with its last change.
    bool despidiendose_ = false;
    std::optional<TareaLanzada> temporizador_;
    bool guardando_ = false;
    bool cerrado_ = false;
    std::string ref_;
    bool otraVez_ = false;
    // When the last thumbnail was drawn; none yet is as good as long ago.
    std::optional<std::chrono::steady_clock::time_point> ultimaMiniatura_;
    std::optional<PrimeraMesa> primeraMesa_;
    std::vector<IA> ias_;
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
    std::optional<RegistrosCuenta::Previa> previaInicial_;
    std::optional<RegistrosCuenta::Destinos> destinosIniciales_;
    Observadores<> cambios_;
};

}  // namespace sorvenia
