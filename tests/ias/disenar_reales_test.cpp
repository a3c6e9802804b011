// One-shot design turns with the real claude, codex and gemini (pinned in
// tests/apoyo/agentes) against the scripted stand-in of their model APIs:
// the page grows while the tool writes, the answer comes back cleaned, the
// review pass shows the tool its screenshot and keeps the corrected page,
// a signed-out tool gives its sentence, and the work folder is gone after
// every turn. Tools that misbehave (endless output, a turn that never ends)
// are small scripts: the real ones cannot be made to.

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "agentes_prueba.h"
#include "ayuda.h"
#include "ias/disenar.h"
#include "modelo_falso.h"

namespace sorvenia::IAsLocales {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* paginaFinal = R"(<div class="hero"><h1>Fisio Lola</h1><p>Tu espalda, en buenas manos.</p></div>)";

// The script's page in pieces, with a script and a handler the answer must
// lose on the way, and text around it the answer must lose too.
json trozosDePagina() {
    return json::array({"Aquí tienes la página:\n```html\n<div class=\"hero\">", "<h1>Fisio Lola</h1>",
                        "<script>robar()</script>", "<p onclick=\"robar()\">Tu espalda, en buenas manos.</p>",
                        "</div>\n```\nEspero que te guste."});
}

class DisenarReales : public ::testing::Test {
protected:
    void SetUp() override {
        char plantilla[] = "/tmp/disenar-reales-XXXXXX";
        ASSERT_NE(mkdtemp(plantilla), nullptr);
        casa_ = plantilla;
        temporal_ = casa_ / "tmp";
        fs::create_directories(temporal_);
        // Nothing of the machine's own configuration, nothing that leaves
        // 127.0.0.1, and the private temporary folders where the test sees them.
        fijar("HOME", casa_.string());
        // As on a desktop: the private folders in the runtime folder, and no
        // TMPDIR (codex's sandbox then refused every edit of the work folder).
        fs::permissions(temporal_, fs::perms::owner_all);
        fijar("XDG_RUNTIME_DIR", temporal_.string());
        for (const char* v : {"TMPDIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "CODEX_HOME",
                              "CLAUDE_CONFIG_DIR", "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                              "all_proxy", "ALL_PROXY", "ANTHROPIC_AUTH_TOKEN", "OPENAI_API_KEY", "GOOGLE_API_KEY",
                              "CLAUDECODE"})
            unsetenv(v);
        fijar("NO_PROXY", "127.0.0.1,localhost");
        for (const char* v : {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "DISABLE_AUTOUPDATER", "DISABLE_TELEMETRY",
                              "DISABLE_ERROR_REPORTING"})
            fijar(v, "1");
        fijar("GEMINI_TELEMETRY_ENABLED", "false");
    }
    void TearDown() override {
        detalle::limitesTurno() = {};
        fs::remove_all(casa_);
    }

    static void fijar(const char* nombre, const std::string& valor) { setenv(nombre, valor.c_str(), 1); }

    void hablarConModelo(const prueba::ModeloFalso& modelo) {
        fijar("ANTHROPIC_BASE_URL", modelo.url());
        fijar("ANTHROPIC_API_KEY", "sk-ant-prueba");
        fs::create_directories(casa_ / ".codex");
        std::ofstream(casa_ / ".codex" / "config.toml") << prueba::configuracionCodex(modelo.url());
        fijar("MODELO_FALSO_API_KEY", "clave-prueba");
        fs::create_directories(casa_ / ".gemini");
        std::ofstream(casa_ / ".gemini" / "settings.json")
            << json{{"security", {{"auth", {{"selectedType", "gemini-api-key"}}}}},
                    {"privacy", {{"usageStatisticsEnabled", false}}},
                    {"telemetry", {{"enabled", false}}}};
        fijar("GEMINI_API_KEY", "clave-prueba");
        fijar("GOOGLE_GEMINI_BASE_URL", modelo.url());
    }

    static IA herramienta(IA::Tipo tipo, const std::string& nombre, const std::string& ruta) {
        IA ia;
        ia.tipo = tipo;
        ia.nombre = nombre;
        ia.ruta = ruta;
        ia.sesion = true;
        return ia;
    }

