// The local run of an app project in the test build, end to end with the
// real node and npm: the app panel's "Probar" installs the project's
// packages, starts its server on a free port and shows it in the preview
// inside the editor; "Parar", a second run and quitting leave no process of
// the server's tree behind; the project's tests report what passed and what
// failed.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "aplicaciones/arbol_procesos.h"
#include "app_e2e.h"
#include "ayuda.h"
#include "diseno_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;

constexpr const char* idDiseno = "00112233445566cc";

// The app an agent would write: a page, the health path, a child process of
// its own (so the tree has depth), its ids written down for the test, and
// tests with node's own runner (two pass, one fails).
constexpr const char* servidorJs = R"(
const fs = require('fs');
const http = require('http');
const { spawn } = require('child_process');
const { saludo } = require('saludo');
const hijo = spawn(process.execPath, ['-e', 'setInterval(() => {}, 1000)'], { stdio: 'ignore' });
fs.writeFileSync('pids.txt', process.pid + ' ' + hijo.pid + '\n', { flag: 'a' });
http.createServer((req, res) => {
  if (req.url === '/salud') return res.end('ok');
  res.setHeader('content-type', 'text/html; charset=utf-8');
  res.end('<!doctype html><body style="font-family:sans-serif;background:#f4efe6;margin:0">' +
          '<h1 style="padding:32px;color:#3b2f2f">' + saludo + '</h1>' +
          '<p style="padding:0 32px">Reserva tu cita en la Barbería Ercilla.</p></body>');
}).listen(Number(process.env.PORT), process.env.HOST, () => console.log('Escuchando en el puerto ' + process.env.PORT));
)";

constexpr const char* pruebasJs = R"(
const test = require('node:test');
const assert = require('node:assert');
test('la portada saluda', () => assert.ok(true));
test('las reservas se guardan', () => assert.strictEqual(1 + 1, 2));
test('el pago funciona', () => assert.strictEqual('pendiente', 'hecho'));
)";

class AppLocalE2E : public prueba::AppE2E {
protected:
    void SetUp() override {
        AppE2E::SetUp();
        // The login shell's PATH of the application: the real node and npm
        // of the tests, side by side.
        const fs::path bin = raiz_ / "node-bin";
        fs::create_directories(bin);
        for (const char* programa : {"node", "npm"}) fs::create_symlink(fs::path(NODE_APPS_BIN) / programa, bin / programa);
        std::erase_if(entorno_, [](const std::string& v) { return v.rfind("SHELL=", 0) == 0; });
        entorno_.push_back("SHELL=" + prueba::apoyo("shell-login"));
        entorno_.push_back("SORVENIA_PATH_LOGIN=" + bin.string() + ":/usr/bin:/bin");
    }

