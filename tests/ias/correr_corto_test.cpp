#include "ias/correr_corto.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "ayuda.h"

namespace sorvenia::IAsLocales {
namespace {

using Reloj = std::chrono::steady_clock;

TEST(CorrerCorto, DevuelveEstadoYSalidasMezcladas) {
    setenv("SORVENIA_HEREDADA", "sí", 1);
    const struct {
        std::string ruta;
        std::vector<std::string> argumentos;
        std::optional<Entorno> entorno;
        std::optional<SalidaCorta> esperado;
    } casos[] = {
        {"/bin/sh", {"-c", "echo uno; echo dos >&2; echo tres"}, std::nullopt, SalidaCorta{0, "uno\ndos\ntres\n"}},
        {"/bin/sh", {"-c", "echo 'no puedo' >&2; exit 1"}, std::nullopt, SalidaCorta{1, "no puedo\n"}},
        {"/bin/sh", {"-c", "printf 'a\\377'"}, std::nullopt, SalidaCorta{0, "a\xEF\xBF\xBD"}},
        {"/usr/bin/env", {}, Entorno{}, SalidaCorta{0, ""}},
        {"/usr/bin/env", {}, Entorno{{"SOLO", "esta"}}, SalidaCorta{0, "SOLO=esta\n"}},
        {"/bin/sh", {"-c", "printf %s \"$SORVENIA_HEREDADA\""}, std::nullopt, SalidaCorta{0, "sí"}},
        {"/no/existe", {}, std::nullopt, std::nullopt},
    };
    for (const auto& c : casos) {
        const auto r = correrCorto(c.ruta, c.argumentos, c.entorno, 10);
        ASSERT_EQ(r.has_value(), c.esperado.has_value()) << c.ruta;
        if (!r) continue;
        EXPECT_EQ(r->estado, c.esperado->estado) << ::testing::PrintToString(c.argumentos);
        EXPECT_EQ(r->texto, c.esperado->texto) << ::testing::PrintToString(c.argumentos);
    }
}

TEST(CorrerCorto, PasadoElLimiteNoDevuelveNadaYParaAlHijo) {
    const auto fichero = std::filesystem::temp_directory_path() / ("sorvenia-pid-" + std::to_string(getpid()));
    const auto inicio = Reloj::now();
    const auto r = correrCorto("/bin/sh", {"-c", "echo $$ > '" + fichero.string() + "'; exec sleep 30"}, std::nullopt, 0.5);
    EXPECT_FALSE(r.has_value());
    EXPECT_LT(Reloj::now() - inicio, std::chrono::seconds(3));
    pid_t pid = 0;
    std::ifstream(fichero) >> pid;
    std::filesystem::remove(fichero);
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(prueba::iterarHasta([pid] { return !prueba::vivo(pid); }, 3)) << "child still running";
}

TEST(CorrerCorto, UnNietoQueRetieneLaTuberiaNoLaDetieneMasDeDosSegundos) {
    const auto inicio = Reloj::now();
    const auto r = correrCorto("/bin/sh", {"-c", "sleep 6 & exit 7"}, std::nullopt, 10);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->estado, 7);
    EXPECT_EQ(r->texto, "");
    EXPECT_LT(Reloj::now() - inicio, std::chrono::seconds(4));
}

}  // namespace
}  // namespace sorvenia::IAsLocales
