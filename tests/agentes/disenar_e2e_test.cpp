// The test build, end to end: one-shot AI designs and signing an AI tool in
// from the editor. With the real claude and codex (pinned in
// tests/apoyo/agentes) against the stand-in model API, the user asks for a
// new mesa with "Mesa con IA": the page gets the tool's status lines and
// the mesa growing, the review pass renders the first answer and the tool
// gets it, and the corrected page lands in the new mesa without the tool's
// script. With the hero's title selected, a change asked of claude replaces
// that title and nothing else. gemini, on the login PATH, is offered in the
// editor and designs a mesa. A signed-out claude gives its sentence. The sign-in runs the
// stand-in claude of tests/apoyo/bin: its address is "opened" (the test
// build writes it down), the page asks for the code, a wrong code is
// reported, the right one signs in; cancelling ends the login.
// Screenshots of a turn and of a change in progress and of the code entry stay in
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
#include "plataforma/cripto.h"

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
            {"DISABLE_ERROR_REPORTING", "1"},
            {"GOOGLE_GEMINI_BASE_URL", modelo_->url()},
            {"GEMINI_TELEMETRY_ENABLED", "false"}};
        if (conClave) {
            cambios["ANTHROPIC_API_KEY"] = "sk-ant-prueba";
            cambios["GEMINI_API_KEY"] = "clave-prueba";
        }
        const std::set<std::string> fuera = {
            "CLAUDECODE",           "CODEX_HOME",        "CLAUDE_CONFIG_DIR", "http_proxy",    "https_proxy",
            "HTTP_PROXY",           "HTTPS_PROXY",       "all_proxy",         "ALL_PROXY",     "OPENAI_API_KEY",
            "ANTHROPIC_AUTH_TOKEN", "ANTHROPIC_API_KEY", "GEMINI_API_KEY",    "GOOGLE_API_KEY"};
        std::erase_if(entorno_, [&](const std::string& e) {
            const std::string nombre = e.substr(0, e.find('='));
            return cambios.contains(nombre) || fuera.contains(nombre);
        });
        for (const auto& [nombre, valor] : cambios) entorno_.push_back(nombre + "=" + valor);
        fs::create_directories(raiz_ / "home/.codex");
        std::ofstream(raiz_ / "home/.codex/config.toml") << prueba::configuracionCodex(modelo_->url());
        fs::create_directories(raiz_ / "home/.gemini");
        if (conClave)
            std::ofstream(raiz_ / "home/.gemini/settings.json")
                << json{{"security", {{"auth", {{"selectedType", "gemini-api-key"}}}}},
                        {"privacy", {{"usageStatisticsEnabled", false}}},
                        {"telemetry", {{"enabled", false}}}};
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
    // The user's click on an element of mesa m1 of the test design.
    void seleccionar(const std::string& lid) {
        valor(
            "const marco = document.querySelector('.mesa[data-mesa=\"m1\"] .mesa-marco');\n"
            "const d = marco.querySelector('iframe').contentDocument;\n"
            "const r = d.querySelector('[data-lid=\"" +
                lid +
                "\"]').getBoundingClientRect();\n"
                "const m = marco.getBoundingClientRect();\n"
                "const z = m.width / 1440;\n"
                "const x = m.left + (r.left + r.width / 2) * z, y = m.top + (r.top + r.height / 2) * z;\n"
                "for (const tipo of ['pointerdown', 'pointerup'])\n"
                "  marco.dispatchEvent(new PointerEvent(tipo, {clientX: x, clientY: y, button: 0, pointerId: 1, bubbles: true}));\n"
                "return 1;",
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

// The mesa's HTML as the canvas tool reads it.
std::string htmlDe(const std::string& leido) {
    const auto p = leido.find("\nHTML:\n");
    return p == std::string::npos ? "" : leido.substr(p + 7);
}

// The user selects the hero's title and asks claude to change it: the tool
// is shown that element (and the mesa's sheet) only, its <cambio> block
// shows in the mesa while it writes, and the answer replaces the title and
// nothing else, as one undo step.
TEST_F(DisenarE2E, UnCambioDeLaSeleccionSoloTocaLaSeleccion) {
    const std::string titulo = R"(<h1 data-lid="titulo">Barbería Ercilla, desde 1987</h1>)";
    prepararHerramientas({{"claude", CLAUDE_BIN}},
                         json{{"pasos",
                               {{{"trozos", json::array({"<cambio lid=\"titulo\">", "<h1 data-lid=\"titulo\">Barbería",
                                                         " Ercilla,", " desde 1987</h1>", "</cambio>"})},
                                 {"esperaTrozoMs", 900}}}}});
    abrirDiseno();
    ASSERT_TRUE(escuchar({"iaProgreso", "iaParcial", "respuestaIA"}));
    const std::string antes = htmlDe(herramienta("leer", {{"id", "m1"}}));
    const std::string original = R"(<h1 data-lid="titulo">Cortes con oficio en el centro de Bilbao</h1>)";
    ASSERT_NE(antes.find(original), std::string::npos) << antes;
    seleccionar("titulo");
    ASSERT_TRUE(esperarQue([&] {
        return valor("return document.getElementById('chat-disenar').textContent;", "editor") == json("Cambiar con IA");
    }));
    pedirMesa("Pon el nombre de la barbería en el titular", "claude");

    ASSERT_TRUE(esperarQue([&] { return oido("iaParcial").size() >= 2; }, 120s)) << json(oido("iaProgreso")).dump();
    // While it writes, the title in the mesa is the block so far.
    EXPECT_TRUE(esperarQue(
        [&] {
            return valor(
                       "const d = document.querySelector('.mesa[data-mesa=\"m1\"] iframe').contentDocument;\n"
                       "return d.querySelector('[data-lid=\"titulo\"]').textContent.startsWith('Barbería');",
                       "editor") == json(true);
        },
        20s));
    EXPECT_TRUE(capturar("ventana", "e2e-ia-cambio-en-curso.png", "editor"));
    ASSERT_TRUE(esperarQue([&] { return !oido("respuestaIA").empty(); }, 180s)) << json(oido("iaProgreso")).dump();

    const json respuesta = oido("respuestaIA").front();
    EXPECT_EQ(respuesta.value("html", ""), "<cambio lid=\"titulo\">" + titulo + "</cambio>") << respuesta;
    // A change has no review pass; the tool saw the title, not the rest.
    for (const auto& p : oido("iaProgreso")) EXPECT_NE(p.value("texto", ""), "Mirando la captura y corrigiendo…");
    std::vector<std::string> pedidos;
    for (const auto& p : modelo_->peticiones())
        if (p.cuerpo.find("CAMBIO SOBRE UNA P") != std::string::npos) pedidos.push_back(p.cuerpo);
    ASSERT_FALSE(pedidos.empty());
    for (const auto& c : pedidos) {
        EXPECT_NE(c.find("Cortes con oficio en el centro de Bilbao"), std::string::npos);
        EXPECT_NE(c.find(".hero h1{font-size:72px"), std::string::npos);
        EXPECT_EQ(c.find("Reserva en un minuto"), std::string::npos);
    }

    // The title replaced, every other byte of the mesa as it was.
    std::string esperado = antes;
    esperado.replace(esperado.find(original), std::string(original).size(), titulo);
    std::string despues;
    EXPECT_TRUE(esperarQue(
        [&] {
            despues = htmlDe(herramienta("leer", {{"id", "m1"}}));
            return despues == esperado;
        },
        10s))
        << despues;
    // One undo takes the whole change back.
    valor(
        "document.body.dispatchEvent(new KeyboardEvent('keydown', {key: 'z', ctrlKey: true, bubbles: true})); return 1;",
        "editor");
    EXPECT_EQ(htmlDe(herramienta("leer", {{"id", "m1"}})), antes);
}

// gemini, found on the login PATH, is offered in the editor and designs a
// new mesa in print mode.
TEST_F(DisenarE2E, GeminiSeOfreceEnElEditorYDisenaUnaMesa) {
    json trozos = json::array({"<div class=\"hero\">\n", "<h1>Fisio Lola</h1>\n", "<p>Tu espalda.</p>\n", "</div>\n"});
    prepararHerramientas({{"claude", CLAUDE_BIN}, {"gemini", GEMINI_BIN}},
                         json{{"pasos", {{{"trozos", trozos}, {"esperaTrozoMs", 700}}, {{"texto", corregida}}}}});
    abrirDiseno();
    ASSERT_TRUE(escuchar({"iaProgreso", "iaParcial", "respuestaIA"}));
    json opciones;
    ASSERT_TRUE(esperarQue(
        [&] {
            opciones =
                valor("return [...document.querySelectorAll('#chat-ia option')].map(o => [o.value, o.textContent]);",
                      "editor");
            return opciones.size() == 2;
        },
        30s))
        << opciones;
    EXPECT_EQ(opciones[0][0], "claude") << opciones;
    // Its name; whether it shows signed in depends on "--version" answering
    // within the probe's limit, which a loaded machine may not give node.
    EXPECT_EQ(opciones[1][0], "gemini") << opciones;
    EXPECT_TRUE(opciones[1][1].get<std::string>().starts_with("Gemini")) << opciones;

    pedirMesa("Una portada para una fisioterapeuta", "gemini");
    ASSERT_TRUE(esperarQue([&] { return !oido("respuestaIA").empty(); }, 180s)) << json(oido("iaProgreso")).dump();
    const json respuesta = oido("respuestaIA").front();
    ASSERT_TRUE(respuesta.contains("html")) << respuesta;
    EXPECT_EQ(respuesta["html"], corregida);
    const auto progresos = oido("iaProgreso");
    ASSERT_FALSE(progresos.empty());
    EXPECT_EQ(progresos.front().value("texto", ""), "Gemini está diseñando…");
    EXPECT_FALSE(oido("iaParcial").empty());

    const std::string mesa = idDeMesa(herramienta("ver_tarvel"), "Una portada para una fisioterapeuta");
    ASSERT_FALSE(mesa.empty()) << herramienta("ver_tarvel");
    std::string leido;
    EXPECT_TRUE(esperarQue(
        [&] {
            leido = herramienta("leer", {{"id", mesa}});
            return leido.find("Corregido tras la captura.") != std::string::npos;
        },
        10s))
        << leido;
}

// codex signed in with a ChatGPT account whose session has expired: the
// stand-in refuses the model request and then the token refresh, the real
// codex says so, and the editor gives codex's signed-out sentence.
TEST_F(DisenarE2E, CodexConLaSesionCaducadaDaSuFrase) {
    prepararHerramientas({{"codex", CODEX_BIN}}, json{{"caducada", true}, {"pasos", {{{"texto", "<div>no</div>"}}}}});
    // The account's tokens instead of a key: the provider asks for them.
    std::ofstream(raiz_ / "home/.codex/config.toml")
        << "model = \"gpt-5.5\"\nmodel_provider = \"modelo-falso\"\ncheck_for_update_on_startup = false\n"
           "[features]\napps = false\nplugins = false\nremote_plugin = false\nplugin_sharing = false\n"
           "in_app_updates = false\ndaemon_auto_start = false\n[analytics]\nenabled = false\n"
           "[model_providers.modelo-falso]\nname = \"Modelo falso\"\nbase_url = \"" +
               modelo_->url() + "/v1\"\nwire_api = \"responses\"\nrequires_openai_auth = true\n";
    const auto b64 = [](const std::string& t) {
        return base64url(std::span(reinterpret_cast<const std::uint8_t*>(t.data()), t.size()));
    };
    const json reclamos = {
        {"email", "cliente@example.com"},
        {"exp", 4102444800},
        {"iat", 1700000000},
        {"https://api.openai.com/auth", {{"chatgpt_plan_type", "plus"}, {"chatgpt_account_id", "cuenta-prueba"}}}};
    const std::string jwt = b64(R"({"alg":"RS256","typ":"JWT"})") + "." + b64(reclamos.dump()) + ".firma";
    std::ofstream(raiz_ / "home/.codex/auth.json") << json{
        {"OPENAI_API_KEY", nullptr},
        {"tokens",
         {{"id_token", jwt}, {"access_token", jwt}, {"refresh_token", "rt-prueba"}, {"account_id", "cuenta-prueba"}}},
        {"last_refresh", "2026-12-10T00:00:00Z"}};
    entorno_.push_back("CODEX_REFRESH_TOKEN_URL_OVERRIDE=" + modelo_->url() + "/oauth/token");
    abrirDiseno();
    ASSERT_TRUE(escuchar({"respuestaIA"}));
    pedirMesa("Una portada", "codex");
    ASSERT_TRUE(esperarQue([&] { return !oido("respuestaIA").empty(); }, 120s));
    EXPECT_EQ(oido("respuestaIA").front().value("error", ""),
              "La sesión de ChatGPT en Codex ha caducado. Pulsa el selector de IA y vuelve a conectarlo.");
    // codex really asked the account's server to refresh its session.
    bool refresco = false;
    for (const auto& p : modelo_->peticiones())
        refresco = refresco || (p.ruta == "/oauth/token" && p.cuerpo.find("rt-prueba") != std::string::npos);
    EXPECT_TRUE(refresco);
    EXPECT_TRUE(esperarQue([&] { return idDeMesa(herramienta("ver_tarvel"), "Una portada").empty(); }, 10s));
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
