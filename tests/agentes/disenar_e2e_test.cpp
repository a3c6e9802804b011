// The test build, end to end: one-shot AI designs and signing an AI tool in
// from the editor. With the real claude and codex (pinned in
// tests/apoyo/agentes) against the stand-in model API, the user asks for a
// new mesa with "Mesa con IA": the page gets the tool's status lines and
// the mesa growing, the review pass renders the first answer and the tool
// gets it, and the corrected page lands in the new mesa without the tool's
// script. A signed-out claude gives its sentence. The sign-in runs the
// stand-in claude of tests/apoyo/bin: its address is "opened" (the test
// build writes it down), the page asks for the code, a wrong code is
// reported, the right one signs in; cancelling ends the login.
// Screenshots of a turn in progress and of the code entry stay in
// build/capturas/.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "app_e2e.h"
#include "diseno_prueba.h"
#include "agentes_prueba.h"
#include "modelo_falso.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;

constexpr const char* idDiseno = "00112233445566cc";
constexpr const char* corregida = R"(<div class="hero"><h1>Fisio Lola</h1><p>Corregido tras la captura.</p></div>)";

json guionDiseno(bool codex) {
    json pasos = json::array();
    if (codex) {
        pasos.push_back({{"parche", "*** Begin Patch\n*** Add File: pagina.html\n+<div class=\"hero\">\n+<h1>Fisio Lola</h1>\n*** End Patch"}});
        pasos.push_back({{"parche", "*** Begin Patch\n*** Update File: pagina.html\n@@\n <h1>Fisio Lola</h1>\n+<script>robar()</script>\n+<p>Tu espalda.</p>\n+</div>\n*** End Patch"},
                         {"esperaMs", 1500}});
        pasos.push_back({{"texto", "LISTO."}, {"esperaMs", 1500}});
        // The review: codex writes the corrected page anew.
        pasos.push_back({{"parche", "*** Begin Patch\n*** Delete File: pagina.html\n*** End Patch"}});
        pasos.push_back({{"parche", std::string("*** Begin Patch\n*** Add File: pagina.html\n+") + corregida + "\n*** End Patch"}});
        pasos.push_back({{"texto", "LISTO."}});
    } else {
        pasos.push_back({{"trozos", json::array({"```html\n<div class=\"hero\">", "<h1>Fisio Lola</h1>", "<script>robar()</script>",
                                                 "<p>Tu espalda.</p>", "</div>\n```"})},
                         {"esperaTrozoMs", 900}});
        pasos.push_back({{"texto", corregida}});
    }
    return {{"pasos", pasos}};
}

