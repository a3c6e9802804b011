// Deploying a design's app to the customer's VPS from the editor page, end
// to end in the test build: the tests' own OpenSSH server on a loopback port
// is the VPS (its /root and /srv are folders of the test, what it writes in
// /etc lands in the test too), the deploy script runs there for real with
// the real node, npm, tar and curl; only systemctl, nginx and certbot are
// the test's stand-ins (programas_vps.h).
//
// The customer opens the deployment panel from the app menu, picks the
// account's VPS, types the root password when the page asks (a wrong one
// first), prepares and deploys with no domain of their own, and gets the
// app's address; the server's state then says it runs. When the server does
// not answer, the page says so in Spanish.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app_e2e.h"
#include "diseno_prueba.h"
#include "programas_vps.h"
#include "puertos_prueba.h"
#include "sshd_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;

constexpr const char* idDiseno = "00112233445566dd";
constexpr const char* claveRoot = "la de root";
// The name the deploy gets with no domain: the server's IP, dashed, under
// the wildcard DNS service.
constexpr const char* dominioIP = "127-0-0-1.sslip.io";

class DespliegueE2E : public prueba::AppE2E {
protected:
    void SetUp() override {
        AppE2E::SetUp();
        programas_ = raiz_ / "vps-programas";
        prueba::escribirProgramasVPS(programas_, NODE_APPS_BIN);
        std::string motivo;
        sshd_ = prueba::SshdPrueba::arrancar(claveRoot, motivo, prueba::RaizServidor{raiz_ / "vps", programas_});
        if (!sshd_) GTEST_SKIP() << motivo;
        entrarComoCliente();
        darVpsDePrueba(sshd_->puerto(), sshd_->usuario());
        guardarDiseno({{"id", idDiseno},
                       {"nombre", "Barbería Ercilla"},
                       {"version", 1},
                       {"creado", "2026-12-01 10:00:00"},
                       {"modificado", "2026-12-01 10:00:00"},
                       {"doc", prueba::disenoGuardado()}});
        arrancarCuentaLocal();
    }
    void TearDown() override {
        // The apps the stand-in systemctl started, before the test's folders
        // (and their ids) go.
        if (!programas_.empty()) prueba::pararAppsVPS(programas_);
        AppE2E::TearDown();
        sshd_.reset();
    }

    json js(const std::string& cuerpo) { return valor(cuerpo, "editor"); }
    bool cumple(const std::string& expresion, std::chrono::milliseconds limite = 30s) {
        return esperarQue([&] { return js("return Boolean(" + expresion + ");") == json(true); }, limite);
    }
    void pulsar(const std::string& selector) {
        ASSERT_TRUE(cumple("document.querySelector(" + json(selector).dump() + ") && !document.querySelector(" +
                           json(selector).dump() + ").disabled"))
            << selector;
        js("document.querySelector(" + json(selector).dump() + ").click(); return true;");
    }
    std::string texto(const std::string& id) {
        const json t = js("const e = document.getElementById(" + json(id).dump() + "); return e ? e.textContent : '';");
        return t.is_string() ? t.get<std::string>() : "";
    }
    // Every "app" message the page gets, from now on.
    void escucharApp() {
        js("if (!window.__app) { const o = window.tarvel.app; window.__app = [];"
           " window.tarvel.app = (d) => { window.__app.push(d); return o(d); }; } return 1;");
    }
    std::vector<json> recibidos() {
        const json l = js("return window.__app || [];");
        return l.is_array() ? std::vector<json>(l.begin(), l.end()) : std::vector<json>{};
    }
    // The "despliegue" phases received, in order, from the `desde`-th message on.
    std::vector<std::string> fases(std::size_t desde = 0) {
        std::vector<std::string> r;
        const auto todos = recibidos();
        for (std::size_t i = desde; i < todos.size(); ++i)
            if (todos[i].contains("despliegue")) r.push_back(todos[i].value("despliegue", "?"));
        return r;
    }
    std::optional<json> ultimo(const std::string& clave, const std::string& valor = "") {
        const auto todos = recibidos();
        for (auto it = todos.rbegin(); it != todos.rend(); ++it)
            if (it->contains(clave) && (valor.empty() || (*it)[clave] == valor)) return *it;
        return std::nullopt;
    }
    bool llega(const std::string& clave, const std::string& valor, std::size_t desde,
               std::chrono::milliseconds limite) {
        return esperarQue(
            [&] {
                const auto todos = recibidos();
                return std::any_of(
                    todos.begin() + static_cast<std::ptrdiff_t>(std::min(desde, todos.size())), todos.end(),
                    [&](const json& m) { return m.contains(clave) && (valor.empty() || m[clave] == valor); });
            },
            limite);
    }

