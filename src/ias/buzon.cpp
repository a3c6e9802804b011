#include "ias/buzon.h"

#include <utility>

#include "plataforma/tarea.h"

namespace sorvenia::IAsLocales {

void Buzon::entregar(std::vector<std::string> lineas) {
    std::unique_lock bloqueo(mutex_);
    for (auto& l : lineas) {
        bytes_ += l.size() + 1;
        lineas_.push_back(std::move(l));
    }
    despertar(bloqueo);
    espacio_.wait(bloqueo, [this] { return bytes_ < maximoPendiente; });
}

void Buzon::terminar() {
    std::unique_lock bloqueo(mutex_);
    --pendientes_;
    despertar(bloqueo);
}

void Buzon::salio(std::int32_t estado) {
    std::unique_lock bloqueo(mutex_);
    estado_ = estado;
    --pendientes_;
    despertar(bloqueo);
}

std::int32_t Buzon::estado() const {
    std::lock_guard bloqueo(mutex_);
    return estado_;
}

bool Buzon::Siguiente::await_suspend(std::coroutine_handle<> h) {
    std::lock_guard bloqueo(buzon.mutex_);
    if (buzon.listo()) return false;
    buzon.esperando_ = h;
    return true;
}

Buzon::Lote Buzon::tomar() {
    Lote lote;
    {
        std::lock_guard bloqueo(mutex_);
        lote.lineas = std::exchange(lineas_, {});
        bytes_ = 0;
        lote.fin = pendientes_ == 0;
    }
    espacio_.notify_all();
    return lote;
}

void Buzon::despertar(std::unique_lock<std::mutex>& bloqueo) {
    if (!listo()) return;
    auto h = std::exchange(esperando_, nullptr);
    if (!h) return;
    bloqueo.unlock();
    enPrincipal([h] { h.resume(); });
    bloqueo.lock();
}

}  // namespace sorvenia::IAsLocales
