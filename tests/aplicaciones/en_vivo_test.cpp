#include "aplicaciones/en_vivo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>

#include "aislado.h"
#include "ayuda.h"
#include "esperar_bucle.h"
#include "ias/path_terminal.h"

namespace sorvenia {
namespace {

struct Corrida {
    FinEnVivo fin;
    std::vector<std::string> lineas;
    bool algunaEnPrincipal = false;
};

Corrida correr(std::string ruta, std::vector<std::string> argumentos, std::optional<Entorno> entorno = std::nullopt) {
    auto lineas = std::make_shared<std::vector<std::string>>();
    auto mutex = std::make_shared<std::mutex>();
    auto enPrincipal = std::make_shared<std::atomic<bool>>(false);
    auto fin = prueba::esperarTarea(enVivo(std::move(ruta), std::move(argumentos), std::filesystem::path("/"),
                                           std::move(entorno),
                                           [lineas, mutex, enPrincipal](std::string l) {
                                               if (esHiloPrincipal()) *enPrincipal = true;
                                               std::lock_guard b(*mutex);
                                               lineas->push_back(std::move(l));
                                           }),
                                    std::chrono::seconds(30));
    EXPECT_TRUE(fin.has_value());
    return Corrida{fin.value_or(FinEnVivo{-99, ""}), *lineas, *enPrincipal};
}

TEST(EnVivo, LineasEstadoYSalidaReunida) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        const char* guion;
        std::int32_t estado;
        std::vector<std::string> lineas;
    } casos[] = {
        // the last line, without a line feed, arrives after the exit
        {"printf 'a\\n\\nb'", 0, {"a", "b"}},
        {"printf 'uno\\r\\ndos\\r\\n'", 0, {"uno\r", "dos\r"}},
        {"true", 0, {}},
        {"echo solo errores >&2; echo otra >&2", 0, {"solo errores", "otra"}},
        {"echo fuera; echo dentro >&2; echo fuera2; exit 3", 3, {"fuera", "dentro", "fuera2"}},
        // ñ written in two writes a moment apart, inside one line
        {"printf 'a\\303'; sleep 0.2; printf '\\261b\\n'", 0, {"añb"}},
        {"printf 'x\\377y\\n'", 0, {"x" + r + "y"}},
        {"kill -TERM $$", SIGTERM, {}},
    };
    for (const auto& c : casos) {
        const auto corrida = correr("/bin/sh", {"-c", c.guion});
        EXPECT_EQ(corrida.fin.estado, c.estado) << c.guion;
        EXPECT_EQ(corrida.lineas, c.lineas) << c.guion;
        std::string reunida;
        for (const auto& l : c.lineas) reunida += l + "\n";
        EXPECT_EQ(corrida.fin.salida, reunida) << c.guion;
        EXPECT_FALSE(corrida.algunaEnPrincipal) << c.guion;
    }
}

TEST(EnVivo, ProgramaQueNoArrancaNoDaLineas) {
    for (const char* ruta : {"/no/existe/programa", "/etc/hostname", "/"}) {
        const auto corrida = correr(ruta, {});
        EXPECT_EQ(corrida.fin.estado, -1) << ruta;
        EXPECT_EQ(corrida.fin.salida.rfind("no arranca: ", 0), 0u) << corrida.fin.salida;
        EXPECT_GT(corrida.fin.salida.size(), std::string("no arranca: ").size());
        EXPECT_TRUE(corrida.lineas.empty()) << ruta;
    }
}

TEST(EnVivo, EntornoDadoEsTodoElEntornoYSinEl) {
    // Given: exactly that, with no PATH unless it is in it.
    const auto dado = correr("/usr/bin/env", {}, Entorno{{"SOLO", "esto"}});
    EXPECT_EQ(dado.lineas, std::vector<std::string>{"SOLO=esto"});
    // Absent: the application's own, PATH replaced by the login shell's.
    setenv("VARIABLE_DE_LA_APP", "sí", 1);
    const auto propio = correr("/usr/bin/env", {});
    EXPECT_NE(std::find(propio.lineas.begin(), propio.lineas.end(), "VARIABLE_DE_LA_APP=sí"), propio.lineas.end());
    EXPECT_NE(std::find(propio.lineas.begin(), propio.lineas.end(), "PATH=" + IAsLocales::pathDeTerminal()),
              propio.lineas.end());
}

TEST(EnVivo, UnHijoQueNoTerminaMantieneLaLlamadaHastaQueAlguienLoPara) {
    auto lineas = std::make_shared<std::vector<std::string>>();
    auto mutex = std::make_shared<std::mutex>();
    auto enCurso = prueba::lanzarPrueba(enVivo("/bin/sh", {"-c", "echo $$; exec sleep 1000"}, std::nullopt,
                                               std::nullopt, [lineas, mutex](std::string l) {
                                                   std::lock_guard b(*mutex);
                                                   lineas->push_back(std::move(l));
                                               }));
    ASSERT_TRUE(prueba::iterarHasta(
        [&] {
            std::lock_guard b(*mutex);
            return !lineas->empty();
        },
        10));
    const pid_t pid = std::stoi(lineas->front());
    // No time limit, and a cancelled caller still waits for the child.
    enCurso.tarea.cancelar();
    EXPECT_FALSE(enCurso.esperar(1.0));
    EXPECT_TRUE(prueba::vivo(pid));
    ::kill(pid, SIGKILL);
    ASSERT_TRUE(enCurso.esperar(10));
    EXPECT_EQ(enCurso.resultado->value().estado, SIGKILL);
}

TEST(EnVivo, UnNietoQueGuardaLaTuberiaNoRetieneElFin) {
    const auto antes = std::chrono::steady_clock::now();
    const auto corrida = correr("/bin/sh", {"-c", "sleep 20 & echo hecho"});
    EXPECT_EQ(corrida.lineas, std::vector<std::string>{"hecho"});
    EXPECT_LT(std::chrono::steady_clock::now() - antes, std::chrono::seconds(10));
}

}  // namespace
}  // namespace sorvenia
