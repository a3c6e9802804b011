#include "aplicaciones/ejecucion_local.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include "aislado.h"
#include "aplicaciones/arbol_procesos.h"
#include "aplicaciones/lecturas_ejecucion.h"
#include "ayuda.h"
#include "esperar_bucle.h"
#include "plataforma/http.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// The app of the tests: answers "/salud" with `salud` and everything else
// with a page, and starts a child of its own that lives as long as it does,
// so that a run's tree is npm, its shell, the server and that child.
constexpr const char* servidorJs = R"(
const http = require('http');
const { spawn } = require('child_process');
spawn(process.execPath, ['-e', 'setInterval(() => {}, 1000)'], { stdio: 'ignore' });
http.createServer((req, res) => {
  if (req.url === '/salud') { res.statusCode = SALUD; return res.end('ok'); }
  res.setHeader('content-type', 'text/html; charset=utf-8');
  res.end('<h1>Hola desde la app</h1>');
}).listen(Number(process.env.PORT), process.env.HOST, () => console.log('escuchando en ' + process.env.PORT));
)";

// A run as a task with a value, for the waiting helpers.
Tarea<bool> corrida(Tarea<void> tarea) {
    co_await std::move(tarea);
    co_return true;
}

class EjecucionLocalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The folder of the login shell's PATH (aislado.h) gets the tests'
        // node and npm, side by side as an installation has them.
        const auto carpeta = prueba::raizAislada() / "path-login";
        for (const char* programa : {"node", "npm"}) {
            std::error_code ec;
            fs::create_symlink(fs::path(NODE_APPS_BIN) / programa, carpeta / programa, ec);
        }
    }

    void SetUp() override {
        carpeta_ = prueba::raizAislada() / "proyectos" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(carpeta_);
        ejecucion_ = EjecucionLocal::crear(carpeta_);
        ejecucion_->fijarEnviar([this](const Json& m) { mensajes_.push_back(m); });
    }
    void TearDown() override {
        EjecucionLocal::tiempos = {};
        ejecucion_.reset();
    }

    void escribir(const fs::path& relativa, const std::string& texto) {
        fs::create_directories((carpeta_ / relativa).parent_path());
        std::ofstream(carpeta_ / relativa) << texto;
    }
    void app(int salud = 200, const std::string& extra = "") {
        std::string js = servidorJs;
        js.replace(js.find("SALUD"), 5, std::to_string(salud));
        escribir("server.js", js);
        escribir("package.json", R"({"name": "prueba", "version": "1.0.0", "scripts": {"start": "node server.js"})" +
                                     extra + "}");
    }
    bool arrancar() { return prueba::esperarTarea(corrida(ejecucion_->arrancar()), std::chrono::seconds(90)).has_value(); }

    // The "vista" values sent, in order.
    std::vector<std::string> vistas() const {
        std::vector<std::string> v;
        for (const auto& m : mensajes_)
            if (m.contains("vista")) v.push_back(m["vista"].get<std::string>());
        return v;
    }
    const Json* ultimo(const std::string& clave) const {
        for (auto it = mensajes_.rbegin(); it != mensajes_.rend(); ++it)
            if (it->contains(clave)) return &*it;
        return nullptr;
    }

    // The server's process and every process below it.
    std::vector<pid_t> arbol() const {
        std::vector<pid_t> todos;
        if (!ejecucion_->servidor()) return todos;
        std::vector<pid_t> pendientes{ejecucion_->servidor()->pid()};
        while (!pendientes.empty()) {
            const pid_t p = pendientes.back();
            pendientes.pop_back();
            todos.push_back(p);
            for (const pid_t h : ArbolProcesos::hijos(p)) pendientes.push_back(h);
        }
        return todos;
    }
    static bool ningunoVivo(const std::vector<pid_t>& pids) {
        return prueba::iterarHasta(
            [&] { return std::none_of(pids.begin(), pids.end(), [](pid_t p) { return prueba::vivo(p); }); }, 15);
    }
    // The tree once the app and its own child are up.
    std::vector<pid_t> arbolCompleto() const {
        std::vector<pid_t> a;
        prueba::iterarHasta([&] { return (a = arbol()).size() >= 4; }, 15);
        return a;
    }

    static std::optional<long> estadoGet(const std::string& url) {
        PeticionHTTP p;
        p.url = url;
        p.tiempoLimite = 5;
        const auto r = pedir(p);
        return r ? std::optional<long>(r->status) : std::nullopt;
    }

    fs::path carpeta_;
    std::shared_ptr<EjecucionLocal> ejecucion_;
    std::vector<Json> mensajes_;
};

