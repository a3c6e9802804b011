#pragma once
// Waiting on the GLib main context in GUI tests, always with a time limit,
// so a lost event fails the test instead of hanging it.

#include <glib.h>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "plataforma/tarea.h"

namespace sorvenia::prueba {

inline constexpr std::chrono::milliseconds limitePorDefecto = std::chrono::seconds(15);

// Runs the main context until `condicion` holds or `limite` passes; gives
// the condition's last value.
bool esperarHasta(const std::function<bool()>& condicion, std::chrono::milliseconds limite = limitePorDefecto);

// A launched task whose result the test collects later.
template <class T>
class Pendiente {
public:
    explicit Pendiente(Tarea<T> tarea) : caja_(std::make_shared<Caja>()) {
        lanzada_ = lanzar(guardar(std::move(tarea), caja_));
    }

    // The value, or nothing when the task did not end in time (it is then
    // cancelled). Its exceptions are rethrown.
    std::optional<T> esperar(std::chrono::milliseconds limite = limitePorDefecto) {
        if (!esperarHasta([this] { return caja_->hecho; }, limite)) {
            lanzada_.cancelar();
            return std::nullopt;
        }
        if (caja_->error) std::rethrow_exception(caja_->error);
        return std::move(caja_->valor);
    }

private:
    struct Caja {
        std::optional<T> valor;
        std::exception_ptr error;
        bool hecho = false;
    };
    static Tarea<void> guardar(Tarea<T> tarea, std::shared_ptr<Caja> caja) {
        try {
            caja->valor.emplace(co_await std::move(tarea));
        } catch (...) {
            caja->error = std::current_exception();
        }
        caja->hecho = true;
    }

    std::shared_ptr<Caja> caja_;
    TareaLanzada lanzada_;
};

template <class T>
std::optional<T> esperarTarea(Tarea<T> tarea, std::chrono::milliseconds limite = limitePorDefecto) {
    return Pendiente<T>(std::move(tarea)).esperar(limite);
}

}  // namespace sorvenia::prueba
