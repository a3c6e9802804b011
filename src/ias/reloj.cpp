#include "ias/reloj.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "plataforma/tarea.h"

namespace sorvenia {
namespace {

using Reloj = std::chrono::steady_clock;

class Agenda {
public:
    ~Agenda() {
        {
            std::lock_guard bloqueo(mutex_);
            parar_ = true;
        }
        cambio_.notify_all();
        if (hilo_.joinable()) hilo_.join();
    }

    std::uint64_t anadir(Reloj::time_point cuando, std::function<void()> fn) {
        std::uint64_t id = 0;
        {
            std::lock_guard bloqueo(mutex_);
            id = ++ultimo_;
            pendientes_.emplace(std::make_pair(cuando, id), std::move(fn));
            if (!hilo_.joinable()) hilo_ = std::thread([this] { correr(); });
        }
        cambio_.notify_all();
        return id;
    }

    void quitar(std::uint64_t id) {
        std::lock_guard bloqueo(mutex_);
        for (auto it = pendientes_.begin(); it != pendientes_.end(); ++it) {
            if (it->first.second == id) {
                pendientes_.erase(it);
                return;
            }
        }
    }

private:
    void correr() {
        std::unique_lock bloqueo(mutex_);
        while (!parar_) {
            if (pendientes_.empty()) {
                cambio_.wait(bloqueo);
                continue;
            }
            auto primero = pendientes_.begin();
            const auto cuando = primero->first.first;  // the entry may go while we wait
            if (cuando > Reloj::now()) {
                cambio_.wait_until(bloqueo, cuando);
                continue;
            }
            auto fn = std::move(primero->second);
            pendientes_.erase(primero);
            enTrabajador(std::move(fn));
        }
    }

    std::mutex mutex_;
    std::condition_variable cambio_;
    std::map<std::pair<Reloj::time_point, std::uint64_t>, std::function<void()>> pendientes_;
    std::uint64_t ultimo_ = 0;
    bool parar_ = false;
    std::thread hilo_;
};

Agenda& agenda() {
    static Agenda unica;
    return unica;
}

}  // namespace

void Aviso::anular() const {
    if (id_ != 0) agenda().quitar(id_);
}

Aviso programar(double segundos, std::function<void()> fn) {
    if (std::isinf(segundos) && segundos > 0) return Aviso();
    const double s = std::isfinite(segundos) && segundos > 0 ? std::min(segundos, 1e9) : 0.0;
    const auto cuando = Reloj::now() + std::chrono::duration_cast<Reloj::duration>(std::chrono::duration<double>(s));
    return Aviso(agenda().anadir(cuando, std::move(fn)));
}

}  // namespace sorvenia