    // Opens the design, makes its app project and writes a small Node app
    // into it, as the agent would have.
    void abrirConApp() {
        arrancarAplicacion({"--abrir", idDiseno});
        ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("«Contacto»") != std::string::npos; }, 40s))
            << herramienta("ver_tarvel");
        escucharApp();
        js("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'app', accion: "
           "'crear'})})); return 1;");
        ASSERT_TRUE(esperarQue([&] { return ultimo("proyecto").has_value(); }, 60s)) << json(recibidos()).dump();
        const fs::path carpeta = (*ultimo("proyecto"))["proyecto"]["carpeta"].get<std::string>();
        std::ofstream(carpeta / "package.json")
            << R"({"name":"barberia","private":true,"scripts":{"start":"node servidor.js"}})";
        std::ofstream(carpeta / "servidor.js")
            << "require('node:http').createServer((q, r) => r.end(q.url === '/salud' ? 'ok' : "
               "'Barbería Ercilla')).listen(Number(process.env.PORT), process.env.HOST);\n";
        carpeta_ = carpeta;
    }
    // The app menu's entry that opens the deployment panel.
    void abrirPanel() {
        ASSERT_TRUE(esperarQue(
            [&] {
                return js("document.getElementById('app-boton').click();"
                          " const b = [...document.querySelectorAll('#app-menu .opcion')]"
                          ".find(b => b.textContent.includes('Desplegar en un VPS'));"
                          " if (!b) { document.getElementById('app-boton').click(); return false; }"
                          " b.click(); return !document.getElementById('panel-despliegue').hidden;") == json(true);
            },
            30s));
    }
    // Answers the password dialog the page opened.
    void escribirPassword(const std::string& password) {
        ASSERT_TRUE(cumple("document.getElementById('despliegue-password')", 60s)) << json(recibidos()).dump();
        js("document.getElementById('despliegue-password').value = " + json(password).dump() + "; return 1;");
        pulsar("#dialogo-aceptar");
    }

    fs::path programas_, carpeta_;
    std::unique_ptr<prueba::SshdPrueba> sshd_;
};

