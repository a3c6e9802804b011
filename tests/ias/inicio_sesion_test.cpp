// Signing in to an AI tool through a terminal of ours, with the stand-in
// claude of tests/apoyo/bin: it refuses to sign in without a terminal,
// prints its sign-in address twice, asks for a code, rejects any but
// "bueno", and afterwards answers the login probe as signed in.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ayuda.h"
#include "ias/inicio_sesion.h"
#include "ias/matar.h"
#include "plataforma/navegador.h"

namespace sorvenia::IAsLocales {
namespace {

namespace fs = std::filesystem;

class InicioSesion : public ::testing::Test {
protected:
    void SetUp() override {
        char plantilla[] = "/tmp/inicio-sesion-XXXXXX";
        ASSERT_NE(mkdtemp(plantilla), nullptr);
        carpeta_ = plantilla;
        fs::create_symlink(prueba::apoyo("claude"), carpeta_ / "claude");
        std::ofstream(carpeta_ / "claude.sesion") << "fuera\n";
        anterior_ = Navegador::usarAbridor([this](const std::string& uri) {
            abiertos_.push_back({uri, std::chrono::steady_clock::now()});
            return true;
        });
        ia_.tipo = IA::Tipo::claude;
        ia_.nombre = "Claude";
        ia_.ruta = (carpeta_ / "claude").string();
    }
    void TearDown() override {
        Navegador::usarAbridor(anterior_);
        fs::remove_all(carpeta_);
    }

    std::shared_ptr<Inicio> empezar() {
        inicio_ = std::chrono::steady_clock::now();
        return iniciarSesion(
            ia_, [this] { ++pedidos_; }, [this] { ++malos_; }, [this](bool s) { finales_.push_back(s); });
    }

    bool esperar(const std::function<bool()>& listo, double segundos = 10) {
        return prueba::iterarHasta(listo, segundos);
    }

    fs::path carpeta_;
    IA ia_;
    Navegador::Abridor anterior_;
    std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> abiertos_;
    std::chrono::steady_clock::time_point inicio_;
    int pedidos_ = 0;
    int malos_ = 0;
    std::vector<bool> finales_;
};

TEST_F(InicioSesion, EnlaceCodigoRechazadoYCodigoBueno) {
    const auto inicio = empezar();
    ASSERT_TRUE(inicio);
    ASSERT_TRUE(esperar([this] { return pedidos_ == 1; })) << "no pidió el código";
    // The address printed twice is opened once, a second and a half later.
    ASSERT_TRUE(esperar([this] { return !abiertos_.empty(); }));
    EXPECT_EQ(abiertos_[0].first, "https://claude.example/oauth/authorize?code=true&state=falso");
    EXPECT_GE(std::chrono::duration<double>(abiertos_[0].second - inicio_).count(), 1.4);

    inicio->enviar("malo");
    ASSERT_TRUE(esperar([this] { return malos_ == 1; })) << "no avisó del código malo";
    EXPECT_TRUE(finales_.empty());
    // What the user pasted with a link keeps only the code.
    inicio->enviar("  bueno https://claude.example/callback\n");
    ASSERT_TRUE(esperar([this] { return !finales_.empty(); }));
    EXPECT_EQ(finales_, std::vector<bool>{true});
    EXPECT_EQ(pedidos_, 1);
    EXPECT_EQ(malos_, 1);
    EXPECT_EQ(abiertos_.size(), 1u);
    EXPECT_FALSE(inicio->proceso()->enMarcha());
}

TEST_F(InicioSesion, CancelarTerminaElProcesoYAvisaUnaVez) {
    const auto inicio = empezar();
    ASSERT_TRUE(inicio);
    ASSERT_TRUE(esperar([this] { return pedidos_ == 1; }));
    const pid_t pid = inicio->proceso()->pid();
    matar(inicio->proceso());
    ASSERT_TRUE(esperar([this] { return !finales_.empty(); }));
    EXPECT_EQ(finales_, std::vector<bool>{false});
    EXPECT_FALSE(prueba::vivo(pid));
    // Nothing more arrives later.
    esperar([] { return false; }, 1);
    EXPECT_EQ(finales_.size(), 1u);
}

TEST_F(InicioSesion, AlSalirDeLaAplicacionSeTerminan) {
    const auto inicio = empezar();
    ASSERT_TRUE(inicio);
    ASSERT_TRUE(esperar([this] { return pedidos_ == 1; }));
    terminarInicios();
    ASSERT_TRUE(esperar([this] { return !finales_.empty(); }));
    EXPECT_FALSE(inicio->proceso()->enMarcha());
}

TEST_F(InicioSesion, SinEjecutableNoEmpiezaNada) {
    ia_.ruta.reset();
    EXPECT_EQ(empezar(), nullptr);
    esperar([] { return false; }, 0.5);
    EXPECT_TRUE(finales_.empty());
}

TEST_F(InicioSesion, UnEjecutableQueNoArrancaTerminaEnFalso) {
    ia_.ruta = (carpeta_ / "no-existe").string();
    EXPECT_EQ(empezar(), nullptr);
    ASSERT_TRUE(esperar([this] { return !finales_.empty(); }));
    EXPECT_EQ(finales_, std::vector<bool>{false});
}

}  // namespace
}  // namespace sorvenia::IAsLocales
