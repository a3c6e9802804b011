// The servers screen end to end: the test build against the local account
// service and the tests' own OpenSSH server on a loopback port. The account
// lists one VPS (at that server) and the user adds one of their own; the
// key is installed with the root password typed in the page; the status
// view shows the machine's figures; a terminal follows the page's size,
// Control+C interrupts; the file browser copies a file named "a b'c" both
// ways and refuses to delete "/etc/"; leaving the screen leaves no ssh or
// shell process. Screenshots land in build/capturas/.

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "sshd_prueba.h"
#include "app_e2e.h"
#include "plataforma/cripto.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;
using prueba::leer;

constexpr const char* clave = "la de root";
constexpr const char* web = "servidores";

class ServidoresE2E : public prueba::AppE2E {
protected:
    void SetUp() override {
        AppE2E::SetUp();
        std::string motivo;
        sshd_ = prueba::SshdPrueba::arrancar(clave, motivo);
        ASSERT_NE(sshd_, nullptr) << motivo;
        entrarComoCliente();
        darVpsDePrueba(sshd_->puerto(), sshd_->usuario());
        arrancarCuentaLocal();
    }
    void TearDown() override {
        AppE2E::TearDown();
        sshd_.reset();
    }

    json js(const std::string& cuerpo) { return valor(cuerpo, web); }
    bool cumple(const std::string& expresion, std::chrono::milliseconds limite = 60s) {
        return esperarQue([&] { return js("return Boolean(" + expresion + ");") == json(true); }, limite);
    }
    void pulsar(const std::string& selector) {
        ASSERT_EQ(js("document.querySelector(" + json(selector).dump() + ").click(); return true;"), json(true))
            << selector;
    }
    void enviarPagina(const json& mensaje) {
        js("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: " + json(mensaje.dump()).dump() +
           "})); return true;");
    }
    std::string textoTerminal() {
        const auto t =
            js("const m = document.querySelector('.marco:not([hidden]) .xterm-rows'); return m ? m.innerText : '';");
        return t.is_string() ? t.get<std::string>() : "";
    }
    json tidYTamano() {
        return js(
            "const m = document.querySelector('.marco:not([hidden])'); "
            "return m ? {tid: m.dataset.tid, cols: Number(m.dataset.cols), filas: Number(m.dataset.filas)} : null;");
    }
    void teclear(const std::string& tid, const std::string& texto) {
        enviarPagina({{"tipo", "teclas"}, {"tid", tid}, {"b64", base64de(texto)}});
    }
    static std::string base64de(const std::string& s) {
        return base64(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    }
    bool avisoEs(const std::string& texto) {
        return esperarQue([&] { return js("return document.getElementById('aviso').textContent;") == json(texto); },
                          60s);
    }
    // Processes of this test's application (its HOME) that are ssh or a shell.
    std::vector<std::string> restos() {
        std::vector<std::string> r;
        const std::string marca = "HOME=" + (raiz_ / "home").string();
        for (const auto& d : fs::directory_iterator("/proc")) {
            const auto entorno = leer(d.path() / "environ").value_or("");
            if (entorno.find(marca + '\0') == std::string::npos) continue;
            auto comm = leer(d.path() / "comm").value_or("");
            if (!comm.empty() && comm.back() == '\n') comm.pop_back();
            if (comm == "ssh" || comm == "bash" || comm == "sh" || comm == "sleep")
                r.push_back(comm + " " + d.path().filename().string());
        }
        return r;
    }

    std::unique_ptr<prueba::SshdPrueba> sshd_;
};

TEST_F(ServidoresE2E, ListaAccesoEstadoTerminalArchivosYSalida) {
    arrancarAplicacion({"--servidores"});
    ASSERT_TRUE(cumple("document.body.dataset.estado === 'listo'"));
    ASSERT_TRUE(cumple("document.querySelectorAll('.servidor').length === 1"));
    EXPECT_EQ(js("return document.querySelector('.servidor .nombre').textContent;"), "vps-cuenta");

    // An own VPS, added in the page.
    js("document.getElementById('propio-nombre').value = 'Mi servidor'; document.getElementById('propio-ip').value = ' 127.0.0.1 '; "
       "document.getElementById('form-propio').requestSubmit(); return 1;");
    ASSERT_TRUE(cumple("document.querySelectorAll('.servidor').length === 2"));
    EXPECT_EQ(js("return [...document.querySelectorAll('.servidor')].map(b => b.querySelector('.nombre').textContent + "
                 "(b.querySelector('.insignia') ? ' · ' + b.querySelector('.insignia').textContent : ''));"),
              json({"vps-cuenta", "Mi servidor · Tuyo"}));
    EXPECT_EQ(preferencias()["vpsPropios"][0]["id"], 900001);

    // The account's VPS: the key does not open it yet; the root password is typed once.
    pulsar(".servidor[data-id='7']");
    ASSERT_TRUE(cumple("document.body.dataset.acceso === 'clave'"));
    js("document.getElementById('clave').value = 'no es'; document.getElementById('form-clave').requestSubmit(); return 1;");
    ASSERT_TRUE(
        cumple("document.getElementById('error-acceso').textContent === 'La contraseña de root no es correcta.'"));
    js("document.getElementById('clave').value = " + json(clave).dump() +
       "; document.getElementById('form-clave').requestSubmit(); return 1;");
    ASSERT_TRUE(cumple("document.body.dataset.acceso === 'ok'")) << sshd_->registro();
    const auto publica = leer(raiz_ / "home/.sorvenia-tarvel/ssh/id_ed25519.pub").value_or("?");
    EXPECT_NE(leer(sshd_->autorizadas()).value_or("").find(publica.substr(0, 60)), std::string::npos);

    // Live status of this very machine: the second sample brings CPU use.
    ASSERT_TRUE(cumple("document.body.dataset.estadoListo === 'completo'", 90s));
    // The server counts with `nproc`: the processors this process may run on,
    // which a CPU affinity (taskset, a container) makes fewer than those online.
    cpu_set_t permitidos;
    CPU_ZERO(&permitidos);
    ASSERT_EQ(::sched_getaffinity(0, sizeof permitidos, &permitidos), 0);
    const auto nucleos = std::to_string(CPU_COUNT(&permitidos));
    EXPECT_NE(js("return document.querySelector('[data-clave=carga]').textContent;")
                  .get<std::string>()
                  .find(nucleos + " núcleos"),
              std::string::npos);
    EXPECT_TRUE(capturar("servidores", "servidores-estado.png", web));

    // A terminal: the page's size, a resize, Control+C.
    pulsar("#pestanas [data-vista=terminal]");
    ASSERT_TRUE(cumple("document.querySelector('.marco:not([hidden]) .xterm-rows')"));
    auto t = tidYTamano();
    const std::string tid = t["tid"];
    ASSERT_TRUE(esperarQue(
        [&] {
            return textoTerminal().find('$') != std::string::npos || textoTerminal().find('#') != std::string::npos;
        },
        60s))
        << textoTerminal();
    teclear(tid, "stty size\r");
    const std::string tamano1 = std::to_string(t["filas"].get<int>()) + " " + std::to_string(t["cols"].get<int>());
    EXPECT_TRUE(esperarQue([&] { return textoTerminal().find(tamano1) != std::string::npos; }, 30s)) << tamano1 << "\n"
                                                                                                     << textoTerminal();
    js("const m = document.getElementById('marcos'); m.style.flex = 'none'; m.style.height = '240px'; m.style.width = '640px'; return 1;");
    ASSERT_TRUE(esperarQue(
        [&] {
            const auto n = tidYTamano();
            return n["filas"] != t["filas"] && n["cols"] != t["cols"];
        },
        20s));
    const auto t2 = tidYTamano();
    const std::string tamano2 = std::to_string(t2["filas"].get<int>()) + " " + std::to_string(t2["cols"].get<int>());
    teclear(tid, "clear; stty size\r");
    EXPECT_TRUE(esperarQue([&] { return textoTerminal().find(tamano2) != std::string::npos; }, 30s)) << tamano2 << "\n"
                                                                                                     << textoTerminal();
    teclear(tid, "sleep 60\r");
    std::this_thread::sleep_for(1s);
    teclear(tid, "\x03");
    teclear(tid, "echo fin-$?\r");
    EXPECT_TRUE(esperarQue([&] { return textoTerminal().find("fin-130") != std::string::npos; }, 30s))
        << textoTerminal();
    EXPECT_TRUE(capturar("servidores", "servidores-terminal.png", web));

    // Files: a temporary tree with awkward names.
    const fs::path arbol = sshd_->casa() / "arbol";
    fs::create_directories(arbol / "sub");
    std::ofstream(arbol / "a b'c") << "contenido raro";
    std::ofstream(arbol / "-x") << "guion";
    pulsar("#pestanas [data-vista=archivos]");
    ASSERT_TRUE(cumple("document.body.dataset.carpeta"));
    js("document.getElementById('ruta').value = " + json(arbol.string()).dump() +
       "; document.getElementById('ir').click(); return 1;");
    ASSERT_TRUE(cumple("document.body.dataset.carpeta === " + json(arbol.string()).dump()));
    EXPECT_EQ(js("return [...document.querySelectorAll('#entradas tr')].map(f => f.dataset.nombre);"),
              json({"sub", "-x", "a b'c"}));
    pulsar("#entradas tr[data-nombre=\"a b'c\"] .acciones button");
    ASSERT_TRUE(avisoEs("Descargado en Descargas: a b'c"));
    EXPECT_EQ(leer(raiz_ / "home/Downloads/a b'c"), "contenido raro");
    std::ofstream(raiz_ / "home/Downloads/a b'c") << "editado aquí";
    pulsar("#entradas tr[data-nombre=\"a b'c\"] .acciones button");
    ASSERT_TRUE(avisoEs("Descargado en Descargas: a b'c (2)"));
    EXPECT_EQ(leer(raiz_ / "home/Downloads/a b'c"), "editado aquí");
    EXPECT_EQ(leer(raiz_ / "home/Downloads/a b'c (2)"), "contenido raro");

    const fs::path local = raiz_ / "subida b'c";
    std::ofstream(local) << "desde el ordenador";
    std::ofstream(canal_ / "subir.json") << json::array({local.string()});
    pulsar("#subir-aqui");
    ASSERT_TRUE(avisoEs("Subido a " + arbol.string()));
    EXPECT_EQ(leer(arbol / "subida b'c"), "desde el ordenador");
    ASSERT_TRUE(cumple("document.querySelector('#entradas tr[data-nombre=\"subida b\\'c\"]')"));

    enviarPagina({{"tipo", "borrar"}, {"servidor", 7}, {"ruta", "/etc/"}});
    ASSERT_TRUE(avisoEs("Esa carpeta es del sistema: no se borra desde aquí."));
    EXPECT_TRUE(fs::exists("/etc/passwd"));

    // Leaving the screen: no terminal, no shared connection, no askpass.
    pulsar("#volver");
    EXPECT_TRUE(esperarQue([&] { return restos().empty(); }, 20s)) << ::testing::PrintToString(restos());
    EXPECT_TRUE(esperarQue([&] { return sshd_->sesiones().size() <= 0; }, 20s)) << sshd_->sesiones().size();
    // The control sockets (in ~/.sorvenia-tarvel/s, or the runtime folder's
    // "tv" for a long home): none of server 7's is left.
    for (const fs::path& carpeta :
         {raiz_ / "home/.sorvenia-tarvel/s", fs::path(std::getenv("XDG_RUNTIME_DIR")) / "tv"}) {
        std::error_code ec;
        for (fs::directory_iterator it(carpeta, ec), fin; !ec && it != fin; it.increment(ec))
            EXPECT_FALSE(it->path().filename().string().starts_with("7-")) << it->path();
    }
}

TEST_F(ServidoresE2E, SalirTerminaTerminalesYConexiones) {
    arrancarAplicacion({"--servidores-prueba"});
    ASSERT_TRUE(cumple("document.querySelectorAll('.servidor').length === 2"));
    EXPECT_EQ(js("return document.querySelector('.servidor .nombre').textContent;"), "Este ordenador (prueba)");

    // This computer in test mode: access at once, no status, a local shell
    // with the greeting, left running a command.
    pulsar(".servidor[data-id='0']");
    ASSERT_TRUE(cumple("document.body.dataset.acceso === 'ok'"));
    ASSERT_TRUE(cumple("document.getElementById('estado-error').textContent === 'El modo de prueba no tiene estado.'"));
    pulsar("#pestanas [data-vista=terminal]");
    ASSERT_TRUE(esperarQue([&] { return textoTerminal().find("Hola desde Sorvenia Code") != std::string::npos; }, 60s))
        << textoTerminal();
    teclear(tidYTamano()["tid"], "sleep 300\r");

    // The account's VPS: a shared ssh connection and a remote terminal.
    pulsar(".servidor[data-id='7']");
    ASSERT_TRUE(cumple("document.body.dataset.acceso === 'clave'"));
    js("document.getElementById('clave').value = " + json(clave).dump() +
       "; document.getElementById('form-clave').requestSubmit(); return 1;");
    ASSERT_TRUE(cumple("document.body.dataset.acceso === 'ok'"));
    pulsar("#pestanas [data-vista=terminal]");
    ASSERT_TRUE(esperarQue([&] { return textoTerminal().find('#') != std::string::npos; }, 60s)) << textoTerminal();
    ASSERT_FALSE(restos().empty());

    // Quitting (the signal a session manager sends) ends all of it.
    app_->senal(SIGTERM);
    ASSERT_TRUE(app_->esperar(30s));
    EXPECT_TRUE(esperarQue([&] { return restos().empty(); }, 20s)) << ::testing::PrintToString(restos());
    EXPECT_TRUE(esperarQue([&] { return sshd_->sesiones().empty(); }, 20s)) << sshd_->sesiones().size();
}

}  // namespace
}  // namespace sorvenia