TEST_F(EjecucionLocalTest, ArrancaEnUnPuertoLibreYPararNoDejaProcesos) {
    app();
    // The first port is taken by another program: the run moves on.
    const int ocupado = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in d{};
    d.sin_family = AF_INET;
    d.sin_port = htons(EjecucionLocal::puertoInicial);
    d.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool tomado = ::bind(ocupado, reinterpret_cast<const sockaddr*>(&d), sizeof d) == 0 && ::listen(ocupado, 1) == 0;

    ASSERT_TRUE(arrancar());
    ASSERT_EQ(vistas(), (std::vector<std::string>{"arrancando", "enMarcha"}));
    const Json& enMarcha = *ultimo("vista");
    const std::string url = enMarcha["url"];
    EXPECT_EQ(url, ejecucion_->direccion());
    EXPECT_EQ(url, "http://127.0.0.1:" + std::to_string(ejecucion_->puerto()) + "/");
    EXPECT_GT(ejecucion_->puerto(), tomado ? EjecucionLocal::puertoInicial : EjecucionLocal::puertoInicial - 1);
    EXPECT_LT(ejecucion_->puerto(), EjecucionLocal::puertoInicial + 200);
    EXPECT_EQ(enMarcha["node"].get<std::string>().substr(0, 4), "v22.");
    EXPECT_EQ(estadoGet(url), 200);
    // The server's own line reached the log with the port it was given.
    EXPECT_TRUE(prueba::iterarHasta(
        [&] {
            return ejecucion_->registro().ultimas(60).find("escuchando en " + std::to_string(ejecucion_->puerto())) !=
                   std::string::npos;
        },
        10));
    ::close(ocupado);

    const auto pids = arbolCompleto();
    ASSERT_GE(pids.size(), 4u);
    const auto antes = mensajes_.size();
    ejecucion_->parar();
    EXPECT_FALSE(ejecucion_->servidor());
    EXPECT_TRUE(ningunoVivo(pids));
    // Stopping is not reported by the run itself.
    prueba::iterarHasta([] { return false; }, 0.5);
    EXPECT_TRUE(std::none_of(mensajes_.begin() + static_cast<long>(antes), mensajes_.end(),
                             [](const Json& m) { return m.contains("vista"); }));
    EXPECT_FALSE(estadoGet(url).has_value());
}

TEST_F(EjecucionLocalTest, UnaSegundaCorridaParaLaPrimeraYSinAppSoloAvisa) {
    app();
    ASSERT_TRUE(arrancar());
    const auto primeros = arbolCompleto();
    ASSERT_GE(primeros.size(), 4u);
    mensajes_.clear();
    ASSERT_TRUE(arrancar());
    EXPECT_TRUE(ningunoVivo(primeros));
    // No "parada" for the first: only the new run's states.
    EXPECT_EQ(vistas(), (std::vector<std::string>{"arrancando", "enMarcha"}));
    const auto segundos = arbolCompleto();

    // Without "package.json" the running server goes and only "sinApp" is said.
    fs::remove(carpeta_ / "package.json");
    mensajes_.clear();
    ASSERT_TRUE(arrancar());
    EXPECT_TRUE(ningunoVivo(segundos));
    EXPECT_EQ(mensajes_, (std::vector<Json>{{{"vista", "sinApp"}}}));
}

TEST_F(EjecucionLocalTest, DosCorridasSolapadasDejanUnSoloServidor) {
    app();
    auto a = prueba::lanzarPrueba(corrida(ejecucion_->arrancar()));
    auto b = prueba::lanzarPrueba(corrida(ejecucion_->arrancar()));
    ASSERT_TRUE(a.esperar(90));
    ASSERT_TRUE(b.esperar(90));
    ASSERT_TRUE(ejecucion_->servidor());
    const pid_t guardado = ejecucion_->servidor()->pid();
    // Every npm of this project's folder that is still alive is the stored one.
    std::vector<pid_t> npms;
    for (const pid_t p : ArbolProcesos::hijos(::getpid()))
        if (prueba::vivo(p)) npms.push_back(p);
    EXPECT_EQ(npms, std::vector<pid_t>{guardado});
    const auto pids = arbolCompleto();
    // The quit stops every live run's server.
    EjecucionLocal::pararTodas();
    EXPECT_TRUE(ningunoVivo(pids));
}

TEST_F(EjecucionLocalTest, SinRespuestaDeSaludSeParaConElAviso) {
    app(404);
    EjecucionLocal::tiempos = {8, 0.05, 2.0};
    ASSERT_TRUE(arrancar());
    EXPECT_EQ(vistas(), (std::vector<std::string>{"arrancando", "parada"}));
    const std::string registro = (*ultimo("vista"))["registro"];
    const std::string nota = "\n(no responde en /salud en 20 s)";
    ASSERT_GE(registro.size(), nota.size());
    EXPECT_EQ(registro.substr(registro.size() - nota.size()), nota);
    EXPECT_FALSE(ejecucion_->servidor());
    EXPECT_FALSE(estadoGet(ejecucion_->direccion()).has_value());
}

TEST_F(EjecucionLocalTest, UnServidorQueTerminaSoloDaSuCodigo) {
    escribir("package.json", R"({"scripts": {"start": "node -e \"console.log('me voy'); process.exit(1)\""}})");
    ASSERT_TRUE(arrancar());
    ASSERT_EQ(vistas(), (std::vector<std::string>{"arrancando", "parada"}));
    EXPECT_EQ((*ultimo("vista"))["codigo"], 1);
    EXPECT_FALSE(ejecucion_->servidor());
}

