// Publishing a design on the customer's VPS, end to end in the test build:
// the test's own OpenSSH server on a loopback port is the VPS (its /root and
// /srv are folders of the test; systemctl and nginx are stand-ins that only
// note their calls), the real claude is the agent, scripted through the
// stand-in model API, and a small HTTP server of the test serves the web
// root the agent chose as the VPS's web server would.
//
// The customer picks the VPS in the editor's publish menu with no domain;
// the application asks for the root password, installs its key, uploads the
// two pages to the upload folder and launches claude with the VPS as its
// target. claude, allowed only the launcher, is refused a plain command,
// looks at the upload folder and moves the pages into place through the
// launcher. The page hears every phase, the chat shows the steps, and the
// publication is recorded only when the site answers.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "agentes_prueba.h"
#include "app_e2e.h"
#include "diseno_prueba.h"
#include "modelo_falso.h"
#include "servidor_http_prueba.h"
#include "sshd_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;

constexpr const char* idDiseno = "00112233445566cc";
constexpr const char* clave = "la de root";
constexpr const char* raizWeb = "/srv/www/tarvel-web";

class PublicarVPSE2E : public prueba::AppE2E {
protected:
    void SetUp() override {
        AppE2E::SetUp();
        servidor_ = raiz_ / "vps";
        registro_ = raiz_ / "vps-ordenes.txt";
        prepararProgramas();
        std::string motivo;
        sshd_ = prueba::SshdPrueba::arrancar(clave, motivo, prueba::RaizServidor{servidor_, raiz_ / "vps-programas"});
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
        entorno_.push_back("SORVENIA_VPS_PUERTO_WEB=" + std::to_string(web_.puerto()));
    }
    void TearDown() override {
        AppE2E::TearDown();
        sshd_.reset();
    }

    // systemctl, nginx and certbot on the server only note their arguments.
    void prepararProgramas() {
        const fs::path bin = raiz_ / "vps-programas";
        fs::create_directories(bin);
        for (const char* programa : {"systemctl", "nginx", "certbot"}) {
            std::ofstream(bin / programa) << "#!/bin/sh\necho \"" << programa << " $*\" >> '" << registro_.string()
                                          << "'\n";
            fs::permissions(bin / programa, fs::perms(0755));
        }
    }

    // The real claude on the login PATH, talking to the stand-in model.
    void prepararClaude(prueba::ModeloFalso& modelo) { darClaudeDePrueba(modelo.url(), {{"claude", CLAUDE_BIN}}); }

    // The one command the agent may use on the VPS.
    std::string lanzador() const { return (raiz_ / "home/.sorvenia-tarvel/ssh/bin/tarvel-vps-7").string(); }

    json js(const std::string& cuerpo) { return valor(cuerpo, "editor"); }
    bool cumple(const std::string& expresion, std::chrono::milliseconds limite = 30s) {
        return esperarQue([&] { return js("return Boolean(" + expresion + ");") == json(true); }, limite);
    }
    void pulsar(const std::string& selector) {
        ASSERT_TRUE(cumple("document.querySelector(" + json(selector).dump() + ")")) << selector;
        ASSERT_EQ(js("document.querySelector(" + json(selector).dump() + ").click(); return true;"), json(true));
    }
    // Every "vps" answer and chat message the page gets, from now on.
    bool escuchar() {
        return js("window.__vps = []; window.__chat = [];\n"
                  "for (const [f, lista] of [['vps', window.__vps], ['chat', window.__chat]]) {\n"
                  "  const o = window.tarvel[f]; window.tarvel[f] = d => { lista.push(d); return o.call(window.tarvel, d); }; }\n"
                  "return true;") == json(true);
    }
    std::vector<json> lista(const std::string& nombre) {
        const json l = js("return window." + nombre + " || [];");
        return l.is_array() ? std::vector<json>(l.begin(), l.end()) : std::vector<json>{};
    }
    std::vector<std::string> estados() {
        std::vector<std::string> r;
        for (const auto& v : lista("__vps")) r.push_back(v.value("estado", "?"));
        return r;
    }
    bool hayEstado(const std::string& estado) { return std::ranges::count(estados(), estado) > 0; }

