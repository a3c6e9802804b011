#include "plataforma/tarea.h"

#include <glib.h>

#include <cmath>
#include <cstdio>
#include <thread>

namespace sorvenia {
namespace {

// Static initialisation runs on the thread that runs main().
const std::thread::id hiloPrincipal = std::this_thread::get_id();

// GLib hands a function from thread to thread through its own futex-based
// locks, which ThreadSanitizer cannot see; without these two marks it would
// take every such hand-off for a data race. Nothing in other builds.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SORVENIA_HILOS_VIGILADOS 1
#endif
#endif
#ifdef SORVENIA_HILOS_VIGILADOS
extern "C" void __tsan_acquire(void* direccion);
extern "C" void __tsan_release(void* direccion);
void entregar(void* datos) { __tsan_release(datos); }
void recibir(void* datos) { __tsan_acquire(datos); }
#else
void entregar(void*) {}
void recibir(void*) {}
#endif

gboolean ejecutarUnaVez(gpointer datos) {
    recibir(datos);
    (*static_cast<std::function<void()>*>(datos))();
    return G_SOURCE_REMOVE;
}

void liberarFuncion(gpointer datos) {
    recibir(datos);
    delete static_cast<std::function<void()>*>(datos);
}

void trabajar(gpointer datos, gpointer) {
    recibir(datos);
    std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(datos));
    (*fn)();
}

GThreadPool* piscina() {
    // Unbounded: work here may block for minutes (processes, network), and a
    // fixed number of threads could then starve everything else. Idle
    // threads are reused and stop by themselves.
    static GThreadPool* p = g_thread_pool_new(trabajar, nullptr, -1, FALSE, nullptr);
    return p;
}

}  // namespace

bool esHiloPrincipal() { return std::this_thread::get_id() == hiloPrincipal; }

void enPrincipal(std::function<void()> fn) {
    GSource* fuente = g_idle_source_new();
    g_source_set_priority(fuente, G_PRIORITY_DEFAULT);
    auto* datos = new std::function<void()>(std::move(fn));
    entregar(datos);
    g_source_set_callback(fuente, ejecutarUnaVez, datos, liberarFuncion);
    g_source_attach(fuente, g_main_context_default());
    g_source_unref(fuente);
}

void enTrabajador(std::function<void()> fn) {
    auto* datos = new std::function<void()>(std::move(fn));
    entregar(datos);
    g_thread_pool_push(piscina(), datos, nullptr);
}

void TareaLanzada::cancelar() const {
    if (estado_) estado_->fuente.request_stop();
}

bool TareaLanzada::terminada() const { return estado_ && estado_->terminada; }

namespace detalle {

void informarExcepcionPerdida(std::exception_ptr error) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sorvenia: una tarea terminó con un error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "sorvenia: una tarea terminó con un error desconocido\n");
    }
}

bool iterarPrincipal() { return g_main_context_iteration(g_main_context_default(), TRUE) != FALSE; }

}  // namespace detalle

namespace {

struct Temporizador {
    GSource* fuente = nullptr;
    std::unique_ptr<std::stop_callback<std::function<void()>>> vigilancia;
    ~Temporizador() {
        vigilancia.reset();  // waits for a running cancellation to finish
        if (fuente != nullptr) {
            g_source_destroy(fuente);
            g_source_unref(fuente);
        }
    }
};

gboolean despertar(gpointer datos) {
    auto* espera = static_cast<std::shared_ptr<detalle::Espera<void>>*>(datos);
    (*espera)->completar(nullptr);
    return G_SOURCE_REMOVE;
}

void liberarEspera(gpointer datos) { delete static_cast<std::shared_ptr<detalle::Espera<void>>*>(datos); }

}  // namespace

void Dormir::empezar(std::coroutine_handle<> h, std::stop_token token) {
    espera->h = h;
    if (token.stop_requested()) {
        espera->completar(std::make_exception_ptr(TareaCancelada{}));
        return;
    }
    auto temporizador = std::make_shared<Temporizador>();
    const double ms = std::isfinite(segundos) && segundos > 0 ? std::ceil(segundos * 1000.0) : 0.0;
    temporizador->fuente = g_timeout_source_new(ms > 4e9 ? 4000000000u : static_cast<guint>(ms));
    g_source_set_callback(temporizador->fuente, despertar, new std::shared_ptr<detalle::Espera<void>>(espera),
                          liberarEspera);
    g_source_attach(temporizador->fuente, g_main_context_default());
    std::weak_ptr<detalle::Espera<void>> debil = espera;
    temporizador->vigilancia = std::make_unique<std::stop_callback<std::function<void()>>>(token, [debil] {
        if (auto e = debil.lock()) e->completar(std::make_exception_ptr(TareaCancelada{}));
    });
    vigilancia = temporizador;
}

void Dormir::await_resume() {
    vigilancia.reset();  // removes the timer when the wait was cancelled
    espera->tomar();
}

}  // namespace sorvenia