    Resultado<std::string> disenarYEsperar(const IA& ia, PedidoDiseno pedido, std::optional<Capturar> capturar,
                                           double segundos = 120) {
        AvisosTurno avisos{[this](std::string t) { progresos_.push_back(std::move(t)); },
                           [this](std::string h) { parciales_.push_back(std::move(h)); }};
        auto enCurso = prueba::lanzarPrueba(disenar(ia, std::move(pedido), std::move(avisos), std::move(capturar)));
        EXPECT_TRUE(enCurso.esperar(segundos)) << "el turno no ha terminado";
        if (!enCurso.terminada()) {
            enCurso.tarea.cancelar();
            enCurso.esperar(10);
            return Fallo{"sin terminar", ""};
        }
        return std::move(**enCurso.resultado);
    }

    // No turn's work folder is left in the private temporary place (the
    // tools keep their own files there too).
    void sinCarpetasDeTurno() {
        for (const auto& e : fs::directory_iterator(temporal_))
            if (e.path().filename().string().starts_with("tarvel-ia-")) ADD_FAILURE() << "queda " << e.path();
    }

    bool vio(const std::string& progreso) const {
        return std::ranges::find(progresos_, progreso) != progresos_.end();
    }

    // The page was shown growing: at least two different partial pages,
    // each longer than the one before, none carrying the tool's script.
    void parcialesCrecientes() {
        ASSERT_GE(parciales_.size(), 2u);
        for (std::size_t i = 1; i < parciales_.size(); ++i) EXPECT_GE(parciales_[i].size(), parciales_[i - 1].size());
        EXPECT_LT(parciales_.front().size(), parciales_.back().size());
        for (const auto& p : parciales_) {
            EXPECT_EQ(p.find("<script"), std::string::npos) << p;
            EXPECT_EQ(p.find("onclick"), std::string::npos) << p;
        }
    }

    // The conversation requests (those carrying the order text) the stand-in got.
    static std::vector<std::string> cuerposCon(const prueba::ModeloFalso& modelo, const std::string& texto) {
        std::vector<std::string> cuerpos;
        for (const auto& p : modelo.peticiones())
            if (p.cuerpo.find(texto) != std::string::npos) cuerpos.push_back(p.cuerpo);
        return cuerpos;
    }

    fs::path casa_;
    fs::path temporal_;
    std::vector<std::string> progresos_;
    std::vector<std::string> parciales_;
};

PedidoDiseno pedidoWeb() {
    PedidoDiseno p;
    p.peticion = "Una portada para una fisioterapeuta";
    p.web = true;
    return p;
}

TEST_F(DisenarReales, ClaudeEscribeLaPaginaEnDirectoYLaCorrigeConLaCaptura) {
    prueba::ModeloFalso modelo(json{{"pasos",
                                     {{{"trozos", trozosDePagina()}, {"esperaTrozoMs", 400}},
                                      {{"herramienta", "Read"}, {"argumentos", {{"file_path", "captura.png"}}}},
                                      {{"texto", std::string("Corregida:\n```html\n") + paginaFinal + "\n```"}}}}});
    hablarConModelo(modelo);
    std::vector<std::string> capturadas;
    Capturar capturar = [&capturadas](std::string html) -> Tarea<std::optional<std::vector<std::uint8_t>>> {
        capturadas.push_back(html);
        co_return std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    };
    const auto r = disenarYEsperar(herramienta(IA::Tipo::claude, "Claude", CLAUDE_BIN), pedidoWeb(), capturar);
    ASSERT_TRUE(r) << r.fallo().mensaje;
    EXPECT_EQ(*r, paginaFinal);

    // The first answer, cleaned, is what was pictured.
    ASSERT_EQ(capturadas.size(), 1u);
    EXPECT_EQ(capturadas[0],
              R"(<div class="hero"><h1>Fisio Lola</h1><p>Tu espalda, en buenas manos.</p></div>)");
    parcialesCrecientes();
    EXPECT_EQ(progresos_.front(), "Claude está diseñando…");
    EXPECT_TRUE(vio("Escribiendo la página… 0 mil caracteres"));
    EXPECT_TRUE(vio("Mirando la captura y corrigiendo…"));
    EXPECT_TRUE(vio("Mirando la captura de su diseño…"));

    // The first order is the web page's; the review names the screenshot
    // and carries the first answer.
    EXPECT_FALSE(cuerposCon(modelo, "Encargo: WEB COMPLETA de 1440px de ancho").empty());
    const auto revision = cuerposCon(modelo, "Mesa de trabajo de 1440×900 px. Petición original:");
    ASSERT_FALSE(revision.empty());
    EXPECT_NE(revision.front().find("captura.png"), std::string::npos);
    sinCarpetasDeTurno();
}

TEST_F(DisenarReales, ClaudeSinSesionDaSuFrase) {
    prueba::ModeloFalso modelo(json{{"pasos", {{{"texto", "<div>no debería llegar</div>"}}}}});
    hablarConModelo(modelo);
    unsetenv("ANTHROPIC_API_KEY");
    const auto r = disenarYEsperar(herramienta(IA::Tipo::claude, "Claude", CLAUDE_BIN), pedidoWeb(), std::nullopt);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.fallo().codigo, "sin_sesion");
    EXPECT_EQ(r.fallo().mensaje, "Claude no tiene la sesión iniciada. Pulsa el selector de IA y conéctalo.");
    EXPECT_EQ(modelo.pasosDados(), 0u);
    sinCarpetasDeTurno();
}

