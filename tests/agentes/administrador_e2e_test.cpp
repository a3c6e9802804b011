// The AI administrator of the servers screen, end to end: the test build
// against the local account service, the tests' own OpenSSH server on a
// loopback port (the account's VPS 7) and the real claude (pinned in
// tests/apoyo/agentes) talking to the scripted stand-in of its model API.
//
// A chat message makes claude run `uptime` on the server through the
// server's launcher; the page shows the step and the answer. The next
// message resumes the same conversation and asks for another host: claude
// refuses the plain ssh the model tries, and a second command chained after
// the launcher, since only the launcher is allowed.
// A third message keeps claude waiting; its command line holds only the
// launcher; "Parar" ends it and no agent process is left. Quitting the
// application in the middle of a fourth run leaves none either. A
// screenshot of the chat after the first answer and one after the stop stay
// in build/capturas/.

#include <gtest/gtest.h>
#include <signal.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "agentes_prueba.h"
#include "app_e2e.h"
#include "modelo_falso.h"
#include "sshd_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;
using prueba::leer;

constexpr const char* clave = "la de root";
constexpr const char* web = "servidores";
constexpr const char* otroHost = "root@198.51.100.20";
constexpr const char* respuestaUptime = "Tu servidor está encendido y con poca carga.";
constexpr const char* respuestaOtro = "Desde aquí sólo puedo trabajar en este servidor.";

// The launcher the application writes for server 7 under the test's home.
fs::path lanzadorDe(const fs::path& raiz) { return raiz / "home/.sorvenia-tarvel/ssh/bin/tarvel-vps-7"; }

json guion(const fs::path& lanzador) {
    return {
        {"pasos",
         {{{"texto", "Miro cuánto lleva encendido tu servidor."},
           {"herramienta", "Bash"},
           {"argumentos", {{"command", lanzador.string() + " 'uptime'"}, {"description", "Tiempo encendido y carga"}}}},
          {{"texto", respuestaUptime}},
          {{"texto", "Lo intento."},
           {"herramienta", "Bash"},
           {"argumentos", {{"command", std::string("ssh ") + otroHost + " df -h"}, {"description", "Disco"}}}},
          // Riding on the launcher's permission with a second command.
          {{"herramienta", "Bash"},
           {"argumentos",
            {{"command", lanzador.string() + " 'uptime' && ssh " + otroHost + " df -h"}, {"description", "Disco"}}}},
          {{"texto", respuestaOtro}},
          {{"texto", "Un momento, lo miro con calma."}, {"esperaMs", 120000}},
          {{"texto", "Ahora miro el disco."}, {"esperaMs", 120000}}}}};
}

class AdministradorE2E : public prueba::AppE2E {
protected:
    void SetUp() override {
        AppE2E::SetUp();
        std::string motivo;
        sshd_ = prueba::SshdPrueba::arrancar(clave, motivo);
        ASSERT_NE(sshd_, nullptr) << motivo;
        modelo_ = std::make_unique<prueba::ModeloFalso>(guion(lanzadorDe(raiz_)));
        entrarComoCliente();
        darVpsDePrueba(sshd_->puerto(), sshd_->usuario());
        arrancarCuentaLocal();
        prepararClaude();
    }
    void TearDown() override {
        AppE2E::TearDown();
        modelo_.reset();
        sshd_.reset();
    }

    // The real claude on the login PATH the application sees, signed in with
    // a key of the stand-in, and nothing that leaves 127.0.0.1.
    void prepararClaude() { darClaudeDePrueba(modelo_->url(), {{"claude", CLAUDE_BIN}}); }

