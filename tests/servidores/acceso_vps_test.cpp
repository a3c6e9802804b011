// ssh access to a VPS, against the test's own OpenSSH server on a loopback
// port: the identity and configuration, the key install with the root
// password, remote commands, the file browser's commands and copies with
// awkward names, the status script, and the shared connection's end.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "esperar_bucle.h"
#include "comun/shell.h"
#include "entorno_servidores.h"
#include "ias/publicar_vps_correr.h"
#include "ias/publicar_vps_lanzador.h"
#include "plataforma/preferencias.h"
#include "servidores/acceso_vps.h"
#include "servidores/archivos_remotos.h"
#include "servidores/estado_servidor.h"
#include "servidores/identidad_ssh.h"
#include "servidores/vps_propios.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using prueba::esperarTarea;
namespace P = PublicarVPS;
namespace A = ArchivosRemotos;

std::string leer(const fs::path& f) {
    std::ifstream e(f, std::ios::binary);
    std::stringstream s;
    s << e.rdbuf();
    return s.str();
}

std::size_t contar(const std::string& texto, const std::string& trozo) {
    std::size_t n = 0;
    for (auto p = texto.find(trozo); p != std::string::npos; p = texto.find(trozo, p + 1)) ++n;
    return n;
}

std::vector<fs::path> carpetasAskpass() {
    std::vector<fs::path> r;
    for (const fs::path& base : {fs::path(std::getenv("XDG_RUNTIME_DIR")), fs::temp_directory_path()}) {
        std::error_code ec;
        for (fs::directory_iterator it(base, ec), fin; !ec && it != fin; it.increment(ec))
            if (it->path().filename().string().starts_with("tarvel-askpass-")) r.push_back(it->path());
    }
    return r;
}

TEST(IdentidadSsh, ConfiguracionUnBloquePorVpsEnOrdenDeTexto) {
    const std::map<std::string, std::string> mapa{{"9", "192.0.2.9"}, {"10", "2001:db8::1"}};
    const auto texto =
        P::detalle::textoConfiguracion(mapa, "/h/.sorvenia-tarvel", fs::path("/h/.sorvenia-tarvel/s"), {});
    EXPECT_LT(texto.find("Host tarvel-vps-10\n"), texto.find("Host tarvel-vps-9\n"));
    EXPECT_EQ(contar(texto, "\n"), 1U + 2U * 16U);
    EXPECT_NE(texto.find("    ControlPath /h/.sorvenia-tarvel/s/10-"), std::string::npos);
    EXPECT_EQ(contar(P::detalle::textoConfiguracion(mapa, "/h", std::nullopt, {}), "    ControlPath none\n"), 2U);
    char hash[9];
    std::snprintf(hash, sizeof hash, "%08x", P::detalle::fnv1a("192.0.2.10"));
    EXPECT_STREQ(hash, "3baef438");
    EXPECT_EQ(P::detalle::fnv1a(""), 0x811c9dc5U);
    for (const char* ip : {"1.2", "2001:db8::1", "192.0.2.10"}) EXPECT_TRUE(P::detalle::ipValida(ip)) << ip;
    for (const char* ip : {"", "vps.example", "1.2.3.4 ", "1;reboot"}) EXPECT_FALSE(P::detalle::ipValida(ip)) << ip;
}

TEST(IdentidadSsh, CarpetaDeSocketsSoloSiEsNuestraY0700) {
    const fs::path base = prueba::raizServidores() / "sockets";
    const fs::path larga = base / std::string(80, 'h');
    const fs::path tiempoReal = base / "rt";
    fs::create_directories(tiempoReal);
    // A long home puts the sockets in the per-user runtime folder.
    EXPECT_EQ(P::detalle::elegirCarpetaSockets(larga, tiempoReal, "/tmp", ::getuid()), tiempoReal / "tv");
    // A folder another user made (here: not the owner we expect) is refused.
    EXPECT_EQ(P::detalle::elegirCarpetaSockets(larga, tiempoReal, "/tmp", ::getuid() + 1), std::nullopt);
    // A link in its place is refused too.
    const fs::path otra = base / "rt2";
    fs::create_directories(otra / "real");
    fs::create_directory_symlink(otra / "real", otra / "tv");
    EXPECT_EQ(P::detalle::elegirCarpetaSockets(larga, otra, "/tmp", ::getuid()), std::nullopt);
    // A short home keeps them in raiz/s.
    EXPECT_EQ(P::detalle::elegirCarpetaSockets(base / "h", tiempoReal, "/tmp", ::getuid()), base / "h" / "s");
}

