// Finding the local AI tools and reading their login state, with the
// stand-ins of tests/apoyo/bin (claude, codex, gemini) linked into folders
// of the test's own; each stand-in reads its state from "<tool>.sesion"
// beside the link.
#include "ias/deteccion.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "aislado.h"
#include "ayuda.h"
#include "ias/path_terminal.h"

namespace sorvenia::IAsLocales {
namespace {

using Reloj = std::chrono::steady_clock;

class DeteccionIAs : public ::testing::Test {
protected:
    void SetUp() override {
        carpeta_ = prueba::raizAislada() / ("prueba-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(carpeta_);
        registro_ = carpeta_ / "registro";
        setenv("SORVENIA_REGISTRO_IAS", registro_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("SORVENIA_REGISTRO_IAS");
        std::error_code ec;
        std::filesystem::remove_all(carpeta_, ec);
    }

    // A folder of this test (made when missing), as text.
    std::string carpeta(const std::string& nombre) {
        std::filesystem::create_directories(carpeta_ / nombre);
        return (carpeta_ / nombre).string();
    }

    // Links the stand-in of `herramienta` into `en` with the login state
    // given; returns the link's path.
    static std::string instalar(const std::filesystem::path& en, const std::string& herramienta,
                                const std::string& estado) {
        std::filesystem::create_directories(en);
        const auto enlace = en / herramienta;
        std::filesystem::remove(enlace);
        std::filesystem::create_symlink(prueba::apoyoBin(herramienta), enlace);
        std::ofstream(en / (herramienta + ".sesion")) << estado;
        return enlace.string();
    }

    // The stand-in starts, one "<path> <arguments>" per line.
    std::vector<std::string> sondas() const {
        std::ifstream f(registro_);
        std::vector<std::string> lineas;
        for (std::string l; std::getline(f, l);) lineas.push_back(l);
        return lineas;
    }

    static detalle::Lugares lugares(std::string path, std::vector<std::string> carpetas = {}) {
        return {std::move(path), std::move(carpetas)};
    }

    std::vector<IA> detectarEn(const detalle::Lugares& l, double limite = limiteSonda) {
        return detalle::detectarEn(l, detalle::entornoDeSonda(l.path), limite);
    }

    std::filesystem::path carpeta_;
    std::filesystem::path registro_;
};

const IA::Tipo claude = IA::Tipo::claude;
const IA::Tipo codex = IA::Tipo::codex;
const IA::Tipo gemini = IA::Tipo::gemini;

TEST_F(DeteccionIAs, BuscarEnSigueLasCarpetasEnOrden) {
    const auto a = carpeta("a");
    const auto b = carpeta("b");
    const auto c = carpeta("c");
    EXPECT_FALSE(detalle::buscarEn(a + ":" + b, "codex"));
    EXPECT_FALSE(detalle::buscarEn("", "codex"));

    // Not executable, or a folder: passed over.
    std::ofstream(a + "/codex") << "#!/bin/sh\n";
    chmod((a + "/codex").c_str(), 0644);
    std::filesystem::create_directories(b + "/codex");
    instalar(c, "codex", "dentro");
    EXPECT_EQ(detalle::buscarEn(a + "::" + b + ":" + c + ":", "codex"), c + "/codex");
    instalar(b + "-otra", "codex", "dentro");
    EXPECT_EQ(detalle::buscarEn(":" + b + "-otra:" + c, "codex"), b + "-otra/codex");
    // A folder written with a final "/" gives a double slash.
    EXPECT_EQ(detalle::buscarEn(c + "/", "codex"), c + "//codex");
    // A link whose target is gone is not an executable.
    std::filesystem::create_symlink(carpeta_ / "no-existe", a + "/gemini");
    instalar(c, "gemini", "dentro");
    EXPECT_EQ(detalle::buscarEn(a + ":" + c, "gemini"), c + "/gemini");
}

TEST_F(DeteccionIAs, CandidatasEnElOrdenDeCadaHerramienta) {
    const auto path1 = carpeta("path1");
    const auto path2 = carpeta("path2");
    const auto npm = carpeta("npm-bin");
    const auto local = carpeta("local-bin");
    const auto l = lugares(path1 + ":" + path2, {npm, local});
    for (const auto t : {claude, codex, gemini}) EXPECT_TRUE(detalle::candidatasEn(t, l).empty());

    for (const auto& h : {"claude", "codex", "gemini"}) {
        instalar(path2, h, "dentro");
        instalar(local, h, "dentro");
    }
    // claude: the install folders first (where the Mac has its desktop app's
    // copies), then the search path; codex the other way round; gemini only
    // the search path.
    EXPECT_EQ(detalle::candidatasEn(claude, l), (std::vector<std::string>{local + "/claude", path2 + "/claude"}));
    EXPECT_EQ(detalle::candidatasEn(codex, l), (std::vector<std::string>{path2 + "/codex", local + "/codex"}));
    EXPECT_EQ(detalle::candidatasEn(gemini, l), (std::vector<std::string>{path2 + "/gemini"}));

    // Only the first of the search path counts.
    instalar(path1, "codex", "dentro");
    instalar(npm, "codex", "dentro");
    EXPECT_EQ(detalle::candidatasEn(codex, l),
              (std::vector<std::string>{path1 + "/codex", npm + "/codex", local + "/codex"}));

    // A folder on both lists gives its path once.
    const auto ambas = lugares(local + ":" + path2, {npm, local});
    EXPECT_EQ(detalle::candidatasEn(codex, ambas), (std::vector<std::string>{local + "/codex", npm + "/codex"}));
    EXPECT_EQ(detalle::candidatasEn(claude, ambas), (std::vector<std::string>{local + "/claude"}));

    // Nothing probes while listing.
    EXPECT_TRUE(sondas().empty());
}

TEST_F(DeteccionIAs, ConSesionLeeLaSondaDeCadaHerramienta) {
    const auto entorno = detalle::entornoDeSonda(getenv("PATH"));
    const struct {
        IA::Tipo tipo;
        std::string estado;
        bool esperado;
    } casos[] = {
        {claude, "dentro", true},  {claude, "compacto", true}, {claude, "fuera", false},
        {codex, "dentro", true},   {codex, "fuera", false},    {gemini, "dentro", true},
        {gemini, "fuera", false},
    };
    for (const auto& c : casos) {
        const auto ruta = instalar(carpeta(c.estado), std::string(IA::texto(c.tipo)), c.estado);
        EXPECT_EQ(detalle::conSesionCon(c.tipo, ruta, entorno, limiteSonda), c.esperado)
            << IA::texto(c.tipo) << " " << c.estado;
    }
    EXPECT_FALSE(detalle::conSesionCon(claude, carpeta_.string() + "/no-existe", entorno, limiteSonda));
    const auto lineas = sondas();
    ASSERT_EQ(lineas.size(), 7u);
    EXPECT_EQ(lineas[0], carpeta_.string() + "/dentro/claude auth status");
    EXPECT_EQ(lineas[3], carpeta_.string() + "/dentro/codex login status");
    EXPECT_EQ(lineas[5], carpeta_.string() + "/dentro/gemini --version");
}

TEST_F(DeteccionIAs, LaSondaRecibeElPathDadoSinCLAUDECODE) {
    setenv("CLAUDECODE", "1", 1);
    const auto ruta = instalar(carpeta("x"), "claude", "dentro");
    EXPECT_TRUE(detalle::conSesionCon(claude, ruta, detalle::entornoDeSonda("/solo/esta"), limiteSonda));
    const auto entorno = detalle::entornoDeSonda("/solo/esta");
    unsetenv("CLAUDECODE");
    EXPECT_EQ(entorno.at("PATH"), "/solo/esta");
    EXPECT_FALSE(entorno.contains("CLAUDECODE"));
    EXPECT_EQ(entorno.at("HOME"), getenv("HOME"));
    EXPECT_FALSE(entorno.contains("NO_COLOR"));
}

TEST_F(DeteccionIAs, UnaSondaQueNoContestaSeParaAlLimite) {
    const auto ruta = instalar(carpeta("x"), "codex", "cuelga");
    const auto inicio = Reloj::now();
    EXPECT_FALSE(detalle::conSesionCon(codex, ruta, detalle::entornoDeSonda("/usr/bin:/bin"), 1.0));
    EXPECT_LT(Reloj::now() - inicio, std::chrono::seconds(3));
    EXPECT_TRUE(prueba::iterarHasta([] { return prueba::hijosPropios(false) == 0; }, 2)) << "the stand-in is still running";
}

TEST_F(DeteccionIAs, SinNadaInstaladoLaListaEstaVacia) {
    const auto vacias = lugares(carpeta("p1") + ":" + carpeta("p2"), {carpeta("npm"), carpeta("local")});
    EXPECT_EQ(detectarEn(vacias), std::vector<IA>{});
    EXPECT_TRUE(sondas().empty());
}

TEST_F(DeteccionIAs, GeminiSeOfreceTrasLasOtrasPorSuVersion) {
    const auto path = carpeta("path");
    const auto local = carpeta("local");
    const auto l = lugares(path, {local});
    // Only on the search path: an install folder does not count for gemini.
    instalar(local, "gemini", "dentro");
    EXPECT_EQ(detectarEn(l), std::vector<IA>{});

    const auto geminiPath = instalar(path, "gemini", "fuera");
    const auto claudePath = instalar(path, "claude", "dentro");
    const IA claudeDentro{claude, "Claude", "Claude Code · tu cuenta de Claude", claudePath, true};
    EXPECT_EQ(
        detectarEn(l),
        (std::vector<IA>{claudeDentro, {gemini, "Gemini", "Gemini CLI · tu cuenta de Google", geminiPath, false}}));
    instalar(path, "gemini", "dentro");
    EXPECT_EQ(
        detectarEn(l),
        (std::vector<IA>{claudeDentro, {gemini, "Gemini", "Gemini CLI · tu cuenta de Google", geminiPath, true}}));
    const auto lineas = sondas();
    ASSERT_FALSE(lineas.empty());
    EXPECT_EQ(lineas.back(), geminiPath + " --version");
}

TEST_F(DeteccionIAs, ClaudeAntesQueCodexConSuSesion) {
    const auto path = carpeta("path");
    const auto local = carpeta("local");
    const auto l = lugares(path, {local});

    // Only codex, in an install folder that is not on the search path.
    const auto codexLocal = instalar(local, "codex", "fuera");
    EXPECT_EQ(detectarEn(l), (std::vector<IA>{{codex, "ChatGPT Codex", "Codex · tu cuenta de ChatGPT", codexLocal,
                                               false}}));

    // claude on the search path, signed in; codex signed in too now.
    const auto claudePath = instalar(path, "claude", "dentro");
    instalar(local, "codex", "dentro");
    EXPECT_EQ(detectarEn(l), (std::vector<IA>{
                                 {claude, "Claude", "Claude Code · tu cuenta de Claude", claudePath, true},
                                 {codex, "ChatGPT Codex", "Codex · tu cuenta de ChatGPT", codexLocal, true},
                             }));
}

TEST_F(DeteccionIAs, LaPrimeraCandidataConSesionGanaYLasDemasNoSeSondean) {
    const auto path = carpeta("path");
    const auto npm = carpeta("npm");
    const auto local = carpeta("local");
    const auto l = lugares(path, {npm, local});
    const auto primera = instalar(npm, "claude", "fuera");
    const auto segunda = instalar(local, "claude", "compacto");
    instalar(path, "claude", "dentro");

    const auto lista = detectarEn(l);
    ASSERT_EQ(lista.size(), 1u);
    EXPECT_EQ(lista[0].ruta, segunda);
    EXPECT_TRUE(lista[0].sesion);
    EXPECT_EQ(sondas(), (std::vector<std::string>{primera + " auth status", segunda + " auth status"}));
}

TEST_F(DeteccionIAs, SinSesionEnNingunaQuedaLaPrimeraCandidata) {
    const auto path = carpeta("path");
    const auto local = carpeta("local");
    const auto l = lugares(path, {local});
    const auto primera = instalar(path, "codex", "fuera");
    const auto segunda = instalar(local, "codex", "fuera");
    const auto lista = detectarEn(l);
    ASSERT_EQ(lista.size(), 1u);
    EXPECT_EQ(lista[0], (IA{codex, "ChatGPT Codex", "Codex · tu cuenta de ChatGPT", primera, false}));
    EXPECT_EQ(sondas(), (std::vector<std::string>{primera + " login status", segunda + " login status"}));
}

TEST_F(DeteccionIAs, UnaDeteccionCanceladaNoSondeaMas) {
    const auto path = carpeta("path");
    instalar(path, "claude", "dentro");
    instalar(path, "codex", "dentro");
    std::stop_source fuente;
    fuente.request_stop();
    const auto l = lugares(path);
    EXPECT_EQ(detalle::detectarEn(l, detalle::entornoDeSonda(path), limiteSonda, fuente.get_token()),
              std::vector<IA>{});
    EXPECT_TRUE(sondas().empty());
}

TEST_F(DeteccionIAs, LaCarpetaGlobalDeNpm) {
    const std::filesystem::path casa = carpeta("casa");
    const Entorno vacio;
    // From the variable, in any case, with npm's expansions.
    EXPECT_EQ(detalle::binGlobalNpm({{"npm_config_prefix", "/opt/npm"}}, casa, ""), "/opt/npm/bin");
    EXPECT_EQ(detalle::binGlobalNpm({{"NPM_CONFIG_PREFIX", "/opt/npm/"}}, casa, ""), "/opt/npm/bin");
    EXPECT_EQ(detalle::binGlobalNpm({{"NPM_CONFIG_PREFIX", "~/.npm-global"}}, casa, ""),
              casa.string() + "/.npm-global/bin");
    EXPECT_EQ(detalle::binGlobalNpm({{"npm_config_prefix", "${DONDE}/npm"}, {"DONDE", "/srv"}}, casa, ""),
              "/srv/npm/bin");
    EXPECT_FALSE(detalle::binGlobalNpm({{"npm_config_prefix", "relativa"}}, casa, ""));

    // From ~/.npmrc, the last "prefix" line.
    std::ofstream(casa / ".npmrc") << "; comentario\nfund=false\nprefix = /primero\n# prefix=/no\n"
                                      "prefix=\"${HOME}/.npm-global\"\n";
    EXPECT_EQ(detalle::binGlobalNpm({{"HOME", casa.string()}}, casa, ""), casa.string() + "/.npm-global/bin");
    EXPECT_EQ(detalle::binGlobalNpm({{"npm_config_prefix", "/gana"}}, casa, ""), "/gana/bin");
    std::filesystem::remove(casa / ".npmrc");

    // Else from where node really is: npm's default prefix is the folder
    // above node's folder.
    EXPECT_FALSE(detalle::binGlobalNpm(vacio, casa, carpeta("sin-node")));
    const auto real = carpeta("node-real/v22/bin");
    std::ofstream(real + "/node") << "#!/bin/sh\n";
    chmod((real + "/node").c_str(), 0755);
    const auto enlaces = carpeta("enlaces");
    std::filesystem::create_symlink(real + "/node", enlaces + "/node");
    EXPECT_EQ(detalle::binGlobalNpm(vacio, casa, carpeta("sin-node") + ":" + enlaces), real);

    EXPECT_EQ(detalle::lugaresPara("/home/ana", std::nullopt),
              (std::vector<std::string>{"/home/ana/.local/bin", "/usr/local/bin", "/home/ana/.npm-global/bin"}));
    EXPECT_EQ(detalle::lugaresPara("/home/ana", "/usr/bin"),
              (std::vector<std::string>{"/usr/bin", "/home/ana/.local/bin", "/usr/local/bin",
                                        "/home/ana/.npm-global/bin"}));
}

// The whole path, as the screens call it: the login shell's PATH, the home
// folder and npm's prefix of the isolated surroundings (aislado.h).
TEST_F(DeteccionIAs, DetectarEnSegundoPlanoConUnaSondaColgadaTardaSoloSuLimite) {
    const auto& r = prueba::raizAislada();
    const std::string casa = (r / "casa").string();
    EXPECT_EQ(lugaresDeInstalacion(), (std::vector<std::string>{(r / "npm" / "bin").string(), casa + "/.local/bin",
                                                                "/usr/local/bin", casa + "/.npm-global/bin"}));
    EXPECT_EQ(pathDeTerminal().rfind((r / "path-login").string() + ":", 0), 0u) << pathDeTerminal();

    // claude on the login shell's PATH, signed in; codex only in npm's global
    // bin, not on the PATH, and its probe never answers.
    const auto claudeRuta = instalar(r / "path-login", "claude", "dentro");
    const auto codexRuta = instalar(r / "npm" / "bin", "codex", "cuelga");
    EXPECT_EQ(buscar("claude"), claudeRuta);
    EXPECT_FALSE(buscar("codex"));
    const auto claudes = candidatas(claude);
    const auto codexes = candidatas(codex);
    if (claudes != std::vector<std::string>{claudeRuta} || codexes != std::vector<std::string>{codexRuta})
        GTEST_SKIP() << "this machine has claude or codex installed in a system folder";
    EXPECT_TRUE(conSesion(claude, claudeRuta));

    // The main loop keeps turning while detection waits for the probe.
    int vueltas = 0;
    const guint reloj = g_timeout_add(
        100, [](gpointer v) -> gboolean { return ++*static_cast<int*>(v), G_SOURCE_CONTINUE; }, &vueltas);
    const auto inicio = Reloj::now();
    auto enCurso = prueba::lanzarPrueba(detectar());
    ASSERT_TRUE(enCurso.esperar(limiteSonda + 5));
    const double segundos = std::chrono::duration<double>(Reloj::now() - inicio).count();
    g_source_remove(reloj);

    EXPECT_GE(segundos, limiteSonda - 0.5);
    EXPECT_LT(segundos, limiteSonda + 2.5);
    EXPECT_GT(vueltas, 100);
    EXPECT_EQ(**enCurso.resultado, (std::vector<IA>{
                                       {claude, "Claude", "Claude Code · tu cuenta de Claude", claudeRuta, true},
                                       {codex, "ChatGPT Codex", "Codex · tu cuenta de ChatGPT", codexRuta, false},
                                   }));
    EXPECT_TRUE(prueba::iterarHasta([] { return prueba::hijosPropios(false) == 0; }, 2)) << "the stand-in is still running";
    std::filesystem::remove(claudeRuta);
    std::filesystem::remove(codexRuta);
}

}  // namespace
}  // namespace sorvenia::IAsLocales
