#pragma once
// Trabajos: the registry of the agent jobs of this run, one per design an
// agent was started on. It shows the pages what each agent is doing and how
// it ended, keeps the editor models of running jobs alive after the user
// leaves them (their pages parked off-screen), finds the model of a route
// key for the hub, and tells the user when a job of a parked design ends.
//
// Main thread only. Nothing is stored on disk.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "plataforma/observadores.h"

typedef struct _GSource GSource;

namespace sorvenia {

class EditorModelo;
class AperturaEditor;

class Trabajos {
public:
    using Instante = std::chrono::system_clock::time_point;

    // One job.
    struct Info {
        std::string clave;                // the editor's route key
        std::optional<std::string> id;    // the design's cloud id, once it has one
        std::string nombre;               // the design's name
        std::string ia;                   // who runs it, as the caller says; may be empty
        std::string estado;               // "trabajando", "listo", "pregunta", "parado" or "error"
        std::string paso;                 // the current step line, at most 140 letters
        std::string texto;                // the agent's latest text or the error, at most 240 letters
        std::string modo;                 // the kind of job ("diseno" for design work)
        Instante desde;                   // when the latest run started
        std::optional<Instante> hasta;    // when it ended; empty while running
    };

    // A notification for the user.
    struct Aviso {
        std::string identificador;
        std::string titulo;
        std::string cuerpo;
        bool operator==(const Aviso&) const = default;
    };
    using Avisador = std::function<void(const Aviso&)>;
    using Reloj = std::function<Instante()>;
    using Suscripcion = Observadores<>::Suscripcion;

    // The application's registry, made on first use.
    static Trabajos& compartido();

    // A registry of its own: `avisador` shows the user's notifications,
    // `reloj` dates the jobs.
    explicit Trabajos(Avisador avisador = avisarConAplicacion, Reloj reloj = std::chrono::system_clock::now);
    ~Trabajos();
    Trabajos(const Trabajos&) = delete;
    Trabajos& operator=(const Trabajos&) = delete;

    // Models kept alive, in registration order; each at most once.
    const std::vector<std::shared_ptr<EditorModelo>>& modelos() const { return modelos_; }
    void registrar(std::shared_ptr<EditorModelo> modelo);
    void quitar(const EditorModelo& modelo);
    // The first registered model with that route key.
    std::shared_ptr<EditorModelo> modelo(std::string_view clave) const;

    // Starts (or starts again) the model's job and puts it first.
    void empieza(const EditorModelo& modelo, std::string ia, std::string modo);
    // Updates a job's step, text and name (each when given) and its design
    // id; announced coalesced. Without a job, nothing.
    void progreso(const EditorModelo& modelo, std::optional<std::string> paso, std::optional<std::string> texto,
                  std::optional<std::string> nombre);
    // Ends the job with the process's exit code or an error. The job of a
    // parked design stays listed and the user is told; any other goes.
    void termina(const EditorModelo& modelo, std::optional<std::int32_t> codigo, std::optional<std::string> error);
    // The user has seen a finished job (or every finished job of a design).
    void visto(std::string_view clave);
    void vistoDiseno(const std::optional<std::string>& id);
    // Shows the job's design in the editor.
    void abrir(std::string_view clave, AperturaEditor* nav) const;

    // The jobs for the pages, most recently started first.
    nlohmann::json lista() const;
    const std::map<std::string, Info, std::less<>>& info() const { return info_; }

    // Told after every change of the list: at once for starts, ends and
    // removals, at most once per 0.35 s for progress.
    [[nodiscard]] Suscripcion observar(std::function<void()> observador);
    // Announces a change the registry cannot see itself (an editor parked).
    void anunciar() { cambio(false); }

    // Sends the notification through the running GApplication, if any.
    static void avisarConAplicacion(const Aviso& aviso);
    // Replaces how notifications are shown (tests watch them); gives the
    // previous way.
    Avisador usarAvisador(Avisador avisador) { return std::exchange(avisador_, std::move(avisador)); }

private:
    void cambio(bool pronto);
    void avisar(const Info& info) const;
    void alFrente(const std::string& clave);
    void borrar(std::string clave);

    Avisador avisador_;
    Reloj reloj_;
    std::vector<std::shared_ptr<EditorModelo>> modelos_;
    std::map<std::string, Info, std::less<>> info_;
    std::vector<std::string> orden_;
    struct DestruirFuente {
        void operator()(GSource* fuente) const;
    };

    std::unique_ptr<GSource, DestruirFuente> avisoPendiente_;  // the scheduled announcement
    Observadores<> cambiaron_;
};

// The notification of an ended job, as the user sees it.
Trabajos::Aviso avisoDe(const Trabajos::Info& info);

}  // namespace sorvenia