TEST(IdentidadSsh, VeintePreparacionesALaVezNoPierdenNinguna) {
    ASSERT_TRUE(P::preparar(1000, "127.0.0.1"));  // the key pair, once
    std::vector<std::thread> hilos;
    for (int i = 0; i < 20; ++i)
        hilos.emplace_back([i] { (void)P::preparar(2000 + i, "127.0.0." + std::to_string(i + 1)); });
    for (auto& h : hilos) h.join();
    const auto mapa = Preferencias::estandar().mapaTextos("vpsTarvel");
    const auto texto = leer(P::rutaConfiguracion());
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(mapa.count(std::to_string(2000 + i)), 1U);
        EXPECT_NE(texto.find("Host tarvel-vps-" + std::to_string(2000 + i) + "\n"), std::string::npos);
    }
    struct stat st {};
    ASSERT_EQ(::stat(P::rutaConfiguracion().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600U);
    const auto refusal = P::preparar(3000, "vps.example");
    ASSERT_FALSE(refusal);
    EXPECT_EQ(refusal.fallo().mensaje, "La IP del VPS no es válida.");
    // ssh itself reads the file.
    const auto [ok, salida] =
        P::correr("/usr/bin/ssh", {"-G", "-F", P::rutaConfiguracion().string(), "tarvel-vps-2003"}, {}, std::nullopt);
    EXPECT_TRUE(ok) << salida;
    EXPECT_NE(salida.find("hostname 127.0.0.4"), std::string::npos);
}

TEST(IdentidadSsh, LlaveConComillaEnElComentarioSeInstalaUnaVez) {
    const std::string llave = "ssh-ed25519 AAAAC3Nza sorvenia-tarvel@Pepe's PC";
    const auto orden = P::detalle::ordenInstalarLlave(llave);
    const fs::path casa = prueba::raizServidores() / "casa-remota";
    fs::create_directories(casa);
    for (int i = 0; i < 2; ++i) {
        const auto [ok, salida] = P::correr("/bin/sh", {"-c", orden}, {{"HOME", casa.string()}}, std::nullopt);
        ASSERT_TRUE(ok) << salida;
    }
    EXPECT_EQ(leer(casa / ".ssh" / "authorized_keys"), llave + "\n");
}

TEST(IdentidadSsh, TextosDeFalloYCarpetaDelSitio) {
    EXPECT_EQ(P::detalle::motivoAcceso("root@x: Permission denied (publickey,password)."),
              "La contraseña de root no es correcta.");
    EXPECT_EQ(P::detalle::motivoAcceso("connect to host x port 22: Connection refused"),
              "El VPS no contesta por SSH (puerto 22).");
    EXPECT_EQ(P::detalle::motivoAcceso("no arranca"), "No se ha podido entrar en el VPS.");
    EXPECT_EQ(P::detalle::nombreCarpetaSitio("ab/c d-9_Ñ"), "abcd-9_");
    EXPECT_EQ(P::detalle::nombreCarpetaSitio("ñ/"), "sin-guardar");
    EXPECT_EQ(P::detalle::nombreCarpetaSitio(std::string(100, 'a')), std::string(64, 'a'));
    EXPECT_EQ(P::detalle::cola("ñandú", 3), "ndú");
}

TEST(VpsPropios, AnadirYRepetir) {
    Preferencias::estandar().quitar("vpsPropios");
    EXPECT_EQ(*PropiosVPS::anadirVPS("", "1.2.3.4"), 900001);
    EXPECT_EQ(PropiosVPS::vpsPropios()[0]["nombre"], "Mi VPS (1.2.3.4)");
    EXPECT_EQ(*PropiosVPS::anadirVPS("Otro", "1.2.3.4"), 900001);
    EXPECT_EQ(PropiosVPS::vpsPropios().size(), 1U);
    Preferencias::estandar().fijarValor("vpsPropios", nlohmann::json::parse(R"([{"id":900007,"ip":"9.9.9.9"}])"));
    EXPECT_EQ(*PropiosVPS::anadirVPS(std::string(80, 'n'), "01.2.3.4"), 900008);
    EXPECT_EQ(PropiosVPS::vpsPropios()[1]["nombre"], std::string(60, 'n'));
    for (const char* ip : {"256.1.1.1", "1.2.3", "1.2.3.4.5", " 1.2.3.4", "1.2 .3.4", "001.2.3.4"}) {
        const auto r = PropiosVPS::anadirVPS("x", ip);
        ASSERT_FALSE(r) << ip;
        EXPECT_EQ(r.fallo().mensaje, "Escribe la IP del VPS (cuatro números separados por puntos).");
    }
}