class DisenarE2E : public prueba::AppE2E {
protected:
    // The tools on the login PATH the application sees; the stand-in model
    // for the real ones; nothing that leaves 127.0.0.1.
    void prepararHerramientas(const std::map<std::string, fs::path>& herramientas, json guion, bool conClave = true) {
        modelo_.emplace(std::move(guion));
        if (const char* registro = std::getenv("SORVENIA_REGISTRO_MODELO")) modelo_->registrarEn(registro);
        const fs::path bin = raiz_ / "path-login";
        fs::create_directories(bin);
        for (const auto& [nombre, ruta] : herramientas) fs::create_symlink(ruta, bin / nombre);
        std::map<std::string, std::string> cambios = {
            {"SHELL", (fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/shell-login").string()},
            {"SORVENIA_PATH_LOGIN", bin.string() + ":/usr/bin:/bin"},
            {"ANTHROPIC_BASE_URL", modelo_->url()},
            {"MODELO_FALSO_API_KEY", "sk-prueba"},
            {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"},
            {"DISABLE_AUTOUPDATER", "1"},
            {"DISABLE_TELEMETRY", "1"},
            {"DISABLE_ERROR_REPORTING", "1"}};
        if (conClave) cambios["ANTHROPIC_API_KEY"] = "sk-ant-prueba";
        const std::set<std::string> fuera = {"CLAUDECODE", "CODEX_HOME", "CLAUDE_CONFIG_DIR", "http_proxy",
                                             "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                                             "OPENAI_API_KEY", "ANTHROPIC_AUTH_TOKEN", "ANTHROPIC_API_KEY"};
        std::erase_if(entorno_, [&](const std::string& e) {
            const std::string nombre = e.substr(0, e.find('='));
            return cambios.contains(nombre) || fuera.contains(nombre);
        });
        for (const auto& [nombre, valor] : cambios) entorno_.push_back(nombre + "=" + valor);
        fs::create_directories(raiz_ / "home/.codex");
        std::ofstream(raiz_ / "home/.codex/config.toml") << prueba::configuracionCodex(modelo_->url());
    }

    void abrirDiseno() {
        entrarComoCliente();
        guardarDiseno({{"id", idDiseno},
                       {"nombre", "Fisio Lola"},
                       {"version", 1},
                       {"creado", "2026-12-01 10:00:00"},
                       {"modificado", "2026-12-01 10:00:00"},
                       {"doc", prueba::disenoGuardado()}});
        arrancarCuentaLocal();
        arrancarAplicacion({"--abrir", idDiseno});
        ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("Mesas de esta página") != std::string::npos; }, 40s))
            << herramienta("ver_tarvel");
    }

    // Every call of the listed page functions, from now on.
    bool escuchar(const std::vector<std::string>& funciones) {
        std::string js = "window.__oido = window.__oido || {};\n";
        for (const auto& f : funciones)
            js += "if (!window.__oido." + f + ") { window.__oido." + f + " = []; const o = window.tarvel." + f +
                  "; window.tarvel." + f + " = d => { window.__oido." + f + ".push(d); return o.call(window.tarvel, d); }; }\n";
        return valor(js + "return true;", "editor") == json(true);
    }
    std::vector<json> oido(const std::string& funcion) {
        const json l = valor("return (window.__oido && window.__oido." + funcion + ") || [];", "editor");
        return l.is_array() ? std::vector<json>(l.begin(), l.end()) : std::vector<json>{};
    }
    // What the user does: writes the request, picks the tool, presses the button.
    void pedirMesa(const std::string& texto, const std::string& ia) {
        valor("document.getElementById('chat-texto').value = " + json(texto).dump() + ";\n"
              "document.getElementById('chat-ia').value = " + json(ia).dump() + ";\n"
              "document.getElementById('chat-disenar').click(); return 1;",
              "editor");
    }
    // The id of the mesa named `nombre` in ver_tarvel's list ("- m3 «name» · …").
    static std::string idDeMesa(const std::string& estado, const std::string& nombre) {
        const auto donde = estado.find(" «" + nombre + "»");
        if (donde == std::string::npos) return "";
        const auto guion = estado.rfind("- ", donde);
        return guion == std::string::npos ? "" : estado.substr(guion + 2, donde - guion - 2);
    }

    std::optional<prueba::ModeloFalso> modelo_;
};

class DisenarConHerramienta : public DisenarE2E, public ::testing::WithParamInterface<const char*> {};

TEST_P(DisenarConHerramienta, UnaMesaNuevaCreceYQuedaConLaPaginaRevisada) {
    const std::string ia = GetParam();
    const bool codex = ia == "codex";
    prepararHerramientas({{"claude", CLAUDE_BIN}, {"codex", CODEX_BIN}}, guionDiseno(codex));
    abrirDiseno();
    ASSERT_TRUE(escuchar({"iaProgreso", "iaParcial", "respuestaIA"}));
    const std::string antes = herramienta("ver_tarvel");
    pedirMesa("Una portada para una fisioterapeuta", ia);

    // While it writes: status lines, and the mesa growing.
    ASSERT_TRUE(esperarQue([&] { return oido("iaParcial").size() >= 2; }, 120s)) << json(oido("iaProgreso")).dump();
    EXPECT_TRUE(capturar("ventana", "e2e-ia-" + ia + "-en-curso.png", "editor"));
    ASSERT_TRUE(esperarQue([&] { return !oido("respuestaIA").empty(); }, 180s)) << json(oido("iaProgreso")).dump();

    const auto progresos = oido("iaProgreso");
    std::vector<std::string> textos;
    for (const auto& p : progresos) textos.push_back(p.value("texto", ""));
    EXPECT_EQ(textos.front(), std::string(codex ? "ChatGPT Codex" : "Claude") + " está diseñando…") << json(textos).dump();
    EXPECT_TRUE(std::ranges::find(textos, "Mirando la captura y corrigiendo…") != textos.end()) << json(textos).dump();
    const auto parciales = oido("iaParcial");
    for (const auto& p : parciales) EXPECT_EQ(p.value("html", "").find("<script"), std::string::npos) << p;
    EXPECT_LT(parciales.front().value("html", "").size(), parciales.back().value("html", "").size());

    const json respuesta = oido("respuestaIA").front();
    ASSERT_TRUE(respuesta.contains("html")) << respuesta;
    EXPECT_EQ(respuesta["html"], corregida);
    EXPECT_EQ(respuesta["req"], parciales.front()["req"]);

    // The review pass got the first answer and its screenshot's name.
    bool revisada = false;
    for (const auto& p : modelo_->peticiones())
        revisada = revisada || (p.cuerpo.find("Mesa de trabajo de") != std::string::npos &&
                                p.cuerpo.find("captura.png") != std::string::npos);
    EXPECT_TRUE(revisada);

    // The new mesa, beside the ones there were, shows the corrected page.
    const std::string estado = herramienta("ver_tarvel");
    const std::string mesa = idDeMesa(estado, "Una portada para una fisioterapeuta");
    ASSERT_FALSE(mesa.empty()) << estado;
    EXPECT_EQ(antes.find(mesa + " «"), std::string::npos) << antes;
    std::string leido;
    EXPECT_TRUE(esperarQue([&] {
        leido = herramienta("leer", {{"id", mesa}});
        return leido.find("Corregido tras la captura.") != std::string::npos;
    }, 10s)) << leido;
    EXPECT_EQ(leido.find("robar()"), std::string::npos) << leido;
}

INSTANTIATE_TEST_SUITE_P(ClaudeYCodex, DisenarConHerramienta, ::testing::Values("claude", "codex"));

TEST_F(DisenarE2E, ClaudeSinSesionDaSuFrase) {
    prepararHerramientas({{"claude", CLAUDE_BIN}}, guionDiseno(false), false);
    abrirDiseno();
    ASSERT_TRUE(escuchar({"respuestaIA"}));
    pedirMesa("Una portada", "claude");
    ASSERT_TRUE(esperarQue([&] { return !oido("respuestaIA").empty(); }, 120s));
    EXPECT_EQ(oido("respuestaIA").front().value("error", ""),
              "Claude no tiene la sesión iniciada. Pulsa el selector de IA y conéctalo.");
    // No empty mesa is left behind.
    EXPECT_TRUE(esperarQue([&] { return idDeMesa(herramienta("ver_tarvel"), "Una portada").empty(); }, 10s))
        << herramienta("ver_tarvel");
}

// ---- signing in ----

class InicioSesionE2E : public DisenarE2E {
protected:
    // The stand-in claude, signed out: it reads its state from the file
    // beside the path it was started by.
    void prepararClaudeFalso() {
        prepararHerramientas({{"claude", fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/claude"}}, guionDiseno(false));
        std::ofstream(raiz_ / "path-login/claude.sesion") << "fuera\n";
        herramientas_ = raiz_ / "path-login";
    }
    std::vector<std::string> enlacesAbiertos() {
        std::vector<std::string> enlaces;
        std::ifstream archivo(canal_ / "enlaces-abiertos.txt");
        for (std::string l; std::getline(archivo, l);) enlaces.push_back(l);
        return enlaces;
    }
    std::vector<std::string> estados() {
        std::vector<std::string> e;
        for (const auto& d : oido("elegirIA")) e.push_back(d.value("estado", "") + (d.value("sesion", false) ? " dentro" : ""));
        return e;
    }
    void pulsar(const std::string& texto) {
        valor("for (const b of document.querySelectorAll('#ia-sesion button')) if (b.textContent === " + json(texto).dump() +
                  ") { b.click(); return 1; } return 0;",
              "editor");
    }
    void escribirCodigo(const std::string& codigo) {
        valor("const i = document.querySelector('#ia-sesion input'); i.value = " + json(codigo).dump() + "; return 1;",
              "editor");
        pulsar("Enviar código");
    }
    fs::path herramientas_;
};

TEST_F(InicioSesionE2E, ElNavegadorElCodigoMaloYElBueno) {
    prepararClaudeFalso();
    abrirDiseno();
    ASSERT_TRUE(escuchar({"elegirIA", "ias"}));
    ASSERT_TRUE(esperarQue([&] { return valor("return document.getElementById('ia-sesion').hidden;", "editor") == json(false); }));
    pulsar("Iniciar sesión");
    ASSERT_TRUE(esperarQue([&] { return estados() == std::vector<std::string>{"pideCodigo"}; }, 20s)) << json(estados()).dump();
    ASSERT_TRUE(esperarQue([&] { return !enlacesAbiertos().empty(); }, 10s));
    EXPECT_EQ(enlacesAbiertos(), std::vector<std::string>{"https://claude.example/oauth/authorize?code=true&state=falso"});
    EXPECT_TRUE(capturar("ventana", "e2e-ia-codigo.png", "editor"));

    escribirCodigo("malo");
    ASSERT_TRUE(esperarQue([&] { return estados().size() == 2; }, 20s));
    EXPECT_EQ(estados().back(), "codigoMalo");
    escribirCodigo("bueno");
    ASSERT_TRUE(esperarQue([&] { return estados().size() == 3; }, 30s)) << json(estados()).dump();
    EXPECT_EQ(estados().back(), "fin dentro");
    // The page has the tools again, claude now signed in.
    ASSERT_FALSE(oido("ias").empty());
    const json ias = oido("ias").back();
    ASSERT_TRUE(ias.is_array() && !ias.empty()) << ias;
    EXPECT_EQ(ias[0].value("sesion", false), true) << ias;
    EXPECT_EQ(enlacesAbiertos().size(), 1u);
}

TEST_F(InicioSesionE2E, CancelarTerminaElInicio) {
    prepararClaudeFalso();
    abrirDiseno();
    ASSERT_TRUE(escuchar({"elegirIA"}));
    ASSERT_TRUE(esperarQue([&] { return valor("return document.getElementById('ia-sesion').hidden;", "editor") == json(false); }));
    pulsar("Iniciar sesión");
    ASSERT_TRUE(esperarQue([&] { return estados() == std::vector<std::string>{"pideCodigo"}; }, 20s));
    pulsar("Cancelar");
    ASSERT_TRUE(esperarQue([&] { return estados().size() == 2; }, 30s)) << json(estados()).dump();
    EXPECT_EQ(estados().back(), "fin");
    // No login process is left.
    EXPECT_TRUE(esperarQue([&] {
        for (const auto& e : fs::directory_iterator("/proc")) {
            const auto cmd = prueba::leer(e.path() / "cmdline").value_or("");
            if (cmd.find((herramientas_ / "claude").string()) != std::string::npos &&
                cmd.find("login") != std::string::npos)
                return false;
        }
        return true;
    }, 10s));
}

}  // namespace
}  // namespace sorvenia
