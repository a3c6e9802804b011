// Children that misbehave: ignore SIGTERM, leave grandchildren holding the
// pipes, flood their output, never read their input.
#include "ias/matar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <csignal>
#include <mutex>

#include "ayuda.h"
#include "ias/ejecutar_por_lineas.h"

namespace sorvenia::IAsLocales {
namespace {

using prueba::EnCurso;
using prueba::lanzarPrueba;
using Reloj = std::chrono::steady_clock;

// Every signal sent through a process object, with when it was sent.
struct Registro {
    struct Senal {
        pid_t destino;
        int senal;
        Reloj::time_point cuando;
    };
    std::mutex mutex;
    std::vector<Senal> senales;

    void observar(const std::shared_ptr<Proceso>& p) {
        p->observarSenales([this](pid_t destino, int senal) {
            std::lock_guard bloqueo(mutex);
            senales.push_back({destino, senal, Reloj::now()});
        });
    }
    std::vector<std::pair<pid_t, int>> pares() {
        std::lock_guard bloqueo(mutex);
        std::vector<std::pair<pid_t, int>> v;
        for (const auto& s : senales) v.emplace_back(s.destino, s.senal);
        return v;
    }
};

// A stubborn child (tests/apoyo/bin/terco.sh) with its grandchild's id.
struct Terco {
    Registro registro;
    pid_t hijo = 0, nieto = 0;
    std::shared_ptr<Proceso> proceso;
    std::optional<EnCurso<Resultado<FinEjecucion>>> enCurso;
    Reloj::time_point inicio = Reloj::now();

    void lanzar(double limite, std::vector<std::string> argumentos = {}) {
        enCurso.emplace(lanzarPrueba(ejecutarPorLineas(
            prueba::apoyo("terco.sh"), std::move(argumentos), "", "/", limite,
            [this](std::shared_ptr<Proceso> p) {
                proceso = p;
                registro.observar(p);
            },
            {},
            [this](std::string linea) {
                std::sscanf(linea.c_str(), "hijo %d", &hijo);
                std::sscanf(linea.c_str(), "nieto %d", &nieto);
            })));
    }
};

TEST(Matar, LlegaAlGrupoEnteroPorTiempoYPorCancelacion) {
    // The three cases at once: each waits out the five seconds of the stop
    // sequence.
    Terco porTiempo, cancelado, obediente;
    porTiempo.lanzar(1.0);
    cancelado.lanzar(600);
    obediente.lanzar(1.0, {"obediente"});
    ASSERT_TRUE(prueba::iterarHasta([&] { return cancelado.nieto != 0; }, 10));
    cancelado.enCurso->tarea.cancelar();
    ASSERT_TRUE(prueba::iterarHasta(
        [&] {
            return porTiempo.enCurso->terminada() && cancelado.enCurso->terminada() && obediente.enCurso->terminada();
        },
        1 + segundosHastaMatar + 5));

    const auto senales = [](pid_t p, bool hijoSalioConTerm) -> std::vector<std::pair<pid_t, int>> {
        // SIGTERM to the child and its group; when the child has exited,
        // SIGTERM to the group again; five seconds on, SIGKILL to the child
        // if it still runs and to its group, which still holds the grandchild.
        if (hijoSalioConTerm) return {{p, SIGTERM}, {-p, SIGTERM}, {-p, SIGTERM}, {-p, SIGKILL}};
        return {{p, SIGTERM}, {-p, SIGTERM}, {p, SIGKILL}, {-p, SIGKILL}, {-p, SIGTERM}};
    };
    const struct {
        Terco* terco;
        int estado;
        bool hijoSalioConTerm;
    } casos[] = {{&porTiempo, SIGKILL, false}, {&cancelado, SIGKILL, false}, {&obediente, SIGTERM, true}};
    for (const auto& c : casos) {
        Terco& t = *c.terco;
        const auto& fin = **t.enCurso->resultado;
        ASSERT_TRUE(fin.ok());
        EXPECT_EQ(fin->estado, c.estado);
        ASSERT_GT(t.nieto, 0);
        EXPECT_FALSE(prueba::vivo(t.hijo));
        EXPECT_TRUE(prueba::iterarHasta([&] { return !prueba::vivo(t.nieto); }, 1)) << "grandchild still alive";
        EXPECT_EQ(t.registro.pares(), senales(t.hijo, c.hijoSalioConTerm));
        std::lock_guard bloqueo(t.registro.mutex);
        const auto& s = t.registro.senales;
        const auto kill = std::find_if(s.begin(), s.end(), [](const auto& x) { return x.senal == SIGKILL; });
        ASSERT_NE(kill, s.end());
        EXPECT_GE(kill->cuando - s.front().cuando, std::chrono::milliseconds(4500));
    }
}

TEST(Matar, UnaEjecucionTerminadaYaNoRecibeSenales) {
    Registro registro;
    std::shared_ptr<Proceso> proceso;
    // The child lives long enough for the observer to be in place before it exits.
    const auto fin = esperarEnBucle(ejecutarPorLineas(
        "/bin/sh", {"-c", "sleep 0.5"}, "", "/", 30,
        [&](std::shared_ptr<Proceso> p) {
            proceso = p;
            registro.observar(p);
        },
        {}, {}));
    ASSERT_TRUE(fin.ok());
    EXPECT_EQ(fin->estado, 0);
    const pid_t pid = proceso->pid();
    // Even a normal exit is followed by SIGTERM to the group.
    EXPECT_EQ(registro.pares(), (std::vector<std::pair<pid_t, int>>{{-pid, SIGTERM}}));

    // The child is reaped now: its id may belong to a stranger already.
    matar(proceso);
    EXPECT_EQ(registro.pares().size(), 1u);
}

TEST(Matar, UnHijoQueInundaLaSalidaNoBloqueaElBuclePrincipal) {
    auto lineas = std::make_shared<long>(0);
    auto inundacion = lanzarPrueba(ejecutarPorLineas("/bin/sh", {"-c", "exec yes"}, "", "/", 1.0, {}, {},
                                                     [lineas](std::string) { ++*lineas; }));
    int latidos = 0;
    const guint reloj = g_timeout_add(
        50, [](gpointer datos) -> gboolean {
            ++*static_cast<int*>(datos);
            return G_SOURCE_CONTINUE;
        },
        &latidos);
    ASSERT_TRUE(inundacion.esperar(15));
    g_source_remove(reloj);
    ASSERT_TRUE(inundacion.resultado->value().ok());
    EXPECT_EQ(inundacion.resultado->value()->estado, SIGTERM);
    EXPECT_GT(*lineas, 1000);
    // One second of flood: a 50 ms timer must have run several times.
    EXPECT_GE(latidos, 5);
}

TEST(Matar, UnHijoQueNoLeeSuEntradaNoDetieneNadaNiMataConSigpipe) {
    const auto antes = std::signal(SIGPIPE, SIG_DFL);
    const auto fin = esperarEnBucle(
        ejecutarPorLineas("/bin/sh", {"-c", "sleep 0.2; echo hecho"}, std::string(8 << 20, 'x'), "/", 30, {}, {}, {}));
    ASSERT_TRUE(fin.ok());
    EXPECT_EQ(fin->estado, 0);
    // The writer meets the closed pipe after the run; give it the moment.
    prueba::iterarHasta([] { return false; }, 0.5);
    std::signal(SIGPIPE, antes);
}

}  // namespace
}  // namespace sorvenia::IAsLocales