    json js(const std::string& cuerpo) { return valor(cuerpo, web); }
    bool cumple(const std::string& expresion, std::chrono::milliseconds limite = 60s) {
        return esperarQue([&] { return js("return Boolean(" + expresion + ");") == json(true); }, limite);
    }
    void pulsar(const std::string& selector) {
        ASSERT_EQ(js("document.querySelector(" + json(selector).dump() + ").click(); return true;"), json(true))
            << selector;
    }
    // Every "chat" call the page receives, from now on.
    bool escuchar() {
        return js("window.__chat = []; const o = window.servidores.chat;"
                  "window.servidores.chat = d => { window.__chat.push(d); return o(d); }; return true;") == json(true);
    }
    std::vector<json> chat() {
        const json l = js("return window.__chat || [];");
        return l.is_array() ? std::vector<json>(l.begin(), l.end()) : std::vector<json>{};
    }
    std::size_t cuantos(const std::string& tipo) {
        const auto c = chat();
        return static_cast<std::size_t>(
            std::ranges::count_if(c, [&](const json& m) { return m.value("tipo", "") == tipo; }));
    }
    void escribir(const std::string& texto) {
        js("document.getElementById('chat-texto').value = " + json(texto).dump() +
           "; document.getElementById('form-chat').requestSubmit(); return 1;");
    }
    // The chat's messages as the page shows them: "<class> <text>".
    std::vector<std::string> pantalla() {
        const json l =
            js("return [...document.querySelectorAll('#chat-mensajes li')].map(li => li.className + ' ' + "
               "(li.querySelector('code') ? li.querySelector('code').textContent : li.textContent));");
        return l.is_array() ? l.get<std::vector<std::string>>() : std::vector<std::string>{};
    }

    // The agent processes of this test's application: their pids and
    // command lines (claude is the one given the administrator's brief).
    std::vector<std::pair<std::string, std::vector<std::string>>> agentes() {
        std::vector<std::pair<std::string, std::vector<std::string>>> r;
        const std::string marca = "HOME=" + (raiz_ / "home").string();
        for (const auto& d : fs::directory_iterator("/proc")) {
            const auto entorno = leer(d.path() / "environ").value_or("");
            if (entorno.find(marca + '\0') == std::string::npos) continue;
            const auto linea = leer(d.path() / "cmdline").value_or("");
            std::vector<std::string> args;
            for (std::size_t i = 0, j; i < linea.size(); i = j + 1) {
                j = linea.find('\0', i);
                if (j == std::string::npos) j = linea.size();
                args.push_back(linea.substr(i, j - i));
            }
            if (std::ranges::find(args, "--append-system-prompt") != args.end())
                r.emplace_back(d.path().filename().string(), std::move(args));
        }
        return r;
    }

    std::unique_ptr<prueba::SshdPrueba> sshd_;
    std::unique_ptr<prueba::ModeloFalso> modelo_;
};

std::vector<std::string> tras(const std::vector<std::string>& args, const std::string& opcion) {
    std::vector<std::string> r;
    auto it = std::ranges::find(args, opcion);
    if (it == args.end()) return r;
    for (++it; it != args.end() && !it->starts_with("--"); ++it) r.push_back(*it);
    return r;
}

