// Publishing on a VPS, the parts without a window: the page's request, the
// domain rules, the agent's brief and how it reaches the runner (only the
// launcher may touch the server), the address checked at the end, and the
// upload itself against an OpenSSH server of the test whose /root is a
// folder of the test.
#include "editor/publicacion_vps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "plataforma/carpetas.h"
#include "centro/agente_orden.h"
#include "ias/publicar_vps_correr.h"
#include "plataforma/tarea.h"
#include "ias/publicar_vps_lanzador.h"
#include "plataforma/identidad.h"
#include "plataforma/recursos.h"
#include "servidores/acceso_vps.h"
#include "servidores/identidad_ssh.h"
#include "sshd_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
namespace P = PublicacionVPS;
using Json = nlohmann::json;

TEST(PublicacionVPS, DominiosLimpiosYValidos) {
    const std::string etiqueta63(63, 'a');
    struct Caso {
        std::string escrito;
        std::string limpio;
        bool valido;
    };
    const std::vector<Caso> casos = {
        {"  HTTPS://MiNegocio.ES/ \n", "minegocio.es", true},
        {"http://https://tienda.barberia-ercilla.com//", "tienda.barberia-ercilla.com", true},
        {"mi negocio", "mi negocio", false},
        {"minegocio", "minegocio", false},
        {"", "", false},
        {"///", "", false},
        {etiqueta63 + ".es", etiqueta63 + ".es", true},
        {etiqueta63 + "a.es", etiqueta63 + "a.es", false},  // a label of 64
        {"ejemplo." + std::string(24, 'z'), "ejemplo." + std::string(24, 'z'), true},
        {"ejemplo." + std::string(25, 'z'), "ejemplo." + std::string(25, 'z'), false},
        {"-ejemplo.es", "-ejemplo.es", false},
        {"ejemplo-.es", "ejemplo-.es", false},
        {"ejemplo.es.", "ejemplo.es.", false},
        {"ejemplo.e5", "ejemplo.e5", false},
        {"xn--bcher-kva.es", "xn--bcher-kva.es", true},
        {"camión.es", "camión.es", false},
        {"ejemplo.es/contacto", "ejemplo.es/contacto", false},
        {"ejemplo.es;rm -rf ~", "ejemplo.es;rm -rf ~", false},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(P::limpiarDominio(c.escrito), c.limpio) << c.escrito;
        EXPECT_EQ(P::dominioValido(c.limpio), c.valido) << c.escrito;
    }
    // Longer than DNS allows, however well formed its labels.
    std::string largo;
    while (largo.size() < 250) largo += "abcdefghij.";
    EXPECT_FALSE(P::dominioValido(largo + "es"));
    std::string enorme;
    for (int i = 0; i < 20000; ++i) enorme += "a-";
    EXPECT_FALSE(P::dominioValido(enorme));
}

TEST(PublicacionVPS, ElPedidoDeLaPaginaSoloConSusClaves) {
    const Json bueno = {{"servicio", 7}, {"ip", "203.0.113.5"}, {"paginas", Json::array({{{"html", "<p>"}}})}};
    const auto p = P::leerPedido(bueno);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->servicio, 7);
    EXPECT_EQ(p->ip, "203.0.113.5");
    EXPECT_EQ(p->paginas.size(), 1u);
    EXPECT_EQ(p->dominio, "");
    EXPECT_FALSE(p->password);

    Json conTodo = bueno;
    conTodo["dominio"] = "Ejemplo.es";
    conTodo["password"] = "s3creta";
    const auto q = P::leerPedido(conTodo);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->dominio, "Ejemplo.es");
    EXPECT_EQ(q->password, "s3creta");

    // Optional keys of another type count as absent.
    Json raros = bueno;
    raros["dominio"] = 5;
    raros["password"] = Json::array();
    const auto r = P::leerPedido(raros);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->dominio, "");
    EXPECT_FALSE(r->password);

    // A required key missing or of another type: no request at all.
    const std::vector<std::pair<const char*, Json>> malos = {
        {"servicio", nullptr}, {"servicio", "7"},  {"servicio", 7.5},   {"servicio", 18446744073709551615ULL},
        {"ip", nullptr},       {"ip", 203},        {"paginas", nullptr}, {"paginas", Json::object()},
        {"paginas", "x"}};
    for (const auto& [clave, valor] : malos) {
        Json m = bueno;
        if (valor.is_null())
            m.erase(clave);
        else
            m[clave] = valor;
        EXPECT_FALSE(P::leerPedido(m)) << m.dump();
    }
    EXPECT_FALSE(P::leerPedido(Json::array()));
}

