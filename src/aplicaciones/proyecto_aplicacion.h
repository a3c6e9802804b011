#pragma once
// ProyectoAplicacion: one app project, a Node web application in a folder of
// its own under "~/Sites/Sorvenia Code" that the AI agents build from a
// design by written plans, and that the user runs, tests and deploys from the
// editor. The editor model of the open design owns it (one per design that
// has a project) and hands it an `enviar` callback: every message for the
// editor page's app panel goes out through it.
//
// Main thread only, except where a member says otherwise. Always held by
// shared_ptr (std::make_shared): the plan watch, the local run and the
// runners' callbacks hold it weakly and do nothing once it is gone.
//
// The members are implemented by concern, each in its own file:
//   proyecto_aplicacion.cpp   the object, where projects live, the state file,
//                             the design copy (lecturas_proyecto.* reads the
//                             state file and the plans)
//   crear_proyecto.cpp        creation from the templates, git, the mobile
//                             templates (nombres_proyecto.* derives the names)
//   plan_proyecto.cpp         plan documents, phase, progress, summary, watch
//   ejecucion_local.cpp ...   the local run, stopping it, the line runner and
//                             the project tests

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "aplicaciones/ejecucion_local.h"
#include "ias/caja.h"
#include "ias/proceso.h"
#include "plataforma/carpetas.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class ProyectoAplicacion final : public std::enable_shared_from_this<ProyectoAplicacion> {
public:
    // A message for the editor page's app panel: one JSON object, handed by
    // the editor to the page function `app`.
    using Enviar = std::function<void(const nlohmann::json&)>;
    // A value shared by a runner's task and its callbacks on other threads.
    template <class T>
    using Caja = IAsLocales::Caja<T>;

    // ---- The object, where projects live, the state file ----------------

    // The object for an existing folder; touches nothing on disk.
    explicit ProyectoAplicacion(std::filesystem::path carpeta);
    ~ProyectoAplicacion();
    ProyectoAplicacion(const ProyectoAplicacion&) = delete;
    ProyectoAplicacion& operator=(const ProyectoAplicacion&) = delete;

    // The project folder, fixed for the object's life.
    const std::filesystem::path& carpeta() const noexcept { return carpeta_; }

    // The root of every project: the home folder followed by
    // "Sites/Sorvenia Code" (computed once). Each project folder is a direct
    // child named by its slug.
    static const std::filesystem::path& raiz();

    // The project of a design: the folder that the preference "appDeDiseno"
    // (design id to folder name) names under raiz(), when it is a folder;
    // nothing for no id, no entry, or a missing folder (a stale entry stays).
    static std::shared_ptr<ProyectoAplicacion> de(const std::optional<std::string>& doc);
    // The same lookup under another root (tests).
    static std::shared_ptr<ProyectoAplicacion> deBajo(const std::filesystem::path& raiz,
                                                      const std::optional<std::string>& doc);

    // The state file ".sorvenia-code.json" in the project folder, as a JSON
    // object; a missing, unreadable or malformed file reads as {}.
    nlohmann::json estado() const;
    // Whether the state's "tipo" is the text "movil".
    bool esMovil() const;
    // The agent conversation id stored in the state ("sesion"), when a text.
    std::optional<std::string> sesion() const;
    // Stores it (nothing removes the key); other keys are kept.
    void fijarSesion(const std::optional<std::string>& sesion);
    // Replaces the folder "diseno" with these files (name, UTF-8 text); every
    // failure is ignored. Names that are not a plain file name are skipped.
    void guardarDiseno(const std::vector<std::pair<std::string, std::string>>& archivos);

    // The page callback. Assigning it starts (or restarts) the plan watch.
    void fijarEnviar(Enviar enviar);
    // Hands one message to the page callback (nothing before one is set).
    void enviar(const nlohmann::json& mensaje) const;

    // ---- Creation from the templates ---------------------------------------

    // Creates the project of design `doc` under raiz() from the resources'
    // "apps" folder: the folder named by slug(nombre) (made unique with "-2",
    // "-3"..., never an existing folder), "CLAUDE.md" and "AGENTS.md" from the
    // rules, ".gitignore", for a mobile app the personalised "ios" and
    // "android" templates and the state file, a git repository with its first
    // commit, and the "appDeDiseno" entry. The work runs on a worker; the
    // object is made on the main thread. Fails (code "plantilla") without the
    // resources, or with the file system's reason; then no entry is stored.
    static Tarea<Resultado<std::shared_ptr<ProyectoAplicacion>>> crear(std::string doc, std::string nombre, bool movil);
    // The blocking work of crear() with every place given (tests, and the
    // worker above): root, resources' "apps" folder, git program, and the
    // preference file to store "appDeDiseno" in. Gives the project folder.
    struct Lugares {
        std::filesystem::path raiz;
        std::optional<std::filesystem::path> apps;
        std::string git = "/usr/bin/git";
    };
    static Resultado<std::filesystem::path> crearCarpeta(const Lugares& lugares, const std::string& nombre, bool movil);

    // The folder name of a project: ASCII letters and digits joined by single
    // "-", at most 28 characters, beginning with a letter ("app-" is put in
    // front of one that does not; "app" for nothing left).
    static std::string slug(std::string_view nombre);

    // ---- Plan documents, phase, progress, summary ---------------------------

    struct Progreso {
        int hechas = 0;
        int total = 0;
        bool operator==(const Progreso&) const = default;
    };
    // Done and all tasks of the latest plan ("docs/superpowers/plans").
    Progreso progreso() const;
    // "inicio", "diseno", "construccion" or "lista".
    std::string fase() const;
    // The summary the page shows: "carpeta", "nombre", "fase",
    // "hayAplicacion", "hechas", "total", "vista", "diseno", "plan", and when
    // they apply "desplegada" and "movil".
    nlohmann::json resumen() const;
    // The watch's interval, in seconds.
    static constexpr double segundosVigia = 2.0;

    // ---- Local run, stopping it (implemented with the runners) --------------

    // Runs the app locally: stops the stored server, finds Node, picks a
    // free port from 4310, installs the packages when needed, starts
    // `npm start --silent` and reports every state through enviar().
    Tarea<void> arrancar();
    // A Node of 22.13 or newer on the login-shell PATH (work off the main
    // thread).
    struct Node {
        std::string ruta;
        std::string version;
    };
    static Tarea<std::optional<Node>> buscarNode();
    // The TCP port of the current or last run; 0 before the first.
    int puerto() const noexcept { return ejecucion_->puerto(); }
    // Whether a local server is stored and still running.
    bool enMarcha() const;
    // Stops the stored server's whole process tree (clears it first).
    void parar();
    // SIGTERM to `pid` and, depth first, to all its descendants.
    static void matarArbol(pid_t pid);
    // Every live project stops its server: the application's quit.
    static void pararTodos();
    // The project objects alive now (main thread).
    static std::vector<std::shared_ptr<ProyectoAplicacion>> vivos();

    // ---- Line runner, project tests ----------------------------------------

    // Runs `programa` (absolute path) with `argumentos` in folder `en`; each
    // output line (standard output and error together) goes to `linea`, on a
    // thread of the runner. `entorno`, when given, is the child's whole
    // environment. Gives (termination status, or -1 when it cannot start;
    // the collected output).
    static Tarea<std::pair<std::int32_t, std::string>> enVivo(std::string programa, std::vector<std::string> argumentos,
                                                             std::optional<std::filesystem::path> en,
                                                             std::optional<Entorno> entorno,
                                                             std::function<void(const std::string&)> linea);
    // Runs the project's `npm test --silent`, streaming its lines to the page.
    Tarea<std::pair<bool, std::string>> comprobar();

    // ---- Packing and deployment to a VPS -----------------------------------

    // A packed project: the compressed tar archive in a private temporary
    // folder that goes, with the archive, when this goes.
    struct Paquete {
        CarpetaTemporal carpeta;
        std::filesystem::path archivo;
    };
    // Packs the project's sources with GNU tar (blocking: run it off the main
    // thread), leaving out its data, secrets, installed packages, git
    // history, agent folder, state file, design copy and backup copies.
    // Symbolic links are stored as links, never followed. Fails (code
    // "paquete") with the tool's output.
    Resultado<Paquete> paquete() const;
    // The names tar is told to leave out, relative to the project folder.
    static const std::vector<std::string>& exclusiones();
    // The deploy script of the resources ("apps/servidor.sh"), when present.
    static std::optional<std::filesystem::path> guion();
    // Uploads the deploy script, the data-copy script when the resources
    // hold it, the archive and a non-empty ".env" into the server's upload
    // folder, one ssh command after the other. Gives the remote archive
    // path; fails with code "paquete" (nothing to send) or "subida" (the
    // ssh failure's sentence), sending nothing after a failed command.
    Tarea<Resultado<std::string>> subir(std::int64_t servicio, std::filesystem::path archivo) const;
    // The remote path of this project's archive.
    std::string archivoRemoto() const;
    // Runs the uploaded deploy script over ssh with `argumentos` (each one
    // quoted as one shell word), every output line going to `linea` on a
    // runner thread. Gives (exit status, or -1 when ssh cannot start; the
    // output). Never fails otherwise.
    Tarea<std::pair<std::int32_t, std::string>> servidorSh(std::int64_t servicio, std::vector<std::string> argumentos,
                                                           std::function<void(const std::string&)> linea) const;
    // The deploy script's answer in its output (see lecturas_despliegue.h).
    static std::optional<nlohmann::json> resultado(std::string_view salida);
    // The sentence for a failed ssh command.
    static std::string motivoSSH(std::string_view salida);
    // Stores `registro` as this project's last deployment under
    // "appDesplegada", keeping the other projects' entries.
    void recordarDespliegue(const nlohmann::json& registro) const;

private:
    // Sets or removes (nullopt) one key of the state file, keeping the rest;
    // failures are ignored.
    void guardarEstado(std::string_view clave, const std::optional<nlohmann::json>& valor);

    // The text of the latest ".md" document of "docs/superpowers/<sub>".
    std::optional<std::string> ultimo(std::string_view subcarpeta) const;
    // Names, modification times and sizes of both documents folders.
    std::string firmaDocs() const;
    // (Re)starts the 2 s watch of the plan documents; each tick sends a new
    // summary when the signature changed.
    void vigilarPlan();
    static Tarea<void> vigilar(std::weak_ptr<ProyectoAplicacion> proyecto);
    void revisarPlan();

    // The local run (ejecucion_local.h) speaks to the page through this
    // project's enviar() while the project lives.
    EjecucionLocal& ejecucion();

    const std::filesystem::path carpeta_;
    // The local run: the `npm start` process of the current run, its port
    // and its log. Its server goes with the project.
    const std::shared_ptr<EjecucionLocal> ejecucion_ = EjecucionLocal::crear(carpeta_);
    Enviar enviar_;
    // The plan watch, and the last signature it saw.
    TareaLanzada vigia_;
    std::string firmaPlan_;
};

}  // namespace sorvenia