TEST(EstadoServidor, RedConNombresDeInterfazLargos) {
    const fs::path dev = prueba::raizServidores() / "net-dev";
    std::ofstream(dev)
        << "Inter-|   Receive                                                |  Transmit\n"
           " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed\n"
           "    lo:     700       7    0    0    0     0          0         0      700       7    0    0    0     0       0          0\n"
           "  eth0:    1000      10    0    0    0     0          0         0     2000      20    0    0    0     0       0          0\n"
           "enp0s3:    5000      60    0    0    0     0          0         0     7000      80    0    0    0     0       0          0\n";
    const auto [ok, salida] = P::correr("/bin/sh", {"-c", EstadoServidor::ordenRed(dev.string())}, {}, std::nullopt);
    ASSERT_TRUE(ok) << salida;
    EXPECT_EQ(salida, "6000 9000\n");
}

// Everything below talks to the test's sshd through the application's own
// configuration, under the alias of server 41.
class AccesoReal : public ::testing::Test {
protected:
    static constexpr std::int64_t id = 41;
    void SetUp() override {
        std::string motivo;
        servidor_ = prueba::sshd(&motivo);
        ASSERT_NE(servidor_, nullptr) << motivo;
        const auto preparado = esperarTarea(P::prepararFuera(id, "127.0.0.1"));
        ASSERT_TRUE(preparado && *preparado);
    }
    P::ParSalida remoto(const std::string& orden, std::optional<std::string> entrada = std::nullopt) {
        return esperarTarea(P::remoto(id, orden, std::move(entrada)), std::chrono::seconds(30))
            .value_or(P::ParSalida{false, "sin respuesta"});
    }
    void instalar() {
        if (*esperarTarea(P::tieneAcceso(id), std::chrono::seconds(30))) return;
        const auto r = esperarTarea(P::instalarLlave(id, prueba::claveRoot), std::chrono::seconds(30));
        ASSERT_TRUE(r && *r) << (r ? r->fallo().mensaje : "sin respuesta") << servidor_->registro();
    }
    prueba::SshdPrueba* servidor_ = nullptr;
};

TEST_F(AccesoReal, LlaveInstaladaConLaContrasenaUnaSolaVez) {
    // Wrong password: one attempt, the wrong-password sentence, no askpass left.
    const auto mala = esperarTarea(P::instalarLlave(id, "no es esta"), std::chrono::seconds(30));
    ASSERT_TRUE(mala);
    ASSERT_FALSE(*mala);
    EXPECT_EQ(mala->fallo().mensaje, "La contraseña de root no es correcta.");
    EXPECT_TRUE(carpetasAskpass().empty());

    for (int i = 0; i < 2; ++i) {
        const auto r = esperarTarea(P::instalarLlave(id, prueba::claveRoot), std::chrono::seconds(30));
        ASSERT_TRUE(r && *r) << (r ? r->fallo().mensaje : "sin respuesta") << servidor_->registro();
    }
    EXPECT_TRUE(*esperarTarea(P::tieneAcceso(id), std::chrono::seconds(30)));
    const std::string publica = leer(P::raiz() / "ssh" / "id_ed25519.pub");
    EXPECT_EQ(contar(leer(servidor_->autorizadas()), publica.substr(0, publica.find_last_not_of("\n") + 1) + "\n"), 1U);
    EXPECT_TRUE(carpetasAskpass().empty());
    // Neither the password nor the script holding it ever reached the disk.
    EXPECT_EQ(leer(P::rutaConfiguracion()).find(prueba::claveRoot), std::string::npos);
}

