// Deploying an app project to a VPS for real: the archive and the scripts
// uploaded over ssh to the tests' own OpenSSH server, whose /root, /srv and
// what it writes in /etc are folders of the test, and the deploy script run
// there with the real node, npm, tar and curl; systemctl, nginx and certbot
// are stand-ins of the test (programas_vps.h).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include "aplicaciones/proyecto_aplicacion.h"
#include "ias/publicar_vps_lanzador.h"
#include "plataforma/identidad.h"
#include "plataforma/tarea.h"
#include "programas_vps.h"
#include "puertos_prueba.h"
#include "servidores/acceso_vps.h"
#include "servidores/identidad_ssh.h"
#include "sshd_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

void escribir(const fs::path& archivo, const std::string& texto, fs::perms permisos = fs::perms(0644)) {
    fs::create_directories(archivo.parent_path());
    std::ofstream(archivo, std::ios::binary) << texto;
    fs::permissions(archivo, permisos);
}

std::string leer(const fs::path& f) {
    std::ifstream e(f, std::ios::binary);
    return {std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>()};
}

unsigned modo(const fs::path& f) {
    struct stat info {};
    return ::stat(f.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

class DespliegueVPS : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string plantilla = (fs::temp_directory_path() / "despliegue-vps-XXXXXX").string();
        ASSERT_NE(::mkdtemp(plantilla.data()), nullptr);
        raiz_ = plantilla;
        for (const char* c : {"casa", "config", "runtime", "servidor", "programas", "proyectos"})
            fs::create_directories(raiz_ / c);
        fs::permissions(raiz_ / "runtime", fs::perms(0700));
        ::setenv("HOME", (raiz_ / "casa").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (raiz_ / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (raiz_ / "runtime").c_str(), 1);
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");

        prueba::escribirProgramasVPS(raiz_ / "programas", NODE_APPS_BIN);
    }
    static void TearDownTestSuite() {
        prueba::pararAppsVPS(raiz_ / "programas");
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

    // A VPS record pointing at the test's server, with the key installed.
    static void conectar(std::int64_t servicio) {
        ASSERT_TRUE(esperarEnBucle(PublicarVPS::prepararFuera(servicio, "127.0.0.1")).ok());
        ASSERT_TRUE(esperarEnBucle(PublicarVPS::instalarLlave(servicio, "clave")).ok());
    }

    // A small Node app: "/" says hello, "/salud" answers 200.
    static fs::path proyecto(const std::string& nombre) {
        const fs::path carpeta = raiz_ / "proyectos" / nombre;
        escribir(carpeta / "package.json",
                 R"({"name":"app","version":"1.0.0","private":true,"scripts":{"start":"node servidor.js"}})");
        escribir(carpeta / "servidor.js",
                 "const http = require('node:http');\n"
                 "http.createServer((q, r) => { r.writeHead(200); r.end(q.url === '/salud' ? 'ok' : 'hola ' + "
                 "process.env.CLAVE); }).listen(Number(process.env.PORT), process.env.HOST);\n");
        escribir(carpeta / ".env", "CLAVE=secreta\n");
        escribir(carpeta / ".env.local", "NO=subir\n");
        escribir(carpeta / "datos" / "clientes.json", "[]");
        return carpeta;
    }

    // Runs the deploy script, keeping the lines it streamed.
    struct Corrida {
        std::int32_t estado = -1;
        std::string salida;
        std::vector<std::string> lineas;
        std::optional<json> respuesta;
    };
    static Corrida correr(const ProyectoAplicacion& p, std::int64_t servicio, std::vector<std::string> args) {
        auto lineas = std::make_shared<std::pair<std::mutex, std::vector<std::string>>>();
        auto [estado, salida] = esperarEnBucle(p.servidorSh(servicio, std::move(args), [lineas](const std::string& l) {
            std::lock_guard g(lineas->first);
            lineas->second.push_back(l);
        }));
        Corrida c{estado, salida, {}, ProyectoAplicacion::resultado(salida)};
        std::lock_guard g(lineas->first);
        c.lineas = lineas->second;
        return c;
    }

    static inline fs::path raiz_;
    static inline std::unique_ptr<prueba::SshdPrueba> sshd_;
    static inline std::string motivo_;
};

TEST_F(DespliegueVPS, SubePlaneaDespliegaYVuelveConUnNombreConBlancosYComillas) {
    const std::int64_t servicio = 61;
    conectar(servicio);
    const std::string nombre = "mi app 'dos'";
    const ProyectoAplicacion p(proyecto(nombre));
    const fs::path subida = raiz_ / "servidor" / "root" / "tarvel-subida";

    // A script that is not there yet.
    const auto antes = correr(p, servicio, {"estado", nombre});
    EXPECT_NE(antes.estado, 0);
    EXPECT_NE(antes.salida.find("No such file"), std::string::npos) << antes.salida;

    auto paquete = p.paquete();
    ASSERT_TRUE(paquete.ok()) << paquete.fallo().mensaje;
    const auto remoto = esperarEnBucle(p.subir(servicio, paquete->archivo));
    ASSERT_TRUE(remoto.ok()) << remoto.fallo().mensaje;
    EXPECT_EQ(*remoto, "/root/tarvel-subida/mi app 'dos'.tgz");
    EXPECT_EQ(modo(subida), 0700u);
    EXPECT_EQ(modo(subida / "servidor.sh"), 0700u);
    EXPECT_TRUE(fs::exists(subida / "copia-datos.mjs"));
    EXPECT_EQ(leer(subida / "mi app 'dos'.tgz"), leer(paquete->archivo));
    EXPECT_EQ(leer(subida / "mi app 'dos'.env"), "CLAVE=secreta\n");
    EXPECT_EQ(modo(subida / "mi app 'dos'.env"), 0600u);

    const auto estado = correr(p, servicio, {"estado", nombre});
    EXPECT_EQ(estado.estado, 0) << estado.salida;
    EXPECT_EQ(estado.respuesta, (json{{"ok", true}, {"activo", false}, {"version", ""}}));

    const auto plan = correr(p, servicio, {"plan", nombre, *remoto, "app.ejemplo.es", "ana@ejemplo.es"});
    EXPECT_EQ(plan.estado, 0) << plan.salida;
    ASSERT_TRUE(plan.respuesta.has_value()) << plan.salida;
    EXPECT_EQ((*plan.respuesta)["error"], "");
    EXPECT_NE(std::find(plan.lineas.begin(), plan.lineas.end(), "Revisando Node.js…"), plan.lineas.end());

    const auto primera = correr(p, servicio, {"desplegar", nombre, *remoto, "app.ejemplo.es", "ana@ejemplo.es", "20260101-120000"});
    ASSERT_EQ(primera.estado, 0) << primera.salida;
    ASSERT_TRUE(primera.respuesta.has_value()) << primera.salida;
    EXPECT_EQ((*primera.respuesta)["ok"], true);
    EXPECT_EQ((*primera.respuesta)["url"], "https://app.ejemplo.es/");
    EXPECT_EQ(primera.lineas.back().rfind("RESULTADO ", 0), 0u);

    // On the server: the app with its .env and without what never travels,
    // nginx pointed at it for the domain, the certificate asked for.
    const fs::path app = raiz_ / "servidor" / "srv" / "tarvel-apps" / "mi-app-dos";
    EXPECT_EQ(leer(app / "actual" / ".env"), "CLAVE=secreta\n");
    EXPECT_FALSE(fs::exists(app / "versiones" / "20260101-120000" / ".env.local"));
    EXPECT_TRUE(fs::is_symlink(app / "actual" / "datos"));
    const std::string sitio = leer(raiz_ / "servidor" / "etc" / "nginx" / "conf.d" / "tarvel-app-mi-app-dos.conf");
    EXPECT_NE(sitio.find("server_name app.ejemplo.es;"), std::string::npos) << sitio;
    const std::string puerto = leer(app / "puerto");
    EXPECT_NE(sitio.find("proxy_pass http://127.0.0.1:" + puerto + ";"), std::string::npos) << sitio;
    EXPECT_NE(leer(raiz_ / "programas" / "certbot.log").find("-m ana@ejemplo.es -d app.ejemplo.es"), std::string::npos);
    // The machine's own folders were never the server's.
    EXPECT_FALSE(fs::exists("/etc/nginx/conf.d/tarvel-app-mi-app-dos.conf"));
    EXPECT_FALSE(fs::exists("/srv/tarvel-apps/mi-app-dos"));

    const auto activa = correr(p, servicio, {"estado", nombre});
    EXPECT_EQ(activa.respuesta, (json{{"ok", true}, {"activo", true}, {"version", "20260101-120000"}}));

    // Nothing to go back to yet; after a second version, the first again.
    const auto sinAnterior = correr(p, servicio, {"volver", nombre});
    EXPECT_NE(sinAnterior.estado, 0);
    ASSERT_TRUE(sinAnterior.respuesta.has_value()) << sinAnterior.salida;
    EXPECT_EQ((*sinAnterior.respuesta)["error"], "No hay una versión anterior a la que volver.");
    // The app's data stay across versions, copied aside before each one.
    escribir(app / "datos" / "pedidos.json", "[1]");
    const auto segunda = correr(p, servicio, {"desplegar", nombre, *remoto, "app.ejemplo.es", "", "20260102-120000"});
    ASSERT_EQ(segunda.estado, 0) << segunda.salida;
    EXPECT_EQ(leer(app / "copias" / "20260102-120000" / "pedidos.json"), "[1]");
    EXPECT_EQ(leer(app / "actual" / "datos" / "pedidos.json"), "[1]");
    const auto vuelta = correr(p, servicio, {"volver", nombre});
    EXPECT_EQ(vuelta.estado, 0) << vuelta.salida;
    EXPECT_EQ(correr(p, servicio, {"estado", nombre}).respuesta,
              (json{{"ok", true}, {"activo", true}, {"version", "20260101-120000"}}));

    // A .env the project no longer has is not installed again from an
    // earlier upload.
    fs::remove(p.carpeta() / ".env");
    ASSERT_TRUE(esperarEnBucle(p.subir(servicio, paquete->archivo)).ok());
    EXPECT_FALSE(fs::exists(subida / "mi app 'dos'.env"));
}

TEST_F(DespliegueVPS, UnPuertoCerradoDaSuFraseYNoSeSubeNada) {
    const std::int64_t servicio = 62;
    const auto cerrado = prueba::puertoLibre();
    ::setenv("SORVENIA_SSH_PUERTO", std::to_string(cerrado).c_str(), 1);
    const bool preparado = esperarEnBucle(PublicarVPS::prepararFuera(servicio, "127.0.0.1")).ok();
    sshd_->apuntarAplicacion();
    ASSERT_TRUE(preparado);

    const ProyectoAplicacion p(proyecto("cerrada"));
    auto paquete = p.paquete();
    ASSERT_TRUE(paquete.ok()) << paquete.fallo().mensaje;
    const auto subido = esperarEnBucle(p.subir(servicio, paquete->archivo));
    ASSERT_FALSE(subido.ok());
    EXPECT_EQ(subido.fallo().codigo, "subida");
    EXPECT_EQ(subido.fallo().mensaje, "El VPS no contesta por SSH (puerto 22). ¿Está encendido?");
    EXPECT_FALSE(fs::exists(raiz_ / "servidor" / "root" / "tarvel-subida" / "cerrada.tgz"));

    const auto corrida = correr(p, servicio, {"estado", "cerrada"});
    EXPECT_EQ(corrida.estado, 255);
    EXPECT_EQ(ProyectoAplicacion::motivoSSH(corrida.salida), "El VPS no contesta por SSH (puerto 22). ¿Está encendido?")
        << corrida.salida;
}

TEST_F(DespliegueVPS, SinLaLlaveElVPSNoAceptaYLoDice) {
    const std::int64_t servicio = 63;
    ASSERT_TRUE(esperarEnBucle(PublicarVPS::prepararFuera(servicio, "127.0.0.1")).ok());
    // Another key pair than the one the server knows, for this call only.
    const fs::path llave = PublicarVPS::raiz() / "ssh" / "id_ed25519";
    for (const char* e : {"", ".pub"})
        fs::copy_file(llave.string() + e, (raiz_ / "llave-buena").string() + e, fs::copy_options::overwrite_existing);
    for (const char* e : {"", ".pub"}) fs::remove(llave.string() + e);
    ASSERT_EQ(std::system(("/usr/bin/ssh-keygen -q -t ed25519 -N '' -f '" + llave.string() + "'").c_str()), 0);
    const ProyectoAplicacion p(proyecto("sin-llave"));
    const auto corrida = correr(p, servicio, {"estado", "sin-llave"});
    for (const char* e : {"", ".pub"})
        fs::copy_file((raiz_ / "llave-buena").string() + e, llave.string() + e, fs::copy_options::overwrite_existing);
    EXPECT_NE(corrida.estado, 0);
    EXPECT_EQ(ProyectoAplicacion::motivoSSH(corrida.salida),
              "El VPS no acepta la llave de Sorvenia Code. Vuelve a conectarlo con la contraseña de root.")
        << corrida.salida;
}

}  // namespace
}  // namespace sorvenia