TEST_F(AdministradorE2E, ChatConElServidorReanudaYSePara) {
    arrancarAplicacion({"--servidores"});
    ASSERT_TRUE(cumple("document.body.dataset.estado === 'listo'", 90s));
    pulsar(".servidor[data-id='7']");
    ASSERT_TRUE(cumple("document.body.dataset.acceso === 'clave'"));
    js("document.getElementById('clave').value = " + json(clave).dump() +
       "; document.getElementById('form-clave').requestSubmit(); return 1;");
    ASSERT_TRUE(cumple("document.body.dataset.acceso === 'ok'")) << sshd_->registro();
    pulsar("#pestanas [data-vista=asistente]");
    // The signed-in claude is offered, with its four models.
    ASSERT_TRUE(cumple("document.getElementById('chat-modelo').options.length === 4"));
    EXPECT_EQ(js("return document.getElementById('chat-sin-ia').hidden;"), json(true));
    ASSERT_TRUE(escuchar());

    // First message: claude runs uptime on the server through the launcher.
    escribir("¿Cómo está mi servidor?");
    ASSERT_TRUE(esperarQue([&] { return cuantos("termina") + cuantos("error") >= 1; }, 180s)) << json(chat()).dump();
    auto c = chat();
    EXPECT_EQ(c.back(), (json{{"tipo", "termina"}, {"codigo", 0}})) << json(c).dump();
    const auto paso = std::ranges::find_if(c, [](const json& m) { return m.value("tipo", "") == "paso"; });
    ASSERT_NE(paso, c.end()) << json(c).dump();
    EXPECT_EQ((*paso)["herramienta"], "Bash");
    EXPECT_EQ((*paso)["orden"], lanzadorDe(raiz_).string() + " 'uptime'");
    EXPECT_EQ((*paso)["desc"], "Tiempo encendido y carga");
    auto resultados = modelo_->resultados();
    ASSERT_EQ(resultados.size(), 1u);
    EXPECT_FALSE(resultados[0].error) << resultados[0].texto;
    EXPECT_NE(resultados[0].texto.find("load average"), std::string::npos) << resultados[0].texto;
    ASSERT_TRUE(cumple("document.body.dataset.chat === 'quieto'"));
    const auto vista = pantalla();
    EXPECT_EQ(vista.front(), "mensaje yo ¿Cómo está mi servidor?");
    EXPECT_NE(std::ranges::find(vista, "paso hecho uptime"), vista.end()) << ::testing::PrintToString(vista);
    EXPECT_EQ(vista.back(), std::string("mensaje ia ") + respuestaUptime) << ::testing::PrintToString(vista);
    EXPECT_TRUE(capturar("servidores", "administrador-chat.png", web));

    // Second message, same conversation: another host is out of reach.
    const std::size_t antes = modelo_->peticiones().size();
    escribir(std::string("Ahora conéctate a ") + otroHost + " y mira su disco.");
    ASSERT_TRUE(esperarQue([&] { return cuantos("termina") + cuantos("error") >= 2; }, 180s)) << json(chat()).dump();
    c = chat();
    EXPECT_EQ(c.back(), (json{{"tipo", "termina"}, {"codigo", 0}})) << json(c).dump();
    // Both refused by claude's permissions, before anything ran.
    resultados = modelo_->resultados();
    ASSERT_EQ(resultados.size(), 3u);
    for (const std::size_t i : {1u, 2u}) {
        EXPECT_TRUE(resultados[i].error) << i << ": " << resultados[i].texto;
        EXPECT_NE(resultados[i].texto.find("requires approval"), std::string::npos) << i << ": " << resultados[i].texto;
    }
    const auto peticiones = modelo_->peticiones();
    ASSERT_GT(peticiones.size(), antes);
    EXPECT_NE(peticiones.back().cuerpo.find("¿Cómo está mi servidor?"), std::string::npos) << "not resumed";
    EXPECT_NE(peticiones.back().cuerpo.find("198.51.100.20"), std::string::npos);
    ASSERT_TRUE(cumple("document.body.dataset.chat === 'quieto'"));
    EXPECT_EQ(pantalla().back(), std::string("mensaje ia ") + respuestaOtro);

    // Third message: claude waits on the model; its command line grants the
    // launcher alone and resumes the conversation; "Parar" ends it.
    escribir("Mira también la memoria.");
    std::vector<std::string> args;
    ASSERT_TRUE(esperarQue(
        [&] {
            const auto a = agentes();
            if (a.size() != 1 || modelo_->pasosDados() < 6) return false;
            args = a[0].second;
            return true;
        },
        120s))
        << modelo_->pasosDados();
    EXPECT_EQ(tras(args, "--allowedTools"),
              (std::vector<std::string>{"mcp__tarvel", "Bash(" + lanzadorDe(raiz_).string() + ":*)", "Skill"}));
    EXPECT_EQ(tras(args, "--disallowedTools"),
              (std::vector<std::string>{"Edit", "Write", "NotebookEdit", "Task", "WebSearch", "WebFetch"}));
    EXPECT_EQ(tras(args, "--resume").size(), 1u) << ::testing::PrintToString(args);
    ASSERT_TRUE(cumple("!document.getElementById('chat-parar').hidden"));
    pulsar("#chat-parar");
    ASSERT_TRUE(esperarQue([&] { return cuantos("termina") + cuantos("error") >= 3; }, 30s)) << json(chat()).dump();
    EXPECT_EQ(chat().back()["tipo"], "termina");
    EXPECT_TRUE(esperarQue([&] { return agentes().empty(); }, 20s)) << agentes().size();
    ASSERT_TRUE(cumple("document.body.dataset.chat === 'quieto'"));
    EXPECT_EQ(pantalla().back(), "mensaje nota Has parado al asistente.");
    EXPECT_TRUE(capturar("servidores", "administrador-parado.png", web));

    // Quitting the application while the administrator works leaves no agent.
    escribir("¿Y el disco?");
    ASSERT_TRUE(esperarQue([&] { return agentes().size() == 1 && modelo_->pasosDados() >= 7; }, 120s))
        << modelo_->pasosDados();
    app_->senal(SIGTERM);
    EXPECT_TRUE(app_->esperar(30s));
    EXPECT_TRUE(esperarQue([&] { return agentes().empty(); }, 20s)) << agentes().size();
}

}  // namespace
}  // namespace sorvenia