    void abrirDiseno() {
        guardarDiseno({{"id", idDiseno},
                       {"nombre", "Barbería Ercilla"},
                       {"version", 1},
                       {"creado", "2026-12-01 10:00:00"},
                       {"modificado", "2026-12-01 10:00:00"},
                       {"doc", prueba::disenoGuardado()}});
        arrancarAplicacion({"--abrir", idDiseno});
        ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("m2 «Contacto»") != std::string::npos; },
                               40s));
        valor("if (!window.__app) { const o = window.tarvel.app; window.__app = [];"
              " window.tarvel.app = (d) => { window.__app.push(d); return o(d); }; } return 1;",
              "editor");
    }
    json recibidos() { return valor("return window.__app || [];", "editor"); }
    // The app menu's entry that opens the run panel.
    void abrirPanel() {
        ASSERT_TRUE(esperarQue([&] {
            return valor("document.getElementById('app-boton').click();"
                         " const b = [...document.querySelectorAll('#app-menu .opcion')]"
                         ".find(b => b.textContent.includes('Probar y construir'));"
                         " if (!b) { document.getElementById('app-boton').click(); return false; }"
                         " b.click(); return !document.getElementById('panel-app').hidden;",
                         "editor") == json(true);
        }, 30s));
    }
    void pulsar(const std::string& id) {
        valor("document.getElementById(" + json(id).dump() + ").click(); return 1;", "editor");
    }
    std::string textoDe(const std::string& id) {
        const json t = valor("const e = document.getElementById(" + json(id).dump() + "); return e ? e.textContent : '';",
                             "editor");
        return t.is_string() ? t.get<std::string>() : "";
    }
    // The "vista" states the page received, in order.
    std::vector<std::string> vistas() {
        std::vector<std::string> v;
        for (const auto& m : recibidos())
            if (m.is_object() && m.contains("vista") && m["vista"].is_string()) v.push_back(m["vista"]);
        return v;
    }
    std::string urlEnMarcha() {
        for (const auto& m : recibidos())
            if (m.is_object() && m.value("vista", "") == "enMarcha") return m.value("url", "");
        return "";
    }

    // The processes of one run: npm, its shell, the server and its child,
    // found from the ids the server wrote and their parents up to the
    // application.
    std::vector<pid_t> arbolDe(pid_t servidor, pid_t hijo) {
        std::vector<pid_t> pids{hijo};
        for (pid_t p = servidor; p > 1;) {
            std::ifstream cmd("/proc/" + std::to_string(p) + "/cmdline");
            std::string linea;
            std::getline(cmd, linea);
            if (linea.find("sorvenia-tarvel-pruebas") != std::string::npos) break;
            pids.push_back(p);
            std::ifstream stat("/proc/" + std::to_string(p) + "/stat");
            std::string texto((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
            const auto padre = ArbolProcesos::padreEnStat(texto);
            if (!padre) break;
            p = *padre;
        }
        return pids;
    }
    // The last run's tree, once its ids are written.
    std::vector<pid_t> arbolActual(std::size_t corrida) {
        std::vector<pid_t> arbol;
        esperarQue([&] {
            std::ifstream f(carpeta_ / "pids.txt");
            std::vector<std::pair<pid_t, pid_t>> lineas;
            for (pid_t a = 0, b = 0; f >> a >> b;) lineas.emplace_back(a, b);
            if (lineas.size() < corrida) return false;
            arbol = arbolDe(lineas[corrida - 1].first, lineas[corrida - 1].second);
            return arbol.size() >= 4;
        });
        return arbol;
    }
    static bool ningunoVivo(const std::vector<pid_t>& pids) {
        return esperarQue(
            [&] { return std::none_of(pids.begin(), pids.end(), [](pid_t p) { return prueba::vivo(p); }); }, 15s);
    }

    void escribir(const fs::path& relativa, const std::string& texto) {
        fs::create_directories((carpeta_ / relativa).parent_path());
        std::ofstream(carpeta_ / relativa) << texto;
    }

    fs::path carpeta_;
};

TEST_F(AppLocalE2E, ProbarMuestraLaAppEnElEditorYPararNoDejaProcesos) {
    entrarComoCliente();
    arrancarCuentaLocal();
    abrirDiseno();
    valor("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify("
          "{tipo: 'app', accion: 'crear'})})); return 1;",
          "editor");
    ASSERT_TRUE(esperarQue([&] {
        for (const auto& m : recibidos())
            if (m.is_object() && m.contains("proyecto")) {
                carpeta_ = m["proyecto"].value("carpeta", "");
                return true;
            }
        return false;
    }, 30s)) << recibidos().dump();
    ASSERT_TRUE(fs::is_directory(carpeta_));

    // What an agent would have written: a server with one local package.
    escribir("saludo/package.json", R"({"name": "saludo", "version": "1.0.0", "main": "index.js"})");
    escribir("saludo/index.js", "exports.saludo = 'Hola desde la app de la barbería';\n");
    escribir("server.js", servidorJs);
    escribir("test/portada.test.js", pruebasJs);
    escribir("package.json", R"({"name": "barberia", "version": "1.0.0", "private": true,
      "scripts": {"start": "node server.js", "test": "node --test"},
      "dependencies": {"saludo": "file:./saludo"}})");

    abrirPanel();
    pulsar("app-probar");
    ASSERT_TRUE(esperarQue([&] { return !urlEnMarcha().empty(); }, 120s)) << recibidos().dump();
    EXPECT_EQ(vistas(), (std::vector<std::string>{"instalando", "arrancando", "enMarcha"}));
    const std::string url = urlEnMarcha();
    EXPECT_EQ(url.rfind("http://127.0.0.1:", 0), 0u) << url;
    EXPECT_GE(std::stoi(url.substr(17)), 4310);
    // The preview inside the editor shows the app's own page.
    ASSERT_TRUE(esperarQue([&] {
        const json t = valor("return document.body ? document.body.innerText : '';", "vistaApp");
        return t.is_string() && t.get<std::string>().find("Hola desde la app de la barbería") != std::string::npos;
    }, 30s));
    EXPECT_EQ(valor("return location.href;", "vistaApp"), url);
    EXPECT_NE(textoDe("app-registro").find("Escuchando en el puerto"), std::string::npos);
    EXPECT_TRUE(capturar("ventana", "app-vista-previa.png", "editor"));

    // Stopping ends the whole tree.
    const auto primero = arbolActual(1);
    ASSERT_GE(primero.size(), 4u);
    pulsar("app-parar");
    EXPECT_TRUE(ningunoVivo(primero));
    ASSERT_TRUE(esperarQue([&] { return vistas().back() == "parada"; }));

    // The project's tests: what passed and what failed reach the panel.
    pulsar("app-comprobar");
    ASSERT_TRUE(esperarQue([&] {
        for (const auto& m : recibidos())
            if (m.is_object() && m.contains("comprobado")) return true;
        return false;
    }, 60s)) << recibidos().dump();
    const std::string pruebas = textoDe("app-pruebas");
    EXPECT_NE(pruebas.find("pass 2"), std::string::npos) << pruebas;
    EXPECT_NE(pruebas.find("fail 1"), std::string::npos) << pruebas;
    EXPECT_EQ(textoDe("app-resultado"), "Alguna prueba falla.");
    EXPECT_TRUE(capturar("ventana", "app-pruebas.png", "editor"));

    // Two runs in a row: the first one's tree is gone before the second
    // answers; quitting ends the second's.
    pulsar("app-probar");
    const auto segundo = arbolActual(2);
    ASSERT_GE(segundo.size(), 4u);
    pulsar("app-probar");
    const auto tercero = arbolActual(3);
    ASSERT_GE(tercero.size(), 4u);
    EXPECT_TRUE(ningunoVivo(segundo));
    for (const pid_t p : tercero) EXPECT_TRUE(prueba::vivo(p)) << p;
    // Closing the design (back to the designs) ends its app's tree.
    pulsar("volver");
    EXPECT_TRUE(ningunoVivo(tercero));

    // Opened again and run: quitting ends the tree too.
    app_->senal(SIGTERM);
    ASSERT_TRUE(app_->esperar(30s).has_value());
    arrancarAplicacion({"--abrir", idDiseno});
    ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("m2 «Contacto»") != std::string::npos; }, 40s));
    abrirPanel();
    pulsar("app-probar");
    const auto cuarto = arbolActual(4);
    ASSERT_GE(cuarto.size(), 4u);
    app_->senal(SIGTERM);
    ASSERT_TRUE(app_->esperar(30s).has_value());
    EXPECT_TRUE(ningunoVivo(cuarto));
}

}  // namespace
}  // namespace sorvenia