TEST_F(DespliegueE2E, SePreparaSeDespliegaYDaSuDireccion) {
    abrirConApp();
    abrirPanel();
    // The account's VPS is offered; the page looks at its state at once and,
    // the application's key not being there yet, asks for the password.
    ASSERT_TRUE(
        cumple("document.getElementById('despliegue-servidor').textContent.includes('vps-cuenta · 127.0.0.1')"));
    escribirPassword("otra");
    ASSERT_TRUE(
        cumple("document.getElementById('despliegue-fase').textContent === "
               "'La contraseña de root no es correcta.'",
               60s))
        << texto("despliegue-fase") << json(recibidos()).dump();
    EXPECT_NE(texto("dialogo-texto").find("La contraseña de root no es correcta."), std::string::npos);
    escribirPassword(claveRoot);
    ASSERT_TRUE(esperarQue([&] { return ultimo("estadoServidor").has_value(); }, 60s)) << json(recibidos()).dump();
    EXPECT_EQ((*ultimo("estadoServidor"))["estadoServidor"], json({{"ok", true}, {"activo", false}, {"version", ""}}));
    EXPECT_EQ(texto("despliegue-estado"), "Todavía no está desplegada en este VPS.");
    // Nothing is deployed before a plan has passed.
    EXPECT_EQ(js("return document.getElementById('despliegue-desplegar').disabled;"), json(true));

    // Prepare with no domain: upload, the script's checks, its lines shown.
    std::size_t desde = recibidos().size();
    pulsar("#despliegue-preparar");
    ASSERT_TRUE(llega("despliegue", "plan", desde, 120s) || llega("despliegue", "error", desde, 1s))
        << json(recibidos()).dump();
    EXPECT_EQ(fases(desde), (std::vector<std::string>{"acceso", "subiendo", "planeando", "plan"}));
    EXPECT_EQ((*ultimo("despliegue", "plan")), json({{"despliegue", "plan"}, {"dominio", dominioIP}, {"texto", ""}}));
    EXPECT_EQ(texto("despliegue-fase"), std::string("Todo listo para desplegar en ") + dominioIP + ".");
    EXPECT_NE(texto("despliegue-registro").find("Revisando Node.js…"), std::string::npos)
        << texto("despliegue-registro");
    EXPECT_TRUE(fs::exists(raiz_ / "vps/root/tarvel-subida/barberia-ercilla.tgz"));

    // Deploy: the address comes back, shown with a button to open it, and
    // the deployment is remembered for the project.
    desde = recibidos().size();
    pulsar("#despliegue-desplegar");
    ASSERT_TRUE(llega("despliegue", "hecho", desde, 180s) || llega("despliegue", "error", desde, 1s))
        << json(recibidos()).dump();
    EXPECT_EQ(fases(desde), (std::vector<std::string>{"acceso", "desplegando", "hecho"}));
    const json hecho = *ultimo("despliegue", "hecho");
    const std::string url = std::string("https://") + dominioIP + "/";
    EXPECT_EQ(hecho["resultado"]["url"], url);
    EXPECT_EQ(hecho["resultado"]["ok"], true);
    EXPECT_EQ(texto("despliegue-fase"), "Desplegada en " + url);
    EXPECT_EQ(js("return document.getElementById('despliegue-abrir').hidden;"), json(false));
    EXPECT_NE(texto("despliegue-registro").find("Publicada la versión"), std::string::npos)
        << texto("despliegue-registro");
    // The answer line is for native code; the state line follows the deployment.
    EXPECT_EQ(texto("despliegue-registro").find("RESULTADO"), std::string::npos) << texto("despliegue-registro");
    EXPECT_EQ(texto("despliegue-estado"),
              "En marcha en este VPS · versión " + hecho["resultado"].value("version", "?"));
    EXPECT_NE(texto("despliegue-ultimo").find("Último despliegue: " + url), std::string::npos)
        << texto("despliegue-ultimo");
    const json registro = preferencias().value("appDesplegada", json::object()).value(carpeta_.string(), json());
    ASSERT_TRUE(registro.is_object()) << preferencias().dump();
    EXPECT_EQ(registro["servidor"], 7);
    EXPECT_EQ(registro["dominio"], dominioIP);
    EXPECT_EQ(registro["url"], url);

    // On the server: the app unpacked and running behind nginx for that name,
    // the certificate asked for with the customer's address.
    const fs::path app = raiz_ / "vps/srv/tarvel-apps/barberia-ercilla";
    EXPECT_TRUE(fs::exists(app / "actual/servidor.js"));
    const std::string sitio =
        prueba::leer(raiz_ / "vps/etc/nginx/conf.d/tarvel-app-barberia-ercilla.conf").value_or("");
    EXPECT_NE(sitio.find(std::string("server_name ") + dominioIP + ";"), std::string::npos) << sitio;
    EXPECT_NE(prueba::leer(programas_ / "certbot.log")
                  .value_or("")
                  .find("-m cliente@sorvenia.example -d " + std::string(dominioIP)),
              std::string::npos);
    EXPECT_TRUE(capturar("ventana", "e2e-despliegue-hecho.png", "editor"));

    // Its state now: running, the version just deployed.
    desde = recibidos().size();
    pulsar("#despliegue-comprobar");
    ASSERT_TRUE(llega("estadoServidor", "", desde, 60s)) << json(recibidos()).dump();
    const json estado = (*ultimo("estadoServidor"))["estadoServidor"];
    EXPECT_EQ(estado["activo"], true) << estado;
    EXPECT_EQ(texto("despliegue-estado"), "En marcha en este VPS · versión " + estado.value("version", "?"));

    // Going back with no earlier version: the script's sentence, in red.
    desde = recibidos().size();
    pulsar("#despliegue-volver");
    pulsar("#dialogo-aceptar");
    ASSERT_TRUE(llega("despliegue", "error", desde, 60s) || llega("despliegue", "vuelto", desde, 1s))
        << json(recibidos()).dump();
    EXPECT_EQ(texto("despliegue-fase"), "No hay una versión anterior a la que volver.");
    EXPECT_EQ(js("return document.getElementById('despliegue-fase').classList.contains('mal');"), json(true));

    // A server of the customer's own, added from the panel: a mistyped
    // address is refused; the same machine under a name of its own is
    // chosen, the application's key already opens it, and it runs the app.
    const auto anadir = [&](const std::string& ip) {
        pulsar("#despliegue-anadir");
        js("document.getElementById('despliegue-vps-nombre').value = 'Mi servidor';"
           " document.getElementById('despliegue-vps-ip').value = " +
           json(ip).dump() + "; return 1;");
        pulsar("#dialogo-aceptar");
    };
    anadir("127.0.0.1.5");
    EXPECT_TRUE(
        cumple("[...document.querySelectorAll('.aviso span')].some(a => a.textContent === "
               "'Escribe la IP del VPS (cuatro números separados por puntos).')"));
    desde = recibidos().size();
    anadir(" 127.0.0.1 ");
    ASSERT_TRUE(cumple("document.getElementById('despliegue-servidor').value === '900001'"))
        << json(recibidos()).dump();
    EXPECT_EQ(js("return [...document.getElementById('despliegue-servidor').options].map(o => o.textContent);"),
              json({"vps-cuenta · 127.0.0.1", "Mi servidor · 127.0.0.1"}));
    ASSERT_TRUE(llega("estadoServidor", "", desde, 60s)) << json(recibidos()).dump();
    EXPECT_EQ((*ultimo("estadoServidor"))["estadoServidor"]["activo"], true) << json(recibidos()).dump();
    EXPECT_EQ(preferencias()["vpsPropios"],
              json::parse(R"([{"id":900001,"nombre":"Mi servidor","ip":"127.0.0.1","so":""}])"));
}

