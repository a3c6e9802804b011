#include "ias/ejecutar_por_lineas.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

#include "ayuda.h"
#include "ias/path_terminal.h"

namespace sorvenia::IAsLocales {
namespace {

using prueba::EnCurso;
using prueba::lanzarPrueba;

struct Corrida {
    Resultado<FinEjecucion> fin;
    std::vector<std::string> lineas;
    bool todasEnPrincipal = true;
};

Corrida porLineas(std::string ruta, std::vector<std::string> argumentos, std::string entrada = "",
                  Entorno entorno = {}, double limite = 30, std::filesystem::path en = "/") {
    auto lineas = std::make_shared<std::vector<std::string>>();
    auto enPrincipal = std::make_shared<bool>(true);
    auto fin = esperarEnBucle(ejecutarPorLineas(std::move(ruta), std::move(argumentos), std::move(entrada),
                                                std::move(en), limite, {}, std::move(entorno),
                                                [lineas, enPrincipal](std::string l) {
                                                    *enPrincipal = *enPrincipal && esHiloPrincipal();
                                                    lineas->push_back(std::move(l));
                                                }));
    return Corrida{std::move(fin), *lineas, *enPrincipal};
}

Corrida shell(const std::string& guion, std::string entrada = "", Entorno entorno = {}, double limite = 30) {
    return porLineas("/bin/sh", {"-c", guion}, std::move(entrada), std::move(entorno), limite);
}

TEST(EjecutarPorLineas, EntregaLasLineasEnOrdenEnElHiloPrincipal) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        const char* guion;
        std::vector<std::string> lineas;
    } casos[] = {
        {"printf 'a\\r\\nb'", {"a\r", "b"}},
        {"printf '\\n\\n\\n'", {}},
        {"printf 'x\\377y\\n'", {"x" + r + "y"}},
        // ñ written as two writes a moment apart, inside one line
        {"printf 'a\\303'; sleep 0.2; printf '\\261b\\n'", {"añb"}},
        {"for i in 1 2 3 4 5; do echo $i; done; printf 'sin salto'", {"1", "2", "3", "4", "5", "sin salto"}},
    };
    for (const auto& c : casos) {
        const auto corrida = shell(c.guion);
        ASSERT_TRUE(corrida.fin.ok()) << c.guion;
        EXPECT_EQ(corrida.fin->estado, 0) << c.guion;
        EXPECT_EQ(corrida.lineas, c.lineas) << c.guion;
        EXPECT_TRUE(corrida.todasEnPrincipal) << c.guion;
    }
}

TEST(EjecutarPorLineas, SoloErroresDevuelveEstadoYTextoSinLineas) {
    const auto corrida = shell("printf 'algo falló\\377' >&2; exit 3");
    ASSERT_TRUE(corrida.fin.ok());
    EXPECT_EQ(corrida.fin->estado, 3);
    EXPECT_EQ(corrida.fin->errores, "algo falló\xEF\xBF\xBD");
    EXPECT_TRUE(corrida.lineas.empty());
}

TEST(EjecutarPorLineas, EjecutarDevuelveSalidaYErroresAparte) {
    const auto r = esperarEnBucle(ejecutar("/bin/sh", {"-c", "printf fuera; printf dentro >&2; exit 4"}, "", "/", 30));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->estado, 4);
    EXPECT_EQ(r->salida, "fuera");
    EXPECT_EQ(r->errores, "dentro");
}

TEST(EjecutarPorLineas, EscribeLaEntradaYLaCierra) {
    EXPECT_EQ(shell("cat", "uno\ndos").lineas, (std::vector<std::string>{"uno", "dos"}));
    // An empty input is end of file at once: cat ends and the echo runs.
    const auto vacia = shell("cat; echo fin", "", {}, 10);
    EXPECT_EQ(vacia.fin->estado, 0);
    EXPECT_EQ(vacia.lineas, std::vector<std::string>{"fin"});
    // Far more than a pipe holds, all of it.
    EXPECT_EQ(shell("wc -c", std::string(3 << 20, 'x')).lineas, std::vector<std::string>{"3145728"});
}

TEST(EjecutarPorLineas, ArmaElEntornoEnSuOrden) {
    setenv("CLAUDECODE", "1", 1);
    setenv("NO_COLOR", "0", 1);
    setenv("SORVENIA_HEREDADA", "sí", 1);
    const auto variables = [](Entorno adicional) {
        std::map<std::string, std::string> v;
        for (const auto& l : porLineas("/usr/bin/env", {}, "", std::move(adicional)).lineas)
            v[l.substr(0, l.find('='))] = l.substr(l.find('=') + 1);
        return v;
    };
    const auto propio = variables({});
    EXPECT_EQ(propio.at("PATH"), pathDeTerminal());
    EXPECT_EQ(propio.at("NO_COLOR"), "1");
    EXPECT_EQ(propio.at("HYPERFRAMES_NO_TELEMETRY"), "1");
    EXPECT_EQ(propio.count("CLAUDECODE"), 0u);
    EXPECT_EQ(propio.at("SORVENIA_HEREDADA"), "sí");

    const auto cambiado = variables({{"PATH", "/solo/esta"}, {"CLAUDECODE", "de vuelta"}, {"NO_COLOR", "2"}});
    EXPECT_EQ(cambiado.at("PATH"), "/solo/esta");
    EXPECT_EQ(cambiado.at("CLAUDECODE"), "de vuelta");
    EXPECT_EQ(cambiado.at("NO_COLOR"), "2");
    unsetenv("CLAUDECODE");
}