    // Opens the design, and publishes it on the account's VPS with no
    // domain, typing the root password when asked.
    void publicar() {
        arrancarAplicacion({"--abrir", idDiseno});
        ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("«Contacto»") != std::string::npos; }, 40s))
            << herramienta("ver_tarvel");
        ASSERT_TRUE(cumple("window.tarvel && document.getElementById('publicar-boton')"));
        ASSERT_TRUE(escuchar());
        pulsar("#publicar-boton");
        ASSERT_TRUE(cumple("[...document.querySelectorAll('#publicar-menu .opcion')].some(b => "
                           "b.textContent.includes('En tu VPS vps-cuenta'))"));
        ASSERT_EQ(js("[...document.querySelectorAll('#publicar-menu .opcion')].find(b => "
                     "b.textContent.includes('En tu VPS vps-cuenta')).click(); return true;"),
                  json(true));
        pulsar("#dialogo-aceptar");
        ASSERT_TRUE(esperarQue([&] { return hayEstado("pidePass"); }, 60s)) << json(lista("__vps")).dump();
        ASSERT_TRUE(cumple("document.getElementById('vps-password')"));
        js("document.getElementById('vps-password').value = " + json(clave).dump() + "; return true;");
        pulsar("#dialogo-aceptar");
    }

    fs::path servidor_, registro_;
    std::unique_ptr<prueba::SshdPrueba> sshd_;
    // The VPS's web server: the files of the web root the agent chose.
    prueba::ServidorHTTPPrueba web_{[this](const prueba::PeticionHTTP& p) {
        const std::string nombre = p.ruta == "/" ? "index.html" : p.ruta.substr(1);
        const auto texto = prueba::leer(servidor_ / fs::path(raizWeb).relative_path() / nombre);
        return texto ? prueba::ServidorHTTPPrueba::respuesta(200, *texto, "text/html")
                     : prueba::ServidorHTTPPrueba::respuesta(404, "no", "text/plain");
    }};
};

// The agent's steps: a plain command (refused), a look at the upload
// folder and, when `mover`, the pages moved into the web root and the web
// server checked and reloaded; then its closing sentence, held a moment so
// the page can be photographed at work.
json guion(const std::string& lanzador, bool mover) {
    json pasos = json::array({
        {{"texto", "Miro qué hay en el servidor."}, {"herramienta", "Bash"}, {"argumentos", {{"command", "ls /root"}}}},
        {{"texto", "Miro la web subida."},
         {"herramienta", "Bash"},
         {"argumentos", {{"command", lanzador + " 'ls /root/tarvel-subida'"}}}},
    });
    if (mover)
        pasos.push_back({{"texto", "Copio la web a su carpeta y recargo el servidor web."},
                         {"herramienta", "Bash"},
                         {"argumentos",
                          {{"command", lanzador + " 'mkdir -p " + raizWeb + " && cp -f /root/tarvel-subida/*.html " +
                                           raizWeb + "/ && nginx -t && systemctl reload nginx'"}}}});
    pasos.push_back({{"texto", "Tu web ya está publicada en http://127.0.0.1."}, {"esperaMs", 8000}});
    return {{"pasos", pasos}};
}