TEST_F(DespliegueE2E, SiElVPSNoContestaLaPaginaLoDice) {
    // The application's ssh goes to a loopback port where nothing listens.
    std::erase_if(entorno_, [](const std::string& v) { return v.starts_with("SORVENIA_SSH_PUERTO="); });
    entorno_.push_back("SORVENIA_SSH_PUERTO=" + std::to_string(prueba::puertoLibre()));
    abrirConApp();
    abrirPanel();
    escribirPassword(claveRoot);
    ASSERT_TRUE(
        cumple("document.getElementById('despliegue-fase').textContent === "
               "'El VPS no contesta por SSH (puerto 22).'",
               60s))
        << texto("despliegue-fase") << json(recibidos()).dump();
    EXPECT_NE(texto("dialogo-texto").find("El VPS no contesta por SSH (puerto 22)."), std::string::npos);
    pulsar("#dialogo-cancelar");
    EXPECT_TRUE(capturar("ventana", "e2e-despliegue-sin-ssh.png", "editor"));
    // Nothing reached the server, and no step can go on without access.
    EXPECT_FALSE(fs::exists(raiz_ / "vps/root/tarvel-subida"));
    EXPECT_EQ(js("return document.getElementById('despliegue-desplegar').disabled;"), json(true));
    EXPECT_FALSE(preferencias().contains("appDesplegada"));
}

}  // namespace
}  // namespace sorvenia
