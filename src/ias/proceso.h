#pragma once
// The one way the application starts a child process, and the shared handle
// to a started child.
//
// Every child starts at the head of a process group of its own (group id =
// its process id), with default signal dispositions, an empty signal mask,
// its working folder, its environment and only descriptors 0, 1 and 2 open.
//
// A child is never reaped while a signal to its group may still follow: a
// watcher reads its exit status without reaping it, and it is reaped only
// when its owner's post-exit signal and every pending second stage of a
// stop sequence are done. While a leader is unreaped its id can belong to no
// other process or group, so group signals can never reach a stranger; once
// it is reaped, no group signal is sent any more.

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "plataforma/resultado.h"

namespace sorvenia {

using Entorno = std::map<std::string, std::string>;

// The application's own environment, every variable (the first of
// duplicated names wins, as for getenv).
Entorno entornoPropio();

struct Lanzamiento {
    std::string programa;                         // a file path, never searched in PATH
    std::vector<std::string> argumentos;          // without the program itself
    std::optional<std::filesystem::path> carpeta; // none: the application's own
    std::optional<Entorno> entorno;               // none: the application's own
    int entrada = -1;                             // descriptors for the child's 0, 1, 2;
    int salida = -1;                              // -1 gives /dev/null
    int errores = -1;
    bool terminarGrupoAlSalir = false;            // SIGTERM to the group once the child has exited
};

class Proceso : public std::enable_shared_from_this<Proceso> {
    struct Llave {};

public:
    // Starts the child. `alSalir` runs once on a worker thread with the
    // termination status (the exit code, or the number of the signal that
    // ended the child) after its post-exit group signal. The only failure
    // is a launch failure, with a Spanish sentence naming the cause.
    static Resultado<std::shared_ptr<Proceso>> lanzar(const Lanzamiento& lanzamiento,
                                                      std::function<void(std::int32_t)> alSalir = {});
    // The same with a pseudo-terminal's slave instead of the three
    // descriptors: the child starts a session of its own (still heading its
    // process group) with that terminal as its controlling terminal on 0, 1
    // and 2.
    static Resultado<std::shared_ptr<Proceso>> lanzarEnTerminal(const Lanzamiento& lanzamiento,
                                                                const std::filesystem::path& terminal,
                                                                std::function<void(std::int32_t)> alSalir = {});

    Proceso(Llave, pid_t pid, bool terminarGrupoAlSalir);
    Proceso(const Proceso&) = delete;
    Proceso& operator=(const Proceso&) = delete;

    pid_t pid() const noexcept { return pid_; }
    bool enMarcha() const;

    // Waits for the child's exit, at most `segundos` (forever when not
    // finite); the termination status, or nothing when the time passed.
    std::optional<std::int32_t> esperar(double segundos);

    // In one step: the signal to the child itself while it has not exited,
    // then to its process group while the leader is unreaped.
    void senalar(int senal);

    // Keeps the leader unreaped for as long as the returned object lives, so
    // that later group signals stay safe; null when it is already reaped.
    class Retencion;
    std::shared_ptr<Retencion> retener();

    // Sees every signal sent through this object (destination as given to
    // kill(2): the process id, or its negation for the group). Called under
    // the object's lock, so it must not call back into it.
    void observarSenales(std::function<void(pid_t destino, int senal)> observador);

private:
    friend class Retencion;
    static Resultado<std::shared_ptr<Proceso>> lanzarCon(const Lanzamiento& lanzamiento,
                                                         const std::filesystem::path* terminal,
                                                         std::function<void(std::int32_t)> alSalir);
    void vigilar(std::function<void(std::int32_t)> alSalir);
    void soltar();
    void recogerSiToca(std::unique_lock<std::mutex>& bloqueo);
    void enviar(pid_t destino, int senal);

    const pid_t pid_;
    const bool terminarGrupoAlSalir_;
    mutable std::mutex mutex_;
    std::condition_variable salida_;
    bool salido_ = false;
    bool recogido_ = false;
    int retenciones_ = 1;  // the watcher's, until its post-exit signal is sent
    std::int32_t estado_ = 0;
    std::function<void(pid_t, int)> observador_;
};

class Proceso::Retencion {
public:
    explicit Retencion(std::shared_ptr<Proceso> proceso) : proceso_(std::move(proceso)) {}
    Retencion(const Retencion&) = delete;
    Retencion& operator=(const Retencion&) = delete;
    ~Retencion() { proceso_->soltar(); }

private:
    std::shared_ptr<Proceso> proceso_;
};

}  // namespace sorvenia