TEST_F(PublicarVPSE2E, ElAgentePoneLaWebEnSuSitioYQuedaAnotada) {
    prueba::ModeloFalso modelo(guion(lanzador(), true));
    prepararClaude(modelo);
    publicar();

    // Mid-run: the pages are in the upload folder and the agent works.
    ASSERT_TRUE(esperarQue([&] { return hayEstado("trabajando"); }, 90s)) << json(lista("__vps")).dump();
    ASSERT_TRUE(esperarQue([&] { return modelo.resultados().size() >= 3; }, 120s)) << json(lista("__chat")).dump();
    EXPECT_TRUE(capturar("ventana", "e2e-publicar-vps-trabajando.png", "editor"));
    ASSERT_TRUE(esperarQue([&] { return hayEstado("hecho") || hayEstado("error"); }, 90s)) << json(lista("__vps")).dump();
    EXPECT_TRUE(capturar("ventana", "e2e-publicar-vps-hecho.png", "editor"));

    const std::string url = "http://127.0.0.1:" + std::to_string(web_.puerto()) + "/";
    EXPECT_EQ(estados(), (std::vector<std::string>{"acceso", "pidePass", "acceso", "trabajando", "hecho"}));
    EXPECT_EQ(lista("__vps").back(), json({{"estado", "hecho"}, {"url", url}}));

    // The two pages went to the upload folder, and the agent moved them into
    // the web root of its choice; the machine's own folders were not touched.
    const fs::path subida = servidor_ / "root/tarvel-subida";
    const fs::path web = servidor_ / fs::path(raizWeb).relative_path();
    for (const fs::path& carpeta : {subida, web}) {
        std::set<std::string> nombres;
        for (const auto& e : fs::directory_iterator(carpeta)) nombres.insert(e.path().filename().string());
        EXPECT_EQ(nombres, (std::set<std::string>{"index.html", "contacto.html"})) << carpeta;
    }
    EXPECT_NE(prueba::leer(web / "index.html").value_or("").find("Cortes con oficio en el centro de Bilbao"),
              std::string::npos);
    EXPECT_NE(prueba::leer(web / "contacto.html").value_or("").find("Calle Ercilla 12"), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::path(raizWeb)));
    EXPECT_EQ(prueba::leer(registro_).value_or(""), "nginx -t\nsystemctl reload nginx\n");

    // The plain command was refused; the launcher reached the server.
    const auto resultados = modelo.resultados();
    ASSERT_EQ(resultados.size(), 3u);
    EXPECT_TRUE(resultados[0].error) << resultados[0].texto;
    EXPECT_FALSE(resultados[1].error) << resultados[1].texto;
    EXPECT_NE(resultados[1].texto.find("contacto.html"), std::string::npos) << resultados[1].texto;
    EXPECT_FALSE(resultados[2].error) << resultados[2].texto;

    // The chat shows the request as the user's, the steps and the end.
    const auto chat = lista("__chat");
    ASSERT_FALSE(chat.empty());
    EXPECT_EQ(chat.front(), json({{"tipo", "usuario"}, {"texto", "Publica mi web en mi VPS (127.0.0.1)"}}));
    EXPECT_EQ(std::ranges::count_if(chat, [](const json& m) { return m.value("tipo", "") == "paso"; }), 3);
    EXPECT_EQ(chat.back(), json({{"tipo", "termina"}, {"codigo", 0}, {"parado", false}}));
    EXPECT_TRUE(cumple("document.body.textContent.includes('Publica mi web en mi VPS (127.0.0.1)')"));
    // One notice tells the outcome; the earlier phases' notices are gone.
    EXPECT_EQ(js("return [...document.querySelectorAll('.aviso span')].map(a => a.textContent);"),
              json::array({"Web publicada en tu VPS: " + url}));

    // Recorded for the next opening of the design.
    const json registro = preferencias().value("vpsPublicado", json::object()).value(idDiseno, json());
    ASSERT_TRUE(registro.is_object()) << preferencias().dump();
    EXPECT_EQ(registro.value("servicio", 0), 7);
    EXPECT_EQ(registro.value("dominio", "?"), "");
    EXPECT_EQ(registro.value("fecha", "").size(), std::string("2026-12-11T09:00:00Z").size());
}

TEST_F(PublicarVPSE2E, SiLaWebNoContestaNoSeDaPorPublicada) {
    // The agent ends well but leaves the pages where they were.
    prueba::ModeloFalso modelo(guion(lanzador(), false));
    prepararClaude(modelo);
    publicar();
    ASSERT_TRUE(esperarQue([&] { return hayEstado("hecho") || hayEstado("error"); }, 180s))
        << json(lista("__vps")).dump();
    EXPECT_EQ(lista("__vps").back(), json({{"estado", "error"}, {"texto", "No se ha podido publicar la web en tu VPS."}}));
    EXPECT_FALSE(preferencias().contains("vpsPublicado")) << preferencias().dump();
    EXPECT_EQ(lista("__chat").back(), json({{"tipo", "termina"}, {"codigo", 0}, {"parado", false}}));
}

}  // namespace
}  // namespace sorvenia
