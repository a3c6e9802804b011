// The pseudo-terminal: sizes, keystrokes, signals, the child's end, and
// closing, with local programs and with ssh -tt to the test's own sshd.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <regex>

#include "esperar_bucle.h"
#include "entorno_servidores.h"
#include "servidores/acceso_vps.h"
#include "servidores/identidad_ssh.h"
#include "servidores/terminal_pty.h"

namespace sorvenia {
namespace {

using prueba::esperarHasta;
using namespace std::chrono_literals;

struct Observada {
    std::shared_ptr<TerminalPTY> t = std::make_shared<TerminalPTY>();
    std::string salida;
    int fines = 0;
    Observada() {
        t->salida = [this](std::string b) { salida += b; };
        t->fin = [this] { ++fines; };
    }
    bool ve(const std::string& texto, std::chrono::milliseconds limite = 15s) {
        return esperarHasta([&] { return salida.find(texto) != std::string::npos; }, limite);
    }
};

bool vivo(pid_t pid) { return ::kill(pid, 0) == 0; }

TEST(TerminalPTY, TamanosMinimosYMaximos) {
    using P = std::pair<unsigned short, unsigned short>;
    EXPECT_EQ(TerminalPTY::tamanoValido(10, 3), P(20, 5));
    EXPECT_EQ(TerminalPTY::tamanoValido(0, -4), P(20, 5));
    EXPECT_EQ(TerminalPTY::tamanoValido(120, 40), P(120, 40));
    EXPECT_EQ(TerminalPTY::tamanoValido(100000, 70000), P(65535, 65535));
}

TEST(TerminalPTY, EntornoTamanoYFinDelHijo) {
    Observada o;
    ASSERT_TRUE(o.t->arrancar("/bin/sh", {"-c", "echo \"$TERM $LANG $LC_ALL\"; stty size; exit 0"}, 120, 40));
    EXPECT_TRUE(o.ve("xterm-256color es_ES.UTF-8 es_ES.UTF-8"));
    EXPECT_TRUE(o.ve("40 120"));
    EXPECT_TRUE(esperarHasta([&] { return o.fines == 1; }));
    esperarHasta([] { return false; }, 200ms);
    EXPECT_EQ(o.fines, 1);
    o.t->cerrar();
    o.t->cerrar();
    o.t->escribir("nada");  // after closing: nothing, no error
    o.t->redimensionar(80, 24);
}

TEST(TerminalPTY, ProgramaQueNoExisteFallaAlArrancar) {
    Observada o;
    const auto r = o.t->arrancar("/no/existe", {}, 80, 24);
    ASSERT_FALSE(r);
    EXPECT_NE(r.fallo().mensaje.find("el programa no existe"), std::string::npos);
}

TEST(TerminalPTY, RedimensionarAvisaAlHijoUnaVez) {
    Observada o;
    ASSERT_TRUE(o.t->arrancar("/bin/bash",
                              {"--norc", "--noprofile", "-c",
                               "n=0; trap 'n=$((n+1)); echo \"winch $n $(stty size)\"' WINCH; echo listo; "
                               "while true; do sleep 0.05; done"},
                              80, 24));
    ASSERT_TRUE(o.ve("listo"));
    o.t->redimensionar(100, 30);
    EXPECT_TRUE(o.ve("winch 1 30 100"));
    esperarHasta([] { return false; }, 300ms);
    EXPECT_EQ(o.salida.find("winch 2"), std::string::npos);
    EXPECT_EQ(o.t->tamano(), (std::pair<int, int>(100, 30)));
}

TEST(TerminalPTY, CerrarTerminaTodoElGrupo) {
    Observada o;
    ASSERT_TRUE(o.t->arrancar("/bin/bash", {"--norc", "--noprofile", "-i"}, 80, 24));
    o.t->escribir("sleep 300 & echo \"hijo $!\"\n");
    std::smatch m;
    ASSERT_TRUE(esperarHasta([&] { return std::regex_search(o.salida, m, std::regex("hijo ([0-9]+)")); }));
    const pid_t nieto = std::stoi(m[1]);
    const pid_t shell = o.t->pid();
    ASSERT_TRUE(vivo(nieto));
    o.t->cerrar();
    EXPECT_TRUE(esperarHasta([&] { return !vivo(nieto) && !vivo(shell); }, 10s));
}

class TerminalSsh : public ::testing::Test {
protected:
    static constexpr std::int64_t id = 42;
    void SetUp() override {
        std::string motivo;
        ASSERT_NE(prueba::sshd(&motivo), nullptr) << motivo;
        ASSERT_TRUE(*prueba::esperarTarea(PublicarVPS::prepararFuera(id, "127.0.0.1")));
        if (!*prueba::esperarTarea(PublicarVPS::tieneAcceso(id), 30s))
            ASSERT_TRUE(*prueba::esperarTarea(PublicarVPS::instalarLlave(id, prueba::claveRoot), 30s));
    }
    void TearDown() override { PublicarVPS::cerrarMaestros({id}); }
};

TEST_F(TerminalSsh, SttySizeRedimensionYControlC) {
    Observada o;
    ASSERT_TRUE(o.t->arrancar(
        "/usr/bin/ssh",
        {"-F", PublicarVPS::rutaConfiguracion().string(), "-tt", "-o", "BatchMode=yes", PublicarVPS::alias(id)}, 90,
        33));
    o.t->escribir("stty size\r");
    EXPECT_TRUE(o.ve("33 90", 20s)) << o.salida;
    o.t->redimensionar(111, 44);
    esperarHasta([] { return false; }, 300ms);
    o.t->escribir("stty size\r");
    EXPECT_TRUE(o.ve("44 111", 20s)) << o.salida;
    o.t->escribir("sleep 30\r");
    esperarHasta([] { return false; }, 500ms);
    o.t->escribir("\x03");
    o.t->escribir("echo estado-$?\r");
    EXPECT_TRUE(o.ve("estado-130", 10s)) << o.salida;
    o.t->escribir("exit\r");
    EXPECT_TRUE(esperarHasta([&] { return o.fines == 1; }, 10s));
}

}  // namespace
}  // namespace sorvenia