TEST_F(EjecucionLocalTest, InstalaLasDependenciasSoloCuandoHacenFalta) {
    escribir("saludo/package.json", R"({"name": "saludo", "version": "1.0.0", "main": "index.js"})");
    escribir("saludo/index.js", "module.exports = 'hola';\n");
    app(200, R"(, "dependencies": {"saludo": "file:./saludo"})");
    ASSERT_TRUE(arrancar());
    EXPECT_EQ(vistas(), (std::vector<std::string>{"instalando", "arrancando", "enMarcha"}));
    EXPECT_TRUE(fs::exists(carpeta_ / "node_modules" / "saludo"));
    // "node_modules" is there now: no second install.
    mensajes_.clear();
    ASSERT_TRUE(arrancar());
    EXPECT_EQ(vistas(), (std::vector<std::string>{"arrancando", "enMarcha"}));
    ejecucion_->parar();

    // An install that fails: "parada" with the log, no "codigo", no server.
    fs::remove_all(carpeta_ / "node_modules");
    escribir("package.json", R"({"scripts": {"start": "node server.js", "preinstall": "echo no se puede instalar; exit 1"},
                                 "dependencies": {"saludo": "file:./saludo"}})");
    mensajes_.clear();
    ASSERT_TRUE(arrancar());
    EXPECT_EQ(vistas(), (std::vector<std::string>{"instalando", "parada"}));
    const Json& parada = *ultimo("vista");
    EXPECT_FALSE(parada.contains("codigo"));
    EXPECT_NE(parada["registro"].get<std::string>().find("no se puede instalar"), std::string::npos);
    EXPECT_FALSE(ejecucion_->servidor());
}

TEST_F(EjecucionLocalTest, DecidirSiHayQueInstalarYSiHayPruebas) {
    const struct {
        const char* paquete;
        bool instalar;
        bool pruebas;
    } casos[] = {
        {R"({"dependencies": {"a": "1"}, "scripts": {"test": "x"}})", true, true},
        {R"({"dependencies": {}, "devDependencies": {"a": "1"}})", false, false},
        {R"({"dependencies": ["a"], "scripts": ["test"]})", false, false},
        {R"({"scripts": {"start": "node s.js"}})", false, false},
        {R"({"scripts": {"test": null}})", false, true},
        {"[1, 2]", false, false},
        {"no es json", false, false},
        {"", false, false},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(LecturasEjecucion::hayDependencias(c.paquete), c.instalar) << c.paquete;
        EXPECT_EQ(LecturasEjecucion::hayPruebas(c.paquete), c.pruebas) << c.paquete;
    }
}

TEST_F(EjecucionLocalTest, LasPruebasDelProyectoDicenSiPasaron) {
    const struct {
        const char* guion;
        bool ok;
        std::vector<std::string> lineas;
    } casos[] = {
        {R"(node -e \"console.log('uno'); console.log('dos'); console.log('tres')\")", true, {"uno", "dos", "tres"}},
        {R"(node -e \"console.log('falla: 1 de 2'); process.exit(1)\")", false, {"falla: 1 de 2"}},
    };
    for (const auto& c : casos) {
        escribir("package.json", std::string(R"({"scripts": {"test": ")") + c.guion + "\"}}");
        mensajes_.clear();
        const auto r = prueba::esperarTarea(ejecucion_->comprobar(), std::chrono::seconds(60));
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->first, c.ok);
        std::vector<Json> esperados{{{"comprobando", true}}};
        std::string salida;
        for (const auto& l : c.lineas) {
            esperados.push_back({{"comprobacion", l}});
            salida += l + "\n";
        }
        esperados.push_back({{"comprobando", false}, {"comprobado", c.ok}});
        EXPECT_EQ(mensajes_, esperados) << c.guion;
        EXPECT_EQ(r->second, salida);
    }
    // Only a start script: the no-tests message and no npm at all.
    escribir("package.json", R"({"scripts": {"start": "node s.js"}})");
    mensajes_.clear();
    const auto r = prueba::esperarTarea(ejecucion_->comprobar(), std::chrono::seconds(60));
    ASSERT_TRUE(r.has_value());
    EXPECT_FALSE(r->first);
    EXPECT_EQ(mensajes_, (std::vector<Json>{{{"comprobando", false},
                                             {"comprobacion", "Esta aplicación aún no tiene pruebas."}}}));
}

TEST_F(EjecucionLocalTest, SoltarElProyectoParaSuServidor) {
    app();
    ASSERT_TRUE(arrancar());
    const auto pids = arbolCompleto();
    ASSERT_GE(pids.size(), 4u);
    ejecucion_.reset();
    EXPECT_TRUE(ningunoVivo(pids));
}

}  // namespace
}  // namespace sorvenia
