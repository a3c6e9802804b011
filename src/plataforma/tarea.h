#pragma once
// Asynchronous chains as C++20 coroutines that run on the GLib main context.
//
//   Tarea<T> f() { auto x = co_await enSegundoPlano([] { return trabajo(); }); co_return x; }
//
// A Tarea is lazy: it starts when awaited, or when handed to lanzar(). The
// code of a coroutine always runs on the main thread: the awaitables of this
// file resume it there. Blocking work goes to enSegundoPlano. A stop token
// travels from the launched task down every awaited Tarea; dormir and the
// callback adapters end early with TareaCancelada when it is requested, and
// work given to enSegundoPlano may take the token to watch it.
//
// Lifetimes: take coroutine parameters by value, and hold no reference
// across a co_await to something that may be gone when it resumes.
//
// GCC 12 destroys some temporaries of a co_await expression twice (aggregate
// awaiters, lambdas written as arguments), so the project builds with clang.
// The awaiters here also keep a user-declared constructor, which GCC handles.

#include <atomic>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <type_traits>
#include <utility>

namespace sorvenia {

// Thrown into a coroutine whose task was cancelled while it waited.
struct TareaCancelada : std::exception {
    const char* what() const noexcept override { return "La tarea se ha cancelado."; }
};

// Runs `fn` on the main context at its next iteration (never inline), from
// any thread.
void enPrincipal(std::function<void()> fn);

// Runs `fn` on the worker pool, from any thread.
void enTrabajador(std::function<void()> fn);

// True on the thread that runs the GLib default main context (the first
// thread that called this file's functions, normally main()).
bool esHiloPrincipal();

namespace detalle {

struct PromesaBase {
    std::coroutine_handle<> continuacion = std::noop_coroutine();
    std::stop_token token;
    std::exception_ptr error;
};

// The stop token of the coroutine whose handle is given.
template <class Promesa>
std::stop_token tokenDe(std::coroutine_handle<Promesa> h) {
    static_assert(std::is_base_of_v<PromesaBase, Promesa>, "co_await only inside a Tarea");
    return h.promise().token;
}

struct FinalAwaiter {
    FinalAwaiter() noexcept {}
    bool await_ready() const noexcept { return false; }
    template <class Promesa>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<Promesa> h) const noexcept {
        return h.promise().continuacion;
    }
    void await_resume() const noexcept {}
};

template <class T>
struct Promesa : PromesaBase {
    std::optional<T> valor;
    template <class U>
    void return_value(U&& v) {
        valor.emplace(std::forward<U>(v));
    }
    T tomar() {
        if (error) std::rethrow_exception(error);
        return std::move(*valor);
    }
};

template <>
struct Promesa<void> : PromesaBase {
    void return_void() {}
    void tomar() {
        if (error) std::rethrow_exception(error);
    }
};

}  // namespace detalle

template <class T = void>
class [[nodiscard]] Tarea {
public:
    struct promise_type : detalle::Promesa<T> {
        Tarea get_return_object() { return Tarea(std::coroutine_handle<promise_type>::from_promise(*this)); }
        std::suspend_always initial_suspend() noexcept { return {}; }
        detalle::FinalAwaiter final_suspend() noexcept { return {}; }
        void unhandled_exception() { this->error = std::current_exception(); }
    };

    Tarea(Tarea&& otra) noexcept : h_(std::exchange(otra.h_, nullptr)) {}
    Tarea& operator=(Tarea&& otra) noexcept {
        if (this != &otra) {
            if (h_) h_.destroy();
            h_ = std::exchange(otra.h_, nullptr);
        }
        return *this;
    }
    Tarea(const Tarea&) = delete;
    Tarea& operator=(const Tarea&) = delete;
    ~Tarea() {
        if (h_) h_.destroy();
    }

    struct Awaiter {
        explicit Awaiter(std::coroutine_handle<promise_type> asa) : h(asa) {}
        std::coroutine_handle<promise_type> h;
        bool await_ready() const noexcept { return false; }
        template <class Padre>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Padre> padre) noexcept {
            h.promise().continuacion = padre;
            h.promise().token = detalle::tokenDe(padre);
            return h;
        }
        T await_resume() { return h.promise().tomar(); }
    };
    Awaiter operator co_await() && noexcept { return Awaiter(h_); }

    // For the launcher: start with a token and a continuation of its own.
    std::coroutine_handle<promise_type> asa() const noexcept { return h_; }

private:
    explicit Tarea(std::coroutine_handle<promise_type> h) : h_(h) {}
    std::coroutine_handle<promise_type> h_;
};

// Hops to the main context: code after `co_await alPrincipal()` runs there
// at its next iteration.
struct AlPrincipal {
    AlPrincipal() noexcept {}
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> h) const {
        enPrincipal([h] { h.resume(); });
    }
    void await_resume() const noexcept {}
};
inline AlPrincipal alPrincipal() { return {}; }

// The launched task, as seen from outside: it can be cancelled and asked
// whether it ended. Dropping this handle does not stop the task.
class TareaLanzada {
public:
    TareaLanzada() = default;
    void cancelar() const;
    bool terminada() const;
    bool valida() const { return estado_ != nullptr; }

