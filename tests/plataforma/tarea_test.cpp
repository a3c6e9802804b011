#include "plataforma/tarea.h"

#include <gtest/gtest.h>
#include <glib.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace sorvenia {
namespace {

using namespace std::chrono_literals;

// Runs the main context until `listo` holds or the time runs out.
template <class P>
bool bombearHasta(P listo, std::chrono::milliseconds limite = 5s) {
    const auto fin = std::chrono::steady_clock::now() + limite;
    while (!listo()) {
        if (std::chrono::steady_clock::now() > fin) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(1ms);
    }
    return true;
}

Tarea<int> dobleEnSegundoPlano(int x) {
    EXPECT_TRUE(esHiloPrincipal());
    const bool fueraDelPrincipal = co_await enSegundoPlano([] { return !esHiloPrincipal(); });
    EXPECT_TRUE(fueraDelPrincipal);
    EXPECT_TRUE(esHiloPrincipal());
    co_return x * 2;
}

Tarea<int> sumaAnidada() {
    const int a = co_await dobleEnSegundoPlano(2);
    const int b = co_await dobleEnSegundoPlano(3);
    co_return a + b;
}

TEST(Tarea, ReanudaSiempreEnElHiloPrincipal) { EXPECT_EQ(esperarEnBucle(sumaAnidada()), 10); }

Tarea<int> fallaEnSegundoPlano() {
    co_return co_await enSegundoPlano([]() -> int { throw std::runtime_error("roto"); });
}

Tarea<std::string> capturaDeHija() {
    try {
        co_await fallaEnSegundoPlano();
    } catch (const std::runtime_error& e) {
        co_return std::string("capturado: ") + e.what();
    }
    co_return "no llegó";
}

TEST(Tarea, LasExcepcionesSubenPorLaCadena) {
    EXPECT_EQ(esperarEnBucle(capturaDeHija()), "capturado: roto");
    EXPECT_THROW(esperarEnBucle(fallaEnSegundoPlano()), std::runtime_error);
}

Tarea<void> dormirYMarcar(double s, std::vector<int>* orden, int marca) {
    co_await dormir(s);
    orden->push_back(marca);
}

TEST(Tarea, DormirDespiertaEnOrdenDeTiempo) {
    std::vector<int> orden;
    auto a = lanzar(dormirYMarcar(0.08, &orden, 1));
    auto b = lanzar(dormirYMarcar(0.01, &orden, 2));
    ASSERT_TRUE(bombearHasta([&] { return a.terminada() && b.terminada(); }));
    EXPECT_EQ(orden, (std::vector<int>{2, 1}));
}

// Cancelling the launched task reaches a sleep two coroutines down, and work
// on a worker that watches the token.
struct Registro {
    bool cancelada = false;
    bool trabajoVioLaParada = false;
    bool siguio = false;
};

Tarea<void> nieta(Registro* r) {
    r->trabajoVioLaParada = co_await enSegundoPlano([](std::stop_token token) {
        const auto fin = std::chrono::steady_clock::now() + 10s;
        while (!token.stop_requested() && std::chrono::steady_clock::now() < fin) std::this_thread::sleep_for(1ms);
        return token.stop_requested();
    });
    co_await dormir(30);
    r->siguio = true;
}

Tarea<void> hija(Registro* r) {
    try {
        co_await nieta(r);
    } catch (const TareaCancelada&) {
        r->cancelada = true;
    }
}

TEST(Tarea, CancelarLlegaATodaLaCadena) {
    Registro r;
    auto lanzada = lanzar(hija(&r));
    ASSERT_TRUE(bombearHasta([] { return false; }, 20ms) == false);
    const auto inicio = std::chrono::steady_clock::now();
    lanzada.cancelar();
    ASSERT_TRUE(bombearHasta([&] { return lanzada.terminada(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, 3s);
    EXPECT_TRUE(r.trabajoVioLaParada);
    EXPECT_TRUE(r.cancelada);
    EXPECT_FALSE(r.siguio);
}

TEST(Tarea, CanceladaAntesDeEmpezarNoDuerme) {
    Registro r;
    auto lanzada = lanzar(hija(&r));
    lanzada.cancelar();  // before its first step on the main context
    ASSERT_TRUE(bombearHasta([&] { return lanzada.terminada(); }, 2s));
    EXPECT_TRUE(r.cancelada);
    EXPECT_TRUE(r.trabajoVioLaParada);
}

// A task keeps running after whoever launched it is gone; it reaches its
// owner only through a weak reference.
struct Dueno : std::enable_shared_from_this<Dueno> {
    int valor = 0;
    TareaLanzada empezar(std::shared_ptr<bool> fin) {
        return lanzar([](std::weak_ptr<Dueno> debil, std::shared_ptr<bool> f) -> Tarea<void> {
            co_await dormir(0.02);
            if (auto yo = debil.lock()) yo->valor = 1;
            *f = true;
        }(weak_from_this(), fin));
    }
};

TEST(Tarea, SobreviveASuDuenoYASuAsa) {
    auto fin = std::make_shared<bool>(false);
    {
        auto dueno = std::make_shared<Dueno>();
        (void)dueno->empezar(fin);  // the handle is dropped at once
    }
    ASSERT_TRUE(bombearHasta([&] { return *fin; }));
}

TEST(Tarea, LanzarDesdeOtroHiloCorreEnElPrincipal) {
    std::atomic<bool> enPrincipalFue{false};
    std::thread([&] {
        (void)lanzar([](std::atomic<bool>* r) -> Tarea<void> {
            r->store(esHiloPrincipal());
            co_return;
        }(&enPrincipalFue));
    }).join();
    ASSERT_TRUE(bombearHasta([&] { return enPrincipalFue.load(); }));
}

Tarea<int> esperarRetrollamada(std::function<void(std::function<void(int)>)> iniciar) {
    co_return co_await conRetrollamada<int>(std::move(iniciar));
}

TEST(Tarea, RetrollamadasDesdeCualquierHilo) {
    // Answered inside the start function itself, and from another thread.
    EXPECT_EQ(esperarEnBucle(esperarRetrollamada([](auto listo) { listo(7); })), 7);
    EXPECT_EQ(esperarEnBucle(esperarRetrollamada([](auto listo) {
                  std::thread([listo] {
                      std::this_thread::sleep_for(5ms);
                      listo(8);
                      listo(9);  // a second answer is ignored
                  }).detach();
              })),
              8);
}

TEST(Tarea, RetrollamadaCanceladaIgnoraLaRespuestaTardia) {
    std::function<void(int)> guardada;
    bool cancelada = false;
    auto lanzada = lanzar([](std::function<void(int)>* g, bool* c) -> Tarea<void> {
        try {
            co_await conRetrollamada<int>([g](std::function<void(int)> listo) { *g = listo; });
        } catch (const TareaCancelada&) {
            *c = true;
        }
    }(&guardada, &cancelada));
    ASSERT_TRUE(bombearHasta([&] { return static_cast<bool>(guardada); }));
    lanzada.cancelar();
    ASSERT_TRUE(bombearHasta([&] { return lanzada.terminada(); }));
    EXPECT_TRUE(cancelada);
    guardada(1);  // the operation finishing late must not touch the ended task
    bombearHasta([] { return false; }, 20ms);
}

}  // namespace
}  // namespace sorvenia

namespace sorvenia {
namespace {

Tarea<int> tardaSegundos(double s, int valor) {
    co_await dormir(s);
    co_return valor;
}

TEST(Tarea, TiempoLimite) {
    EXPECT_EQ(esperarEnBucle(conTiempoLimite(tardaSegundos(0.01, 5), 2.0)), std::optional<int>(5));
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_EQ(esperarEnBucle(conTiempoLimite(tardaSegundos(30, 5), 0.05)), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(5));
    EXPECT_EQ(esperarEnBucle(conTiempoLimite(fallaEnSegundoPlano(), 2.0)), std::nullopt);
}

}  // namespace
}  // namespace sorvenia
