#include "ias/path_terminal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace sorvenia::IAsLocales {
namespace {

// Stand-in login shells written on the fly; each first checks that it was
// asked for a login command that prints PATH, and prints nothing otherwise.
class ShellDePrueba : public ::testing::Test {
protected:
    void SetUp() override {
        carpeta_ = std::filesystem::temp_directory_path() /
                   ("sorvenia-shell-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(carpeta_);
    }
    void TearDown() override { std::filesystem::remove_all(carpeta_); }

    std::string shell(const std::string& nombre, const std::string& cuerpo) {
        const auto ruta = carpeta_ / nombre;
        std::ofstream(ruta) << "#!/bin/sh\n"
                               "[ \"$1\" = -lc ] && [ \"$2\" = 'printf %s \"$PATH\"' ] || exit 9\n"
                            << cuerpo << "\n";
        chmod(ruta.c_str(), 0755);
        return ruta.string();
    }

    static std::string unir(const std::vector<std::string>& piezas) {
        std::string s;
        for (const auto& p : piezas) s += (s.empty() ? "" : ":") + p;
        return s;
    }

    const std::filesystem::path casa_ = "/home/ana";
    std::filesystem::path carpeta_;
};

TEST_F(ShellDePrueba, ElPathDelShellVaDelanteDeLasOchoCarpetas) {
    const auto ocho = carpetasDeHerramientas(casa_);
    ASSERT_EQ(ocho.size(), 8u);
    std::vector<std::string> sinUsrBin;
    for (const auto& c : ocho)
        if (c != "/usr/bin") sinUsrBin.push_back(c);
    const struct {
        std::string cuerpo;
        std::string esperado;
    } casos[] = {
        {"printf '/a::/b:'", unir({"/a", "/b"}) + ":" + unir(ocho)},
        {"printf '/usr/bin:/x'", "/usr/bin:/x:" + unir(sinUsrBin)},
        {"printf '/home/ana/.local/bin:/x:/x'", "/home/ana/.local/bin:/x:" + unir({ocho.begin() + 1, ocho.end()})},
        // A greeting shares the pipe and ends up in the pieces.
        {"echo 'hola:mundo' >&2; printf '/a'", "hola:mundo\n/a:" + unir(ocho)},
        {"printf '/a'; exit 3", "/a:" + unir(ocho)},
        {"exit 1", unir(ocho)},
    };
    for (const auto& c : casos)
        EXPECT_EQ(calcularPathDeTerminal(shell("sh", c.cuerpo), casa_), c.esperado) << c.cuerpo;
}

TEST_F(ShellDePrueba, SinShellOPasadoElTiempoSoloLasOcho) {
    const auto ocho = unir(carpetasDeHerramientas(casa_));
    EXPECT_EQ(calcularPathDeTerminal("/no/existe/zsh", casa_), ocho);
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_EQ(calcularPathDeTerminal(shell("lento", "sleep 20; printf /tarde"), casa_, 0.5), ocho);
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(5));
}

TEST_F(ShellDePrueba, ElShellDelUsuarioSaleDeSHELLSiEsEjecutable) {
    const auto propio = shell("mi-shell", "");
    setenv("SHELL", propio.c_str(), 1);
    EXPECT_EQ(shellDeUsuario(), propio);
    const auto noEjecutable = shell("sin-permiso", "");
    chmod(noEjecutable.c_str(), 0644);
    for (const std::string& malo : {std::string("zsh"), std::string("/no/existe/zsh"), noEjecutable}) {
        setenv("SHELL", malo.c_str(), 1);
        const auto elegido = shellDeUsuario();
        EXPECT_NE(elegido, malo);
        EXPECT_EQ(access(elegido.c_str(), X_OK), 0) << elegido;
    }
}

TEST_F(ShellDePrueba, PathDeTerminalSeCalculaUnaVezParaTodosLosHilos) {
    // In a process of its own, so that this test is the first use.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto cuenta = carpeta_ / "veces";
    const auto lento = shell("login", "echo x >> '" + cuenta.string() + "'; sleep 0.3; printf /desde/el/shell");
    EXPECT_EXIT(
        {
            setenv("SHELL", lento.c_str(), 1);
            std::vector<std::string> vistos(8);
            std::vector<std::thread> hilos;
            for (auto& v : vistos) hilos.emplace_back([&v] { v = pathDeTerminal(); });
            for (auto& h : hilos) h.join();
            std::ifstream veces(cuenta);
            const std::string todo((std::istreambuf_iterator<char>(veces)), {});
            const bool iguales = std::all_of(vistos.begin(), vistos.end(), [&](auto& v) { return v == vistos[0]; });
            std::exit(!iguales ? 1 : vistos[0].rfind("/desde/el/shell:", 0) != 0 ? 2 : todo != "x\n" ? 3 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace sorvenia::IAsLocales
