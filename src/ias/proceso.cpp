#include "ias/proceso.h"

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>

#include "plataforma/tarea.h"

namespace sorvenia {
namespace {

std::int32_t estadoDe(const siginfo_t& info) {
    // CLD_EXITED carries the exit code, CLD_KILLED and CLD_DUMPED the signal.
    return static_cast<std::int32_t>(info.si_status);
}

}  // namespace

Proceso::Proceso(Llave, pid_t pid, bool terminarGrupoAlSalir)
    : pid_(pid), terminarGrupoAlSalir_(terminarGrupoAlSalir) {}

bool Proceso::enMarcha() const {
    std::lock_guard bloqueo(mutex_);
    return !salido_;
}

std::optional<std::int32_t> Proceso::esperar(double segundos) {
    std::unique_lock bloqueo(mutex_);
    const auto salio = [this] { return salido_; };
    if (!std::isfinite(segundos)) salida_.wait(bloqueo, salio);
    else if (!salida_.wait_for(bloqueo, std::chrono::duration<double>(std::max(segundos, 0.0)), salio))
        return std::nullopt;
    return estado_;
}

void Proceso::senalar(int senal) {
    // Until the watcher has seen the exit the child is at worst an unreaped
    // zombie, so its id is still its own; until it is reaped, so is the id
    // of its group.
    std::lock_guard bloqueo(mutex_);
    if (!salido_) enviar(pid_, senal);
    if (!recogido_) enviar(-pid_, senal);
}

std::shared_ptr<Proceso::Retencion> Proceso::retener() {
    std::lock_guard bloqueo(mutex_);
    if (recogido_) return nullptr;
    ++retenciones_;
    return std::make_shared<Retencion>(shared_from_this());
}

void Proceso::observarSenales(std::function<void(pid_t, int)> observador) {
    std::lock_guard bloqueo(mutex_);
    observador_ = std::move(observador);
}

void Proceso::enviar(pid_t destino, int senal) {
    if (observador_) observador_(destino, senal);
    kill(destino, senal);  // a group or child that is already gone is no error
}

void Proceso::soltar() {
    std::unique_lock bloqueo(mutex_);
    --retenciones_;
    recogerSiToca(bloqueo);
}

void Proceso::recogerSiToca(std::unique_lock<std::mutex>&) {
    if (!salido_ || recogido_ || retenciones_ > 0) return;
    int estado = 0;
    while (waitpid(pid_, &estado, 0) < 0 && errno == EINTR) {
    }
    recogido_ = true;
}

void Proceso::vigilar(std::function<void(std::int32_t)> alSalir) {
    siginfo_t info{};
    int r = 0;
    while ((r = waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT)) < 0 && errno == EINTR) {
    }
    std::int32_t estado = 0;
    {
        std::unique_lock bloqueo(mutex_);
        salido_ = true;
        if (r < 0) {
            // Reaped behind our back: its id may be reused already, so no
            // group signal may follow.
            recogido_ = true;
            estado_ = -1;
        } else {
            estado_ = estadoDe(info);
            if (terminarGrupoAlSalir_) enviar(-pid_, SIGTERM);
        }
        estado = estado_;
        --retenciones_;
        recogerSiToca(bloqueo);
    }
    salida_.notify_all();
    if (alSalir) alSalir(estado);
}

}  // namespace sorvenia
