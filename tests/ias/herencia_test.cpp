// What a child inherits from the application: only descriptors 0, 1 and 2,
// default signal dispositions and an empty signal mask, whatever other runs
// are doing at the same time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <sstream>

#include "ayuda.h"
#include "ias/descriptor.h"
#include "ias/ejecutar_por_lineas.h"
#include "ias/publicar_vps_correr.h"

namespace sorvenia::IAsLocales {
namespace {

using prueba::EnCurso;
using prueba::lanzarPrueba;

struct ConLineas {
    EnCurso<Resultado<FinEjecucion>> enCurso;
    std::shared_ptr<std::vector<std::string>> lineas;
};

ConLineas lanzarConLineas(std::string ruta, std::vector<std::string> argumentos) {
    auto lineas = std::make_shared<std::vector<std::string>>();
    auto enCurso = lanzarPrueba(ejecutarPorLineas(std::move(ruta), std::move(argumentos), "", "/", 60, {}, {},
                                                  [lineas](std::string l) { lineas->push_back(std::move(l)); }));
    return ConLineas{std::move(enCurso), lineas};
}

TEST(Herencia, VeinteEjecucionesALaVezSinDescriptoresAjenos) {
    ASSERT_TRUE(esperarEnBucle(ejecutar("/bin/true", {}, "", "/", 10)).ok());
    const int antes = prueba::descriptoresAbiertos();
    std::vector<ConLineas> corridas;
    for (int i = 0; i < 20; ++i) corridas.push_back(lanzarConLineas(SONDA, {"descriptores"}));
    ASSERT_TRUE(prueba::iterarHasta(
        [&] {
            for (const auto& c : corridas)
                if (!c.enCurso.terminada()) return false;
            return true;
        },
        30));
    for (const auto& c : corridas) {
        ASSERT_TRUE(c.enCurso.resultado->value().ok());
        EXPECT_EQ(*c.lineas, (std::vector<std::string>{"0", "1", "2"}));
    }
    // The standard-input writers may close their end a moment after a run
    // returns; nothing else may stay open.
    EXPECT_TRUE(prueba::iterarHasta([&] { return prueba::descriptoresAbiertos() == antes; }, 5))
        << prueba::descriptoresAbiertos() << " descriptors open, " << antes << " before";
}

TEST(Herencia, LosDescriptoresPropiosSeCierranAlEjecutar) {
    // Each child also closes everything from 3 up; this is the other half.
    auto tuberia = crearTuberia();
    auto nulo = abrirNulo();
    ASSERT_TRUE(tuberia.ok() && nulo.ok());
    for (int fd : {tuberia->lectura.fd(), tuberia->escritura.fd(), nulo->fd()}) {
        EXPECT_GE(fd, 3);
        EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC) << fd;
    }
}

TEST(Herencia, DosEjecucionesSolapadasTerminanCadaUnaConSuHijo) {
    // Were the short run's pipe inherited by the long run's child, it would
    // see end of file only when that child ends.
    auto larga = lanzarConLineas("/bin/sh", {"-c", "exec sleep 3"});
    auto corta = lanzarConLineas("/bin/sh", {"-c", "echo hola"});
    ASSERT_TRUE(corta.enCurso.esperar(10));
    EXPECT_FALSE(larga.enCurso.terminada());
    EXPECT_EQ(*corta.lineas, std::vector<std::string>{"hola"});
    ASSERT_TRUE(larga.enCurso.esperar(10));
}

// The SigBlk and SigIgn masks a child reports, as numbers. glibc's spawn
// leaves its own two reserved signals (32 and 33, below SIGRTMIN, which no
// program reaches through the C library) ignored in the child on purpose;
// they are left out.
std::pair<unsigned long long, unsigned long long> mascaras(const std::string& informe) {
    unsigned long long bloqueadas = ~0ull, ignoradas = ~0ull;
    std::istringstream lineas(informe);
    std::string linea;
    while (std::getline(lineas, linea)) {
        const auto valor = std::stoull(linea.substr(linea.find('\t') + 1), nullptr, 16);
        (linea.rfind("SigBlk:", 0) == 0 ? bloqueadas : ignoradas) = valor;
    }
    const unsigned long long reservadas = (1ull << (32 - 1)) | (1ull << (33 - 1));
    return {bloqueadas, ignoradas & ~reservadas};
}

TEST(Herencia, ElHijoNoHeredaSenalesIgnoradasNiBloqueadas) {
    // As the application does at start.
    const auto antes = std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGUSR2, SIG_IGN);
    auto corrida = lanzarConLineas(SONDA, {"senales"});
    ASSERT_TRUE(corrida.enCurso.esperar(10));
    std::string informe;
    for (const auto& l : *corrida.lineas) informe += l + "\n";
    EXPECT_EQ(mascaras(informe), std::make_pair(0ull, 0ull)) << informe;

    // The blocking runner starts the child from the calling thread, whose
    // mask would otherwise pass on.
    sigset_t usr1, mascara;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, &mascara);
    const auto [ok, texto] = PublicarVPS::correr(SONDA, {"senales"}, {}, std::nullopt);
    pthread_sigmask(SIG_SETMASK, &mascara, nullptr);
    std::signal(SIGUSR2, SIG_DFL);
    std::signal(SIGPIPE, antes);
    EXPECT_TRUE(ok);
    EXPECT_EQ(mascaras(texto), std::make_pair(0ull, 0ull)) << texto;
}

}  // namespace
}  // namespace sorvenia::IAsLocales