    struct Estado {
        std::stop_source fuente;
        std::atomic<bool> terminada{false};
    };
    explicit TareaLanzada(std::shared_ptr<Estado> estado) : estado_(std::move(estado)) {}

private:
    std::shared_ptr<Estado> estado_;
};

namespace detalle {

// A coroutine that starts at once, owns itself and frees itself when done.
struct Desatada {
    struct promise_type : PromesaBase {
        Desatada get_return_object() noexcept { return {}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() noexcept {}
        void unhandled_exception() noexcept { std::terminate(); }
    };
};

// Gives the coroutine that awaits it the token of the launch.
struct ConToken {
    explicit ConToken(const std::stop_source& f) : fuente(&f) {}
    const std::stop_source* fuente;
    bool await_ready() const noexcept { return false; }
    template <class Promesa>
    bool await_suspend(std::coroutine_handle<Promesa> h) noexcept {
        h.promise().token = fuente->get_token();
        return false;
    }
    void await_resume() const noexcept {}
};

void informarExcepcionPerdida(std::exception_ptr error) noexcept;

template <class T>
Desatada correrDesatada(Tarea<T> tarea, std::shared_ptr<TareaLanzada::Estado> estado) {
    co_await ConToken(estado->fuente);
    co_await AlPrincipal();
    try {
        co_await std::move(tarea);
    } catch (const TareaCancelada&) {
    } catch (...) {
        informarExcepcionPerdida(std::current_exception());
    }
    estado->terminada = true;
}

}  // namespace detalle

// Starts a task detached, from any thread; it first runs at the main
// context's next iteration. Its exceptions other than cancellation are
// reported on standard error, never lost in silence.
template <class T>
TareaLanzada lanzar(Tarea<T> tarea) {
    auto estado = std::make_shared<TareaLanzada::Estado>();
    detalle::correrDesatada(std::move(tarea), estado);
    return TareaLanzada(estado);
}

// The stop token of the running task.
struct TokenActual {
    TokenActual() noexcept {}
    const std::stop_token* token = nullptr;
    bool await_ready() const noexcept { return false; }
    template <class Promesa>
    bool await_suspend(std::coroutine_handle<Promesa> h) noexcept {
        static_assert(std::is_base_of_v<detalle::PromesaBase, Promesa>, "co_await only inside a Tarea");
        token = &h.promise().token;
        return false;
    }
    std::stop_token await_resume() const noexcept { return *token; }
};
inline TokenActual tokenActual() { return {}; }

namespace detalle {

// State shared between a waiting coroutine and whoever completes it (a
// worker, a timer, a GLib callback, a cancellation): the first to finish
// resumes the coroutine on the main context, later ones do nothing.
template <class T>
struct Espera {
    std::mutex mutex;
    bool hecho = false;
    std::optional<T> valor;
    std::exception_ptr error;
    std::coroutine_handle<> h;