TEST_F(DisenarReales, ClaudeSinHtmlDaElCodigoYElDetalle) {
    prueba::ModeloFalso modelo(json{{"pasos", {{{"texto", "Lo siento, hoy no diseño."}}}}});
    hablarConModelo(modelo);
    const auto r = disenarYEsperar(herramienta(IA::Tipo::claude, "Claude", CLAUDE_BIN), pedidoWeb(), std::nullopt);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.fallo().codigo, "sin_html");
    EXPECT_EQ(r.fallo().mensaje, "Claude no ha devuelto un diseño (código 0). Lo siento, hoy no diseño. ");
    sinCarpetasDeTurno();
}

TEST_F(DisenarReales, CodexEscribePaginaHtmlPorSecciones) {
    const std::string primera = "*** Begin Patch\n*** Add File: pagina.html\n+<div class=\"hero\">\n+<h1>Fisio Lola</h1>\n*** End Patch";
    const std::string segunda =
        "*** Begin Patch\n*** Update File: pagina.html\n@@\n <h1>Fisio Lola</h1>\n+<p>Tu espalda, en buenas manos.</p>\n+</div>\n*** End Patch";
    prueba::ModeloFalso modelo(json{{"pasos",
                                     {{{"parche", primera}},
                                      {{"parche", segunda}, {"esperaMs", 900}},
                                      {{"texto", "LISTO."}, {"esperaMs", 900}}}}});
    hablarConModelo(modelo);
    const auto r = disenarYEsperar(herramienta(IA::Tipo::codex, "ChatGPT Codex", CODEX_BIN), pedidoWeb(), std::nullopt);
    ASSERT_TRUE(r) << r.fallo().mensaje << "\n" << testing::PrintToString(progresos_);
    EXPECT_EQ(*r, "<div class=\"hero\">\n<h1>Fisio Lola</h1>\n<p>Tu espalda, en buenas manos.</p>\n</div>");
    parcialesCrecientes();
    EXPECT_TRUE(vio("Escribiendo la página…"));
    const auto orden = cuerposCon(modelo, "FORMA DE ENTREGAR (obligatoria)");
    EXPECT_FALSE(orden.empty());
    sinCarpetasDeTurno();
}

TEST_F(DisenarReales, GeminiEnModoImpresion) {
    // Print mode hands its output over line by line: one piece a line.
    json trozos = trozosDePagina();
    for (auto& t : trozos) t = t.get<std::string>() + "\n";
    prueba::ModeloFalso modelo(json{{"pasos", {{{"trozos", trozos}, {"esperaTrozoMs", 400}}}}});
    hablarConModelo(modelo);
    const auto r = disenarYEsperar(herramienta(IA::Tipo::gemini, "Gemini", GEMINI_BIN), pedidoWeb(), std::nullopt);
    ASSERT_TRUE(r) << r.fallo().mensaje;
    EXPECT_EQ(*r, "<div class=\"hero\">\n<h1>Fisio Lola</h1>\n\n<p>Tu espalda, en buenas manos.</p>\n</div>");
    parcialesCrecientes();
    EXPECT_FALSE(cuerposCon(modelo, "Encargo: WEB COMPLETA").empty());
    sinCarpetasDeTurno();
}

TEST_F(DisenarReales, GeminiSinSesionDaSuFrase) {
    prueba::ModeloFalso modelo(json{{"pasos", {{{"texto", "<div>no</div>"}}}}});
    hablarConModelo(modelo);
    unsetenv("GEMINI_API_KEY");
    fs::remove(casa_ / ".gemini" / "settings.json");
    const auto r = disenarYEsperar(herramienta(IA::Tipo::gemini, "Gemini", GEMINI_BIN), pedidoWeb(), std::nullopt);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.fallo().codigo, "sin_sesion");
    EXPECT_EQ(r.fallo().mensaje,
              "Gemini no tiene la sesión iniciada en este ordenador. Ábrelo una vez en la Terminal para entrar.");
    sinCarpetasDeTurno();
}

