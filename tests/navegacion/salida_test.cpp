// Quitting waits for the final saves of the editors with unsaved changes,
// never more than its limit, and goes on exactly once.
#include "navegacion/salida.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cerrno>
#include <chrono>

#include "esperar_bucle.h"
#include "centro/centro.h"
#include "centro/trabajos.h"
#include "editor/subidas_finales.h"
#include "ias/proceso.h"
#include "editor_doble.h"

namespace sorvenia {
namespace {

using prueba::EditorDoble;
using prueba::esperarHasta;
using Reloj = std::chrono::steady_clock;

TEST(Salida, EsperaSoloALosEditoresConCambiosYUnaVezCadaUno) {
    auto abierto = std::make_shared<EditorDoble>("a");
    auto conAgente = std::make_shared<EditorDoble>("b");
    auto sinCambios = std::make_shared<EditorDoble>("c");
    abierto->pendiente = conAgente->pendiente = true;
    Trabajos::compartido().registrar(conAgente);
    Trabajos::compartido().registrar(sinCambios);
    Trabajos::compartido().registrar(abierto);
    Centro::compartido().editor = abierto;  // also held by a job: counted once
    const auto lista = editoresPorGuardar();
    ASSERT_EQ(lista.size(), 2u);
    EXPECT_EQ(lista[0], conAgente);
    EXPECT_EQ(lista[1], abierto);
    for (const auto& m : {abierto, conAgente, sinCambios}) Trabajos::compartido().quitar(*m);
    Centro::compartido().editor.reset();
    EXPECT_TRUE(editoresPorGuardar().empty());

    // A closed editor whose last change is still being uploaded is waited
    // for too, once, until it is done.
    auto cerrado = std::make_shared<EditorDoble>("d");
    cerrado->pendiente = true;
    SubidasFinales::anotar(cerrado);
    SubidasFinales::anotar(cerrado);
    EXPECT_EQ(editoresPorGuardar(), std::vector<std::shared_ptr<EditorModelo>>{cerrado});
    SubidasFinales::quitar(*cerrado);
    EXPECT_TRUE(editoresPorGuardar().empty());
}

TEST(Salida, SigueCuandoAcabanLosGuardadosOAlLimite) {
    const struct {
        const char* caso;
        std::vector<double> tardanzas;  // one editor each
        double limite;
        double esperado;  // seconds until it goes on
    } casos[] = {
        {"nada que guardar", {}, 0.5, 0.0},
        {"guardados que acaban", {0.2, 0.4}, 1.5, 0.4},
        {"un guardado que no acaba a tiempo", {0.1, 30.0}, 0.6, 0.6},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.caso);
        std::vector<std::shared_ptr<EditorModelo>> editores;
        std::vector<std::shared_ptr<EditorDoble>> dobles;
        for (const double t : caso.tardanzas) {
            auto d = std::make_shared<EditorDoble>("x");
            d->pendiente = true;
            d->tardaGuardar = t;
            dobles.push_back(d);
            editores.push_back(d);
        }
        int seguidas = 0;
        const auto inicio = Reloj::now();
        guardarAntesDeSalir(editores, caso.limite, [&] { ++seguidas; });
        ASSERT_TRUE(esperarHasta([&] { return seguidas > 0; }, std::chrono::seconds(5)));
        const double tardado = std::chrono::duration<double>(Reloj::now() - inicio).count();
        EXPECT_NEAR(tardado, caso.esperado, 0.3);
        for (const auto& d : dobles) EXPECT_EQ(d->guardados, 1);
        // Neither a late save nor the limit makes it go on twice.
        esperarHasta([] { return false; }, std::chrono::milliseconds(static_cast<int>(caso.limite * 1000) + 200));
        EXPECT_EQ(seguidas, 1);
    }
}

// Whether any process of the group `grupo` is still there.
bool grupoVivo(pid_t grupo) { return ::kill(-grupo, 0) == 0 || errno != ESRCH; }

TEST(Salida, NingunAgenteSobreviveALaAplicacion) {
    // One agent ends on the first signal; the other (and what it started)
    // ignores it and must be killed.
    const char* ordenes[] = {"sleep 300 & wait", "trap '' TERM; sleep 300 & sleep 300"};
    std::vector<std::shared_ptr<EditorDoble>> dobles;
    std::vector<pid_t> grupos;
    for (const char* orden : ordenes) {
        Lanzamiento l;
        l.programa = "/bin/sh";
        l.argumentos = {"-c", orden};
        auto proceso = Proceso::lanzar(l);
        ASSERT_TRUE(proceso) << proceso.fallo().mensaje;
        auto d = std::make_shared<EditorDoble>("agente-" + std::to_string(dobles.size()));
        d->proceso = *proceso;
        Trabajos::compartido().registrar(d);
        dobles.push_back(d);
        grupos.push_back((*proceso)->pid());
    }
    auto sinAgente = std::make_shared<EditorDoble>("quieto");
    Trabajos::compartido().registrar(sinAgente);
    const auto agentes = agentesEnMarcha();
    ASSERT_EQ(agentes.size(), 2u);
    // Give the shells time to set their traps and start their children.
    esperarHasta([] { return false; }, std::chrono::milliseconds(200));

    int seguidas = 0;
    const auto inicio = Reloj::now();
    pararAgentesAntesDeSalir(agentes, 0.5, [&] { ++seguidas; });
    ASSERT_TRUE(esperarHasta([&] { return seguidas > 0; }, std::chrono::seconds(5)));
    // The one that ignored the stop held it up to the grace period, no more.
    EXPECT_NEAR(std::chrono::duration<double>(Reloj::now() - inicio).count(), 0.5, 0.3);
    for (const pid_t g : grupos)
        EXPECT_TRUE(esperarHasta([&] { return !grupoVivo(g); }, std::chrono::seconds(3))) << "group " << g << " left";
    EXPECT_EQ(seguidas, 1);

    for (const auto& d : dobles) Trabajos::compartido().quitar(*d);
    Trabajos::compartido().quitar(*sinAgente);
    int sinNada = 0;
    pararAgentesAntesDeSalir(agentesEnMarcha(), 0.5, [&] { ++sinNada; });
    EXPECT_EQ(sinNada, 1);
}

}  // namespace
}  // namespace sorvenia
