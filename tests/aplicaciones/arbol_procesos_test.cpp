#include "aplicaciones/arbol_procesos.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "aislado.h"
#include "ayuda.h"
#include "ias/proceso.h"

namespace sorvenia {
namespace {

TEST(ArbolProcesos, PadreEnStat) {
    const struct {
        const char* texto;
        std::optional<pid_t> padre;
    } casos[] = {
        {"123 (node) S 45 123 123 0 -1", 45},
        {"7 (un (raro) nombre) R 1 7 7", 1},
        {"8 (a) b) Z 99 8", 99},
        {"9 () S 2 9", 2},
        {"sin paréntesis 3 4", std::nullopt},
        {"10 (x) S", std::nullopt},
        {"10 (x) S abc", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : casos) EXPECT_EQ(ArbolProcesos::padreEnStat(c.texto), c.padre) << c.texto;
    // This very process is found among its parent's children.
    const auto hermanos = ArbolProcesos::hijos(::getppid());
    EXPECT_NE(std::find(hermanos.begin(), hermanos.end(), ::getpid()), hermanos.end());
}

std::vector<pid_t> descendientes(pid_t pid) {
    std::vector<pid_t> todos;
    for (const pid_t h : ArbolProcesos::hijos(pid)) {
        todos.push_back(h);
        const auto mas = descendientes(h);
        todos.insert(todos.end(), mas.begin(), mas.end());
    }
    return todos;
}

bool algunoVivo(const std::vector<pid_t>& pids) {
    return std::any_of(pids.begin(), pids.end(), [](pid_t p) { return prueba::vivo(p); });
}

TEST(ArbolProcesos, MatarArbolNoDejaNingunProcesoDelArbol) {
    const auto fichero = prueba::raizAislada() / "arbol-pids";
    setenv("ARBOL_PIDS", fichero.c_str(), 1);
    // Each process is signalled by its own id through the parent links; no
    // group signal is sent.
    auto proceso = Proceso::lanzar(Lanzamiento{prueba::apoyoBin("arbol.sh"), {"4"}, std::nullopt, std::nullopt});
    ASSERT_TRUE(proceso.ok());
    const pid_t raiz = (*proceso)->pid();
    std::vector<pid_t> arbol;
    ASSERT_TRUE(prueba::iterarHasta(
        [&] {
            arbol = descendientes(raiz);
            return arbol.size() == 7;  // three more shells and four sleeps
        },
        10));
    arbol.push_back(raiz);
    ArbolProcesos::matarArbol(raiz);
    EXPECT_TRUE(prueba::iterarHasta([&] { return !algunoVivo(arbol); }, 10));
    // The root shell is signalled last: it either dies of it or, its
    // children gone first, returns from `wait` and ends on its own.
    const auto estado = (*proceso)->esperar(10);
    ASSERT_TRUE(estado.has_value()) << "La raíz del árbol sigue viva.";
    EXPECT_TRUE(*estado == SIGTERM || *estado == 0) << *estado;
    for (const pid_t p : arbol) EXPECT_FALSE(prueba::vivo(p)) << p;
}

}  // namespace
}  // namespace sorvenia
