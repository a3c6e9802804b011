#pragma once
// The local run of an app project: its Node.js server on a free loopback
// port behind a health check, its log, stopping its whole process tree, and
// the project's own tests. The project model holds one and forwards to it;
// every outcome reaches the editor page through `enviar`.
//
// Main thread only. A project has at most one server: a new run stops the
// one before it, and so does a run that overlaps another (the server the
// other run stored is stopped, never left behind). The server goes with the
// object: when the last owner lets it go, its tree is stopped.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "aplicaciones/registro_ejecucion.h"
#include "ias/proceso.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class EjecucionLocal : public std::enable_shared_from_this<EjecucionLocal> {
    struct Llave {};

public:
    using Enviar = std::function<void(const nlohmann::json&)>;

    static std::shared_ptr<EjecucionLocal> crear(std::filesystem::path carpeta);
    EjecucionLocal(Llave, std::filesystem::path carpeta);
    ~EjecucionLocal();
    EjecucionLocal(const EjecucionLocal&) = delete;
    EjecucionLocal& operator=(const EjecucionLocal&) = delete;

    // Where the page's messages go ({"vista": …}, {"registro": …},
    // {"comprobando": …}…); by default nowhere.
    void fijarEnviar(Enviar enviar) { enviar_ = std::move(enviar); }

    // One local run, to its final report (sinApp, sinNode, parada, enMarcha)
    // or until the server it started is stopped or replaced. Never throws
    // (but a cancelled task ends at its next wait).
    Tarea<void> arrancar();
    // Stops the stored server's whole process tree; nothing is sent, the log
    // and the port stay.
    void parar();
    // The project's own tests with npm: (passed, collected output).
    Tarea<std::pair<bool, std::string>> comprobar();

    // The port of the current or last run; 0 before the first.
    int puerto() const { return puerto_; }
    // "http://127.0.0.1:<puerto>/".
    std::string direccion() const;
    const RegistroEjecucion& registro() const { return registro_; }
    // The server of the current run, if one is stored.
    const std::shared_ptr<Proceso>& servidor() const { return servidor_; }
    const std::filesystem::path& carpeta() const { return carpeta_; }

    // The environment of npm and the app: the application's own with PATH
    // the login-shell PATH, PORT, HOST 127.0.0.1, DATA_DIR (<carpeta>/datos),
    // NODE_ENV development and npm's notices off.
    std::map<std::string, std::string> entornoLocal() const;

    // Every live run's server is stopped (the application is quitting).
    static void pararTodas();

    // The health wait: `intentos` requests, `pausa` seconds after each failed
    // one, each given `limitePeticion` seconds. The tests shorten it.
    struct Tiempos {
        int intentos = 100;
        double pausa = 0.2;
        double limitePeticion = 2.0;
    };
    static Tiempos tiempos;

    // The first port tried for a run; the next free one is taken from it.
    static constexpr int puertoInicial = 4310;

private:
    void enviar(const nlohmann::json& mensaje) const {
        if (enviar_) enviar_(mensaje);
    }
    void anotar(std::string_view texto);
    // Clears the stored server first, then stops its tree, so that its own
    // end is never reported.
    void soltarServidor();
    // Launches `npm start --silent`; stores it and answers true, or reports
    // the failure and answers false.
    bool lanzarServidor(const std::string& npm);
    void alTerminarServidor(const Proceso* proceso, std::int32_t estado);
    // The coroutines hold the object weakly: a run whose owner is gone
    // stops at its next step.
    static Tarea<void> correrArranque(std::weak_ptr<EjecucionLocal> debil);
    static Tarea<void> esperarSalud(std::weak_ptr<EjecucionLocal> debil, std::shared_ptr<Proceso> proceso,
                                    std::string base, std::string version);
    static Tarea<std::pair<bool, std::string>> correrPruebas(std::weak_ptr<EjecucionLocal> debil);

    std::filesystem::path carpeta_;
    std::shared_ptr<Proceso> servidor_;
    int puerto_ = 0;
    RegistroEjecucion registro_;
    Enviar enviar_;
};

}  // namespace sorvenia