TEST(PublicacionVPS, ElEncargoConYSinDominio) {
    const std::string sin = P::encargo("/c/ssh/config", "tarvel-vps-3", "203.0.113.5", 1, "", "ana@ejemplo.es");
    EXPECT_EQ(sin,
              "PUBLICAR EN VPS. Usa la skill publicar-en-vps y síguela al pie de la letra.\n\n"
              "- Acceso (la ÚNICA orden que puedes usar): ssh -F /c/ssh/config tarvel-vps-3 '<orden en el servidor>'\n"
              "- IP del VPS: 203.0.113.5\n"
              "- La web del cliente (1 página, ya lista) YA ESTÁ SUBIDA en el servidor: /root/tarvel-subida/*.html "
              "(cópiala de ahí a su carpeta)\n"
              "- Dominio: ninguno (publícala en la IP sin pisar ningún sitio que ya exista)\n"
              "- Correo para Let's Encrypt: ana@ejemplo.es\n\n"
              "Antes de cada paso, una frase corta en español de lo que vas a hacer. Al terminar, una frase para el "
              "cliente con la dirección de su web.");
    const std::string con = P::encargo("/c/ssh/config", "tarvel-vps-3", "203.0.113.5", 4, "minegocio.es", "a@b.es");
    EXPECT_NE(con.find("(4 páginas, ya lista)"), std::string::npos);
    EXPECT_NE(con.find("\n- Dominio: minegocio.es\n"), std::string::npos);
    EXPECT_EQ(con.find("ninguno"), std::string::npos);

    EXPECT_EQ(P::textoChat("203.0.113.5", ""), "Publica mi web en mi VPS (203.0.113.5)");
    EXPECT_EQ(P::textoChat("203.0.113.5", "minegocio.es"),
              "Publica mi web en mi VPS (203.0.113.5) con el dominio minegocio.es");
}

TEST(PublicacionVPS, LaDireccionQueSeComprueba) {
    struct Caso {
        std::string ip, dominio;
        std::optional<int> puerto;
        std::string url;
    };
    for (const auto& c : std::vector<Caso>{{"203.0.113.5", "", std::nullopt, "http://203.0.113.5/"},
                                           {"203.0.113.5", "minegocio.es", std::nullopt, "http://minegocio.es/"},
                                           {"2001:db8::5", "", std::nullopt, "http://[2001:db8::5]/"},
                                           {"127.0.0.1", "", 8123, "http://127.0.0.1:8123/"}})
        EXPECT_EQ(P::direccion(c.ip, c.dominio, c.puerto), c.url);
    EXPECT_EQ(P::registro(7, "", "2026-12-11T09:00:00Z"),
              (Json{{"servicio", 7}, {"dominio", ""}, {"fecha", "2026-12-11T09:00:00Z"}}));
}

TEST(PublicacionVPS, LaGuiaQueNombraElEncargo) {
    // The brief tells the agent to follow the guide by this name; AI tools
    // load a skill by the name it gives itself.
    const auto fichero = Recursos::ruta("skills/publicar-en-vps/SKILL.md");
    ASSERT_TRUE(fichero);
    std::ifstream e(*fichero, std::ios::binary);
    const std::string guia{std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>()};
    EXPECT_EQ(guia.rfind("---\nname: publicar-en-vps\ndescription: ", 0), 0u);
    EXPECT_NE(P::encargo("c", "a", "i", 1, "", "m").find("Usa la skill publicar-en-vps"), std::string::npos);
    // The guide sends the agent to the folder the pages are uploaded to.
    EXPECT_NE(guia.find(P::carpetaSubida), std::string::npos);
}

// A home of the program's own (the application's ssh folder lives in it)
// and the test build's identity, so the ssh configuration may point at
// the test's server.
class SubidaVPS : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string plantilla = (fs::temp_directory_path() / "publicacion-vps-XXXXXX").string();
        ASSERT_NE(::mkdtemp(plantilla.data()), nullptr);
        raiz_ = plantilla;
        for (const char* c : {"casa", "config", "runtime", "servidor", "programas"}) fs::create_directories(raiz_ / c);
        fs::permissions(raiz_ / "runtime", fs::perms(0700));
        ::setenv("HOME", (raiz_ / "casa").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (raiz_ / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (raiz_ / "runtime").c_str(), 1);
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
    }
    static void TearDownTestSuite() {
        sshd_.reset();
        std::error_code ec;
        fs::remove_all(raiz_, ec);
    }

    void SetUp() override {
        if (!sshd_) {
            sshd_ = prueba::SshdPrueba::arrancar("clave", motivo_,
                                                 prueba::RaizServidor{raiz_ / "servidor", raiz_ / "programas"});
            if (sshd_) sshd_->apuntarAplicacion();
        }
        if (!sshd_) GTEST_SKIP() << motivo_;
    }

    static inline fs::path raiz_;
    static inline std::unique_ptr<prueba::SshdPrueba> sshd_;
    static inline std::string motivo_;
};

std::set<std::string> nombresEn(const fs::path& carpeta) {
    std::set<std::string> r;
    for (const auto& e : fs::directory_iterator(carpeta)) r.insert(e.path().filename().string());
    return r;
}

std::string leer(const fs::path& f) {
    std::ifstream e(f, std::ios::binary);
    return {std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>()};
}