    template <class... A>
    bool completar(std::exception_ptr e, A&&... v) {
        {
            std::lock_guard bloqueo(mutex);
            if (hecho) return false;
            hecho = true;
            error = e;
            // Failures pass no value, so T need not be default-constructible.
            if constexpr (sizeof...(A) > 0) {
                if (!e) valor.emplace(std::forward<A>(v)...);
            }
        }
        auto hh = h;
        enPrincipal([hh] { hh.resume(); });
        return true;
    }
    T tomar() {
        if (error) std::rethrow_exception(error);
        return std::move(*valor);
    }
};

template <>
struct Espera<void> {
    std::mutex mutex;
    bool hecho = false;
    std::exception_ptr error;
    std::coroutine_handle<> h;
    bool completar(std::exception_ptr e) {
        {
            std::lock_guard bloqueo(mutex);
            if (hecho) return false;
            hecho = true;
            error = e;
        }
        auto hh = h;
        enPrincipal([hh] { hh.resume(); });
        return true;
    }
    void tomar() {
        if (error) std::rethrow_exception(error);
    }
};

template <class F>
auto llamarConToken(F& fn, const std::stop_token& token) {
    if constexpr (std::is_invocable_v<F&, std::stop_token>) return fn(token);
    else return fn();
}

}  // namespace detalle

namespace detalle {

template <class F, class R>
struct SegundoPlano {
    explicit SegundoPlano(F f) : fn(std::move(f)) {}
    F fn;
    std::shared_ptr<Espera<R>> espera = std::make_shared<Espera<R>>();
    bool await_ready() const noexcept { return false; }
    template <class Promesa>
    void await_suspend(std::coroutine_handle<Promesa> h) {
        espera->h = h;
        enTrabajador([espera = espera, fn = std::move(fn), token = tokenDe(h)]() mutable {
            try {
                if constexpr (std::is_void_v<R>) {
                    llamarConToken(fn, token);
                    espera->completar(nullptr);
                } else {
                    espera->completar(nullptr, llamarConToken(fn, token));
                }
            } catch (...) {
                espera->completar(std::current_exception());
            }
        });
    }
    R await_resume() { return espera->tomar(); }
};

}  // namespace detalle

// Runs blocking work on the worker pool and resumes on the main context with
// its result or its exception. `fn` may take a std::stop_token to watch for
// cancellation; the wait always lasts until `fn` returns.
template <class F>
auto enSegundoPlano(F fn) {
    using R = decltype(detalle::llamarConToken(fn, std::declval<const std::stop_token&>()));
    return detalle::SegundoPlano<F, R>(std::move(fn));
}

// Waits on the main context; a cancellation ends the wait at once with
// TareaCancelada.
struct Dormir {
    explicit Dormir(double s) : segundos(s) {}
    double segundos;
    std::shared_ptr<detalle::Espera<void>> espera = std::make_shared<detalle::Espera<void>>();
    std::shared_ptr<void> vigilancia;  // the stop callback, alive while waiting
    bool await_ready() const noexcept { return false; }
    template <class Promesa>
    void await_suspend(std::coroutine_handle<Promesa> h) {
        empezar(h, detalle::tokenDe(h));
    }
    void await_resume();

private:
    void empezar(std::coroutine_handle<> h, std::stop_token token);
};
inline Dormir dormir(double segundos) { return Dormir(segundos); }

// Adapter for callback-style operations (GLib async calls, WebKit, GTK
// dialogs): `iniciar` receives a function to call once with the result, from
// any thread. A cancellation of the task ends the wait with TareaCancelada;
// a later call of the function is then ignored.
template <class T>
struct Retrollamada {
    explicit Retrollamada(std::function<void(std::function<void(T)>)> i) : iniciar(std::move(i)) {}
    std::function<void(std::function<void(T)>)> iniciar;
    std::shared_ptr<detalle::Espera<T>> espera = std::make_shared<detalle::Espera<T>>();
    std::shared_ptr<void> vigilancia;
    bool await_ready() const noexcept { return false; }
    template <class Promesa>
    void await_suspend(std::coroutine_handle<Promesa> h) {
        espera->h = h;
        const std::stop_token token = detalle::tokenDe(h);
        if (token.stop_requested()) {
            espera->completar(std::make_exception_ptr(TareaCancelada{}));
            return;
        }
        std::weak_ptr<detalle::Espera<T>> debil = espera;
        vigilancia = std::make_shared<std::stop_callback<std::function<void()>>>(token, [debil] {
            if (auto e = debil.lock()) e->completar(std::make_exception_ptr(TareaCancelada{}));
        });
        iniciar([espera = espera](T valor) { espera->completar(nullptr, std::move(valor)); });
    }
    T await_resume() {
        vigilancia.reset();
        return espera->tomar();
    }
};

template <class T>
Retrollamada<T> conRetrollamada(std::function<void(std::function<void(T)>)> iniciar) {
    return Retrollamada<T>(std::move(iniciar));
}

// Waits for `tarea` at most `segundos`: its result, or nothing when the time
// ran out first (or the task threw). The task is not stopped by the time
// limit (it runs on, detached, and its late result is dropped): the caller
// ends whatever it was waiting on, for example a web process that never
// answers.
template <class T>
Tarea<std::optional<T>> conTiempoLimite(Tarea<T> tarea, double segundos) {
    using Listo = std::function<void(std::optional<T>)>;
    auto tarde = [](Tarea<T> t, Listo listo) -> Tarea<void> {
        std::optional<T> valor;
        try {
            valor.emplace(co_await std::move(t));
        } catch (...) {
        }
        listo(std::move(valor));
    };
    auto reloj = [](double s, Listo listo) -> Tarea<void> {
        co_await dormir(s);
        listo(std::nullopt);
    };
    std::optional<Tarea<T>> pendiente(std::move(tarea));
    auto iniciar = [&](Listo listo) {
        (void)lanzar(tarde(std::move(*pendiente), listo));
        (void)lanzar(reloj(segundos, listo));
    };
    co_return co_await conRetrollamada<std::optional<T>>(std::move(iniciar));
}

// Runs the main context until the task ends and gives its result. Only for
// main() of command-line tools and for tests: the application's main thread
// never waits like this.
template <class T>
T esperarEnBucle(Tarea<T> tarea);

namespace detalle {
bool iterarPrincipal();  // one blocking iteration of the default main context
}

template <class T>
T esperarEnBucle(Tarea<T> tarea) {
    struct Caja {
        std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> valor;
        std::exception_ptr error;
        bool hecho = false;
    };
    auto caja = std::make_shared<Caja>();
    auto envoltura = [](Tarea<T> t, std::shared_ptr<Caja> c) -> Tarea<void> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await std::move(t);
                c->valor.emplace(true);
            } else {
                c->valor.emplace(co_await std::move(t));
            }
        } catch (...) {
            c->error = std::current_exception();
        }
        c->hecho = true;
    };
    lanzar(envoltura(std::move(tarea), caja));
    while (!caja->hecho) detalle::iterarPrincipal();
    if (caja->error) std::rethrow_exception(caja->error);
    if constexpr (!std::is_void_v<T>) return std::move(*caja->valor);
}

}  // namespace sorvenia
