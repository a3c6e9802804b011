#pragma once
// What the threads of one run hand to the run's coroutine on the main
// thread: the lines of standard output in order, and the three ends a run
// waits for (end of file on each output stream, and the child's exit).

#include <condition_variable>
#include <coroutine>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sorvenia::IAsLocales {

class Buzon {
public:
    struct Lote {
        std::vector<std::string> lineas;
        bool fin = false;  // every end has come and every line is in this lote
    };

    // From the output reader, in order. Waits while much delivered text has
    // not been taken yet: a child that floods its output then waits on its
    // pipe instead of filling the application's memory.
    void entregar(std::vector<std::string> lineas);
    // An output stream reached end of file.
    void terminar();
    // The child exited with this status.
    void salio(std::int32_t estado);
    std::int32_t estado() const;

    struct Siguiente {
        Buzon& buzon;
        bool await_ready() const noexcept { return false; }
        bool await_suspend(std::coroutine_handle<> h);
        Lote await_resume() { return buzon.tomar(); }
    };
    // Awaited by the run's coroutine: resumes it on the main thread with the
    // lines so far, as soon as there are any or the run has ended.
    Siguiente siguiente() { return Siguiente{*this}; }

private:
    static constexpr std::size_t maximoPendiente = 1 << 20;
    bool listo() const { return !lineas_.empty() || pendientes_ == 0; }
    Lote tomar();
    void despertar(std::unique_lock<std::mutex>& bloqueo);

    mutable std::mutex mutex_;
    std::condition_variable espacio_;
    std::vector<std::string> lineas_;
    std::size_t bytes_ = 0;
    int pendientes_ = 3;
    std::int32_t estado_ = 0;
    std::coroutine_handle<> esperando_;
};

}  // namespace sorvenia::IAsLocales
