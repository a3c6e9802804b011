#pragma once
// A value shared between a task and callbacks that run on other threads.

#include <mutex>
#include <utility>

namespace sorvenia::IAsLocales {

// Hold it through a std::shared_ptr. Every access takes the box's lock, so
// a reader on another thread sees either the old value or the new one whole.
template <class T>
class Caja {
public:
    explicit Caja(T inicial = T{}) : valor_(std::move(inicial)) {}
    Caja(const Caja&) = delete;
    Caja& operator=(const Caja&) = delete;

    T valor() const {
        std::lock_guard bloqueo(mutex_);
        return valor_;
    }
    void fijar(T nuevo) {
        std::lock_guard bloqueo(mutex_);
        valor_ = std::move(nuevo);
    }
    // Runs `fn` on the value under the lock (to change it in place).
    template <class F>
    decltype(auto) con(F&& fn) {
        std::lock_guard bloqueo(mutex_);
        return std::forward<F>(fn)(valor_);
    }

private:
    mutable std::mutex mutex_;
    T valor_;
};

}  // namespace sorvenia::IAsLocales