TEST(EjecutarPorLineas, UnArranqueFallidoEsElUnicoErrorYNoDejaNada) {
    const auto carpeta = std::filesystem::temp_directory_path() / ("sorvenia-ias-" + std::to_string(getpid()));
    std::filesystem::create_directories(carpeta);
    const auto sinPermiso = carpeta / "no-ejecutable";
    std::ofstream(sinPermiso) << "#!/bin/sh\necho hola\n";
    chmod(sinPermiso.c_str(), 0644);

    const struct {
        std::string ruta;
        std::filesystem::path en;
        std::string mensaje;
    } casos[] = {
        {"/no/existe/programa", "/", "No se puede arrancar «/no/existe/programa»: el programa no existe."},
        {sinPermiso.string(), "/",
         "No se puede arrancar «" + sinPermiso.string() + "»: el programa no se puede ejecutar (faltan permisos)."},
        {"/bin/sh", "/no/existe/carpeta",
         "No se puede arrancar «/bin/sh»: la carpeta de trabajo «/no/existe/carpeta» no existe."},
    };
    ASSERT_TRUE(esperarEnBucle(ejecutar("/bin/true", {}, "", "/", 10)).ok());
    for (const auto& c : casos) {
        const int descriptores = prueba::descriptoresAbiertos();
        const int hijos = prueba::hijosPropios();
        bool llamado = false;
        const auto fin = esperarEnBucle(ejecutarPorLineas(
            c.ruta, {"-c", "echo hola"}, "entrada", c.en, 30, [&](std::shared_ptr<Proceso>) { llamado = true; }, {},
            [&](std::string) { llamado = true; }));
        ASSERT_FALSE(fin.ok()) << c.ruta;
        EXPECT_EQ(fin.fallo().mensaje, c.mensaje);
        EXPECT_FALSE(llamado);
        EXPECT_EQ(prueba::descriptoresAbiertos(), descriptores) << "a pipe left open: " << c.ruta;
        EXPECT_EQ(prueba::hijosPropios(), hijos) << c.ruta;
    }
    std::filesystem::remove_all(carpeta);
}

TEST(EjecutarPorLineas, LaCancelacionParaAlHijoAntesYDuranteLaEjecucion) {
    // Cancelled before the coroutine has even started: the child is still
    // launched, stopped at once, and its status returned.
    pid_t antes = 0;
    auto previa = lanzarPrueba(ejecutarPorLineas("/bin/sh", {"-c", "exec sleep 30"}, "", "/", 60,
                                                 [&](std::shared_ptr<Proceso> p) { antes = p->pid(); }, {}, {}));
    previa.tarea.cancelar();

    pid_t durante = 0;
    std::optional<EnCurso<Resultado<FinEjecucion>>> enMarcha;
    enMarcha.emplace(lanzarPrueba(ejecutarPorLineas(
        "/bin/sh", {"-c", "echo listo; exec sleep 30"}, "", "/", 60,
        [&](std::shared_ptr<Proceso> p) { durante = p->pid(); }, {},
        [&](std::string) { enMarcha->tarea.cancelar(); })));

    ASSERT_TRUE(previa.esperar(10));
    ASSERT_TRUE(enMarcha->esperar(10));
    for (const auto& r : {**previa.resultado, **enMarcha->resultado}) {
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r->estado, SIGTERM);
    }
    EXPECT_GT(antes, 0);
    EXPECT_FALSE(prueba::vivo(antes));
    EXPECT_FALSE(prueba::vivo(durante));
}

TEST(EjecutarPorLineas, UnaRetrollamadaQueLanzaParaAlHijoYLlegaAlLlamador) {
    pid_t pid = 0;
    auto tarea = ejecutarPorLineas(
        "/bin/sh", {"-c", "echo uno; exec sleep 30"}, "", "/", 60, [&](std::shared_ptr<Proceso> p) { pid = p->pid(); },
        {}, [](std::string) { throw std::runtime_error("no me gusta"); });
    EXPECT_THROW((void)esperarEnBucle(std::move(tarea)), std::runtime_error);
    EXPECT_FALSE(prueba::vivo(pid));
}

}  // namespace
}  // namespace sorvenia::IAsLocales