TEST_F(SubidaVPS, LasPaginasLleganALaCarpetaDeSubidaConSusNombres) {
    const std::int64_t servicio = 41;
    ASSERT_TRUE(esperarEnBucle(PublicarVPS::prepararFuera(servicio, "127.0.0.1")).ok());
    ASSERT_TRUE(esperarEnBucle(PublicarVPS::instalarLlave(servicio, "clave")).ok());

    // The pages of an earlier upload go, an app deployment's script stays;
    // only the pages travel, names with blanks and quotes included.
    const fs::path subida = raiz_ / "servidor" / "root" / "tarvel-subida";
    fs::create_directories(subida);
    std::ofstream(subida / "vieja.html") << "antes";
    std::ofstream(subida / "servidor.sh") << "# despliegue";
    const std::vector<std::pair<std::string, std::string>> archivos = {
        {"index.html", "<h1>Inicio</h1>"}, {"a b'c \"d\".html", "<h1>Rara</h1>"}, {"notas.txt", "no"}};
    const auto carpeta = PublicarVPS::dejarArchivos("dis-1", archivos);
    ASSERT_TRUE(carpeta.ok()) << carpeta.fallo().mensaje;
    const auto subido = esperarEnBucle(PublicarVPS::subir(servicio, *carpeta));
    ASSERT_TRUE(subido.ok()) << subido.fallo().mensaje;

    EXPECT_EQ(nombresEn(subida), (std::set<std::string>{"index.html", "a b'c \"d\".html", "servidor.sh"}));
    EXPECT_EQ(leer(subida / "a b'c \"d\".html"), "<h1>Rara</h1>");
    // The machine's own /root was never the server's.
    EXPECT_FALSE(fs::exists("/root/tarvel-subida/a b'c \"d\".html"));
}

TEST_F(SubidaVPS, ElEncargoLlegaAlAgenteSoloConElLanzador) {
    const std::int64_t servicio = 42;
    ASSERT_TRUE(esperarEnBucle(PublicarVPS::prepararFuera(servicio, "127.0.0.1")).ok());
    const std::string alias = PublicarVPS::alias(servicio);
    Agente::PeticionAgente p;
    p.ia = IA{IA::Tipo::claude, "Claude", "", std::string("/bin/true"), true};
    p.peticion = P::encargo(PublicarVPS::rutaConfiguracion().string(), alias, "127.0.0.1", 2, "", "ana@ejemplo.es");
    p.mcpURL = "http://127.0.0.1:1/mcp/x";
    p.vps = Agente::DestinoVPS{alias, raiz_ / "casa"};
    auto trabajo = CarpetaTemporal::crear("publicacion-vps-");
    ASSERT_TRUE(trabajo.ok());
    Agente::Alrededor a;
    a.trabajo = trabajo->ruta();
    a.lanzadorVPS = [](std::string_view al) { return PublicarVPS::lanzador(al); };
    a.raizVPS = PublicarVPS::raiz();
    const auto orden = Agente::ordenClaude(p, a);
    ASSERT_TRUE(orden.ok()) << orden.fallo().mensaje;

    // The brief names the launcher where it named ssh, and nothing else
    // reaches the server.
    const std::string lanzador = (PublicarVPS::raiz() / "ssh" / "bin" / alias).string();
    EXPECT_EQ(orden->entrada.find("ssh -F"), std::string::npos) << orden->entrada;
    EXPECT_NE(orden->entrada.find("- Acceso (la ÚNICA orden que puedes usar): " + lanzador + " '<orden en el servidor>'"),
              std::string::npos);
    const auto& args = orden->argumentos;
    const auto permitidas = std::ranges::find(args, "--allowedTools");
    const auto denegadas = std::ranges::find(args, "--disallowedTools");
    ASSERT_NE(permitidas, args.end());
    ASSERT_NE(denegadas, args.end());
    EXPECT_EQ(std::vector<std::string>(permitidas + 1, denegadas),
              (std::vector<std::string>{"mcp__tarvel", "Bash(" + lanzador + ":*)", "Skill"}));
    EXPECT_EQ(std::vector<std::string>(denegadas + 1, denegadas + 7),
              (std::vector<std::string>{"Edit", "Write", "NotebookEdit", "Task", "WebSearch", "WebFetch"}));

    // The launcher really is ssh to that server: a login with the
    // application's key runs the command there.
    ASSERT_TRUE(esperarEnBucle(PublicarVPS::instalarLlave(servicio, "clave")).ok());
    const auto [ok, salida] = PublicarVPS::correr(lanzador, {"echo \"$HOME\" > /srv/quien && cat /srv/quien"}, {}, std::nullopt);
    EXPECT_TRUE(ok) << salida;
    EXPECT_EQ(salida, sshd_->casa().string() + "\n");
    EXPECT_TRUE(fs::exists(raiz_ / "servidor" / "srv" / "quien"));
}

}  // namespace
}  // namespace sorvenia