// ---- tools that misbehave ----

fs::path guion(const fs::path& carpeta, const std::string& nombre, const std::string& cuerpo) {
    const fs::path ruta = carpeta / nombre;
    std::ofstream(ruta) << "#!/bin/sh\n" << cuerpo;
    fs::permissions(ruta, fs::perms::owner_all);
    return ruta;
}

TEST_F(DisenarReales, UnaSalidaSinFinSeParaYDaUnError) {
    detalle::limitesTurno().respuesta = 64 * 1024;
    const auto ruta = guion(casa_, "sinfin", "echo '<div>'\nwhile :; do echo '<p>otra vez</p>'; done\n");
    const auto r = disenarYEsperar(herramienta(IA::Tipo::gemini, "Gemini", ruta.string()), pedidoWeb(), std::nullopt, 30);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.fallo().codigo, "sin_html");
    EXPECT_EQ(r.fallo().mensaje, "Gemini no ha devuelto un diseño: su respuesta pasaba de 4 MB y se ha parado.");
    sinCarpetasDeTurno();
}

TEST_F(DisenarReales, UnTurnoQueNoAcabaSeParaConTodoSuGrupo) {
    detalle::limitesTurno().impresion = 1.5;
    const fs::path pidNieto = casa_ / "nieto.pid";
    const auto ruta = guion(casa_, "colgado", "sleep 600 &\necho $! > '" + pidNieto.string() + "'\nwait\n");
    const auto r = disenarYEsperar(herramienta(IA::Tipo::gemini, "Gemini", ruta.string()), pedidoWeb(), std::nullopt, 30);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.fallo().codigo, "sin_html");
    std::ifstream leer(pidNieto);
    pid_t nieto = 0;
    ASSERT_TRUE(leer >> nieto);
    // The tool's own child went with it.
    EXPECT_TRUE(prueba::iterarHasta([nieto] { return !prueba::vivo(nieto); }, 10));
    sinCarpetasDeTurno();
}

TEST_F(DisenarReales, SinEjecutableNoHaceCarpeta) {
    IA ia = herramienta(IA::Tipo::claude, "Claude", "");
    ia.ruta.reset();
    const auto r = disenarYEsperar(ia, pedidoWeb(), std::nullopt, 5);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.fallo().codigo, "sin_ruta");
    EXPECT_EQ(r.fallo().mensaje, "Esta IA no está instalada.");
    EXPECT_TRUE(progresos_.empty());
}

TEST_F(DisenarReales, UnaCapturaQueNoSePuedeEscribirDejaLaPrimeraRespuesta) {
    // The tool answers "segunda" when it is shown the screenshot. Here the
    // screenshot cannot be written ("captura.png" is taken by a folder): the
    // review is skipped and the finished first answer stays.
    const auto ruta = guion(casa_, "eco",
                            "cat > /dev/null\ncase \"$*\" in *captura.png*) echo '<div>segunda</div>';;"
                            " *) echo '<div>primera</div>';; esac\n");
    const fs::path temporal = temporal_;
    Capturar capturar = [temporal](std::string) -> Tarea<std::optional<std::vector<std::uint8_t>>> {
        for (const auto& e : fs::directory_iterator(temporal))
            if (e.path().filename().string().starts_with("tarvel-ia-")) fs::create_directory(e.path() / "captura.png");
        co_return std::vector<std::uint8_t>{1, 2, 3};
    };
    const auto r = disenarYEsperar(herramienta(IA::Tipo::gemini, "Gemini", ruta.string()), pedidoWeb(), capturar, 30);
    ASSERT_TRUE(r) << r.fallo().mensaje;
    EXPECT_EQ(*r, "<div>primera</div>");

    // With a screenshot that can be written, the review's page wins.
    progresos_.clear();
    Capturar buena = [](std::string) -> Tarea<std::optional<std::vector<std::uint8_t>>> {
        co_return std::vector<std::uint8_t>{1, 2, 3};
    };
    const auto revisada = disenarYEsperar(herramienta(IA::Tipo::gemini, "Gemini", ruta.string()), pedidoWeb(), buena, 30);
    ASSERT_TRUE(revisada) << revisada.fallo().mensaje;
    EXPECT_EQ(*revisada, "<div>segunda</div>");
    sinCarpetasDeTurno();
}

}  // namespace
}  // namespace sorvenia::IAsLocales