TEST_F(AccesoReal, OrdenesRemotasEntradaYEstado) {
    instalar();
    EXPECT_EQ(remoto("cat; exit 3", std::string("bytes\n")), (P::ParSalida{false, "bytes\n"}));
    EXPECT_EQ(remoto("echo hola"), (P::ParSalida{true, "hola\n"}));
    EXPECT_FALSE(*esperarTarea(P::tieneAcceso(999)));  // never prepared: no alias

    const auto primera = remoto(EstadoServidor::ordenRemota);
    ASSERT_TRUE(primera.first) << primera.second;
    const auto a = EstadoServidor::leer(id, primera.second, nullptr, 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto segunda = remoto(EstadoServidor::ordenRemota);
    const auto b = EstadoServidor::leer(id, segunda.second, a.muestra ? &*a.muestra : nullptr, 0.3);
    EXPECT_GE(b.respuesta["nucleos"].get<int>(), 1);
    EXPECT_GT(b.respuesta["mem"]["total"].get<double>(), 0);
    EXPECT_GT(b.respuesta["disco"]["total"].get<double>(), 0);
    EXPECT_TRUE(b.respuesta.contains("red")) << b.respuesta.dump();
    EXPECT_EQ(b.respuesta["carga"].size(), 3U);
}

TEST_F(AccesoReal, NombresRarosListadosCopiadosYBorradosComoNombres) {
    instalar();
    const std::string arbol = (servidor_->casa() / "arbol").string();
    const std::vector<std::string> nombres{"a b'c", "-x", "nueva\nlínea", "$(touch pwned)", "*"};
    ASSERT_TRUE(remoto(A::ordenCarpeta(arbol)).first);
    for (const auto& n : nombres) ASSERT_TRUE(remoto("printf x > " + comillasShell(arbol + "/" + n)).first) << n;

    const auto listado = remoto(A::ordenListar(arbol));
    ASSERT_TRUE(listado.first);
    const auto l = A::leerListado(listado.second);
    EXPECT_EQ(l["ruta"], arbol);
    std::vector<std::string> vistos;
    for (const auto& item : l["items"]) vistos.push_back(item["nombre"]);
    for (const auto& n : {"a b'c", "-x", "$(touch pwned)", "*"})
        EXPECT_NE(std::find(vistos.begin(), vistos.end(), n), vistos.end()) << n;
    // A folder that cannot be entered lists /root instead.
    EXPECT_EQ(A::leerListado(remoto(A::ordenListar(arbol + "/no-existe")).second)["ruta"], "/root");

    // Copies with scp both ways, the name intact.
    const fs::path local = prueba::raizServidores() / "bajadas";
    fs::create_directories(local);
    const auto bajada =
        P::correr("/usr/bin/scp",
                  A::argumentosScp(P::rutaConfiguracion(), {A::remota(P::alias(id), arbol + "/a b'c")}, local.string()),
                  {}, std::nullopt);
    ASSERT_TRUE(bajada.first) << bajada.second;
    EXPECT_EQ(leer(local / "a b'c"), "x");
    std::ofstream(local / "subida b'c") << "arriba";
    const auto subida = P::correr("/usr/bin/scp",
                                  A::argumentosScp(P::rutaConfiguracion(), {(local / "subida b'c").string()},
                                                   A::remota(P::alias(id), arbol) + "/"),
                                  {}, std::nullopt);
    ASSERT_TRUE(subida.first) << subida.second;
    EXPECT_EQ(leer(fs::path(arbol) / "subida b'c"), "arriba");

    // Deleting "-x" deletes that file and nothing else; no name ran as code.
    ASSERT_TRUE(remoto(A::ordenBorrar(arbol + "/-x")).first);
    EXPECT_FALSE(fs::exists(fs::path(arbol) / "-x"));
    EXPECT_TRUE(fs::exists(fs::path(arbol) / "a b'c"));
    EXPECT_TRUE(fs::exists(fs::path(arbol) / "*"));
    EXPECT_FALSE(fs::exists(servidor_->casa() / "pwned"));
    EXPECT_FALSE(fs::exists(fs::path(arbol) / "pwned"));
}

TEST_F(AccesoReal, CerrarMaestrosNoDejaConexionNiSocket) {
    instalar();
    ASSERT_TRUE(remoto("true").first);
    const auto socket = P::rutaSocket(std::to_string(id), "127.0.0.1");
    ASSERT_TRUE(socket);
    EXPECT_TRUE(fs::exists(*socket));
    P::cerrarMaestros({id});
    EXPECT_TRUE(prueba::esperarHasta([&] { return !fs::exists(*socket); }, std::chrono::seconds(10)));
    EXPECT_TRUE(prueba::esperarHasta([&] { return servidor_->sesiones().size() <= 1; }, std::chrono::seconds(10)))
        << servidor_->sesiones().size();
}

}  // namespace
}  // namespace sorvenia
