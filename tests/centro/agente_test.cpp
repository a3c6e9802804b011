// The agent runner against a stand-in agent that records its command line,
// environment, working folder and standard input, and replays scripted
// output lines.
#include "centro/agente.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <fstream>

#include "ayuda.h"
#include "agente_prueba.h"
#include "aislado.h"
#include "centro/agente_orden.h"
#include "centro/modo_agente.h"
#include "comun/conexion_tarvel.h"
#include "ias/matar.h"
#include "ias/modelos.h"
#include "ias/publicar_vps_lanzador.h"
#include "plataforma/carpetas.h"
#include "plataforma/preferencias.h"

namespace sorvenia::Agente {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using E = EventoAgente;

const std::string url = "http://127.0.0.1:39847/mcp/0123456789abcdef0123456789abcdef/clave-1";
// Every codex run approves the application's own tools beforehand.
const std::string aprobar = "mcp_servers.tarvel.default_tools_approval_mode=\"approve\"";

struct Corrida {
    Resultado<std::int32_t> estado = Fallo{};
    std::vector<E> eventos;
    Json grabado;  // what the stand-in recorded; null when it did not run
};

fs::path grabacion() { return prueba::raizAislada() / "grabacion.json"; }

IA agente(IA::Tipo tipo, std::optional<std::string> ruta = std::string(AGENTE_GRABADOR)) {
    return IA{tipo, "Agente", "", std::move(ruta), true};
}

PeticionAgente peticion(IA::Tipo tipo, std::string texto = "Haz una landing") {
    PeticionAgente p;
    p.ia = agente(tipo);
    p.peticion = std::move(texto);
    p.mcpURL = url;
    return p;
}

// The stand-in prints `lineas` and exits with `estado`.
Corrida correr(PeticionAgente p, const std::vector<std::string>& lineas = {}, int estado = 0) {
    fs::remove(grabacion());
    const fs::path guion = prueba::raizAislada() / "guion.txt";
    std::ofstream salida(guion);
    for (const auto& l : lineas) salida << l << '\n';
    salida.close();
    setenv("SORVENIA_GRABACION", grabacion().c_str(), 1);
    setenv("SORVENIA_GUION", guion.c_str(), 1);
    setenv("SORVENIA_ESTADO", std::to_string(estado).c_str(), 1);
    Corrida c;
    auto eventos = std::make_shared<std::vector<E>>();
    c.estado = esperarEnBucle(lanzar(std::move(p), {}, [eventos](E e) { eventos->push_back(std::move(e)); }));
    c.eventos = *eventos;
    if (std::ifstream g(grabacion()); g) c.grabado = Json::parse(g);
    return c;
}

std::vector<std::string> argv(const Corrida& c) { return c.grabado.at("argv").get<std::vector<std::string>>(); }

bool runtimeVacio() { return fs::is_empty(prueba::runtimeAislado()); }

std::string sistemaDeDiseno() { return prueba::encargoDePrueba + "\n\n" + textoModoAgente(); }

std::string sesionesDe(const fs::path& carpeta) {
    std::string nombre;
    for (char c : fs::weakly_canonical(carpeta).string())
        nombre += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    return (ConexionTarvel::casa() / ".claude" / "projects" / nombre).string();
}

std::vector<std::string> conAllowed(std::vector<std::string> base, const std::vector<std::string>& tools) {
    base.push_back("--allowedTools");
    base.insert(base.end(), tools.begin(), tools.end());
    return base;
}

std::vector<std::string> baseClaude(const fs::path& cwd, const std::string& esfuerzo, const std::string& sistema) {
    return {"-p",
            "--effort",
            esfuerzo,
            "--output-format",
            "stream-json",
            "--include-partial-messages",
            "--verbose",
            "--mcp-config",
            (cwd / "mcp.json").string(),
            "--strict-mcp-config",
            "--setting-sources",
            "project,local",
            "--append-system-prompt",
            sistema};
}

const std::string skills() { return fs::canonical(prueba::recursosAislados() / "skills").string(); }

class Agente : public ::testing::Test {
protected:
    void SetUp() override {
        IAsLocales::fijarModelo("claude", "");
        IAsLocales::fijarModelo("codex", "");
        Preferencias::estandar().fijarBooleano("videosIA", false);
        unsetenv("SORVENIA_CUELGA");
    }
    void TearDown() override { EXPECT_TRUE(runtimeVacio()) << "a work folder was left behind"; }
};

TEST_F(Agente, ClaudeDeDisenoLineaCompletaYEventos) {
    const std::vector<std::string> lineas = {
        R"({"type":"system","subtype":"init","session_id":"s-1"})",
        R"({"type":"stream_event","event":{"type":"content_block_delta","delta":{"type":"text_delta","text":"Monto la cabecera"}}})",
        "no es json",
        R"({"type":"assistant","message":{"content":[{"type":"tool_use","id":"t1","name":"mcp__tarvel__ver_tarvel","input":{}}]}})",
        R"({"type":"user","message":{"content":[{"type":"tool_result","tool_use_id":"t1"}]}})",
        R"({"type":"result","session_id":"s-1","result":"Hecho."})"};
    const auto c = correr(peticion(IA::Tipo::claude), lineas);
    ASSERT_TRUE(c.estado.ok()) << c.estado.fallo().mensaje;
    EXPECT_EQ(*c.estado, 0);
    ASSERT_TRUE(c.grabado.is_object());
    const fs::path cwd = c.grabado.at("cwd").get<std::string>();

    auto esperado = conAllowed(baseClaude(cwd, "high", sistemaDeDiseno()), herramientasEstandar);
    esperado.insert(esperado.end(), {"--add-dir", skills(), "--add-dir", sesionesDe(cwd)});
    EXPECT_EQ(argv(c), esperado);
    EXPECT_EQ(c.grabado.at("entrada"), "Haz una landing");
    EXPECT_EQ(c.grabado.at("entorno").at("MAX_MCP_OUTPUT_TOKENS"), "60000");

    // The work folder: private, in the private runtime folder, with the brief
    // and the skills, and the MCP configuration readable only by the user.
    EXPECT_EQ(cwd.parent_path(), prueba::runtimeAislado());
    EXPECT_EQ(c.grabado.at("modoCarpeta"), 0700);
    EXPECT_EQ(c.grabado.at("modoMcp"), 0600);
    EXPECT_EQ(Json::parse(c.grabado.at("mcp").get<std::string>()),
              (Json{{"mcpServers", {{"tarvel", {{"type", "http"}, {"url", url}}}}}}));
    for (const std::string& f : std::vector<std::string>{"CLAUDE.md", "AGENTS.md", "GEMINI.md", "mcp.json", ".claude",
                                                         "skills -> " + skills()})
        EXPECT_NE(std::ranges::find(c.grabado.at("ficheros"), Json(f)), c.grabado.at("ficheros").end()) << f;
    EXPECT_FALSE(fs::exists(cwd));
    EXPECT_TRUE(fs::is_directory(esperado.back()));  // the sessions folder stays

    EXPECT_EQ(c.eventos, (std::vector<E>{E{E::Sesion{"s-1"}}, E{E::Texto{"Monto la cabecera"}},
                                         E{E::Paso{"t1", "mcp__tarvel__ver_tarvel", Json::object(), std::nullopt}},
                                         E{E::PasoHecho{"t1", false}}, E{E::Sesion{"s-1"}}, E{E::Fin{"Hecho."}}}));
}

TEST_F(Agente, ClaudeReanudaConModeloYEsfuerzo) {
    IAsLocales::fijarModelo("claude", "claude-opus-4");
    auto p = peticion(IA::Tipo::claude);
    p.sesion = "s-9";
    p.esfuerzo = "medium";
    const auto c = correr(p);
    ASSERT_TRUE(c.estado.ok());
    const auto a = argv(c);
    ASSERT_GE(a.size(), 20u);
    EXPECT_EQ(std::vector<std::string>(a.begin(), a.begin() + 5),
              (std::vector<std::string>{"-p", "--model", "claude-opus-4", "--effort", "medium"}));
    EXPECT_EQ(a[15], sistemaDeDiseno());
    EXPECT_EQ(std::vector<std::string>(a.begin() + 16, a.begin() + 19),
              (std::vector<std::string>{"--resume", "s-9", "--allowedTools"}));
}

TEST_F(Agente, ClaudeEnUnaApp) {
    const fs::path app = prueba::raizAislada() / "Sites" / "mi app";
    fs::create_directories(app / ".claude");
    fs::create_directory_symlink("/no/existe", app / ".claude" / "skills");  // stale link: replaced
    auto p = peticion(IA::Tipo::claude);
    p.app = DestinoApp{app, "diseño", true, std::nullopt};
    p.vps = DestinoVPS{"tarvel-vps-3", "/tmp"};  // the app wins
    p.sesion = "s-2";
    const auto c = correr(p);
    ASSERT_TRUE(c.estado.ok());
    EXPECT_EQ(c.grabado.at("cwd"), app.string());
    const fs::path trabajo = fs::path(argv(c).at(8)).parent_path();
    auto esperado = baseClaude(trabajo, "high", sistemaDeDiseno());
    esperado.insert(esperado.end(), {"--resume", "s-2", "--plugin-dir",
                                     (fs::canonical(prueba::recursosAislados()) / "plugins" / "superpowers").string()});
    esperado = conAllowed(esperado, herramientasEstandar);
    esperado.insert(esperado.end(), {"--add-dir", skills(), "--add-dir", app.string(), "--add-dir", sesionesDe(app)});
    EXPECT_EQ(argv(c), esperado);
    EXPECT_EQ(c.grabado.at("entrada"), "Haz una landing\n\n" + encargoApp(*p.app));
    EXPECT_EQ(fs::read_symlink(app / ".claude" / "skills"), skills());
    EXPECT_FALSE(fs::exists(PublicarVPS::raiz() / "ssh" / "bin" / "tarvel-vps-3"));
    EXPECT_FALSE(fs::exists(trabajo));
}

// The user's own project skills in a real folder survive a run.
TEST_F(Agente, ClaudeEnUnaAppRespetaSusPropiasSkills) {
    const fs::path app = prueba::raizAislada() / "Sites" / "con-skills";
    fs::create_directories(app / ".claude" / "skills" / "mine");
    std::ofstream(app / ".claude" / "skills" / "mine" / "SKILL.md") << "mía";
    auto p = peticion(IA::Tipo::claude);
    p.app = DestinoApp{app, "", false, std::nullopt};
    ASSERT_TRUE(correr(p).estado.ok());
    EXPECT_FALSE(fs::is_symlink(app / ".claude" / "skills"));
    std::ifstream propia(app / ".claude" / "skills" / "mine" / "SKILL.md");
    std::string texto;
    std::getline(propia, texto);
    EXPECT_EQ(texto, "mía");
}

TEST_F(Agente, ClaudeEnUnVpsSoloConElLanzador) {
    const std::string directo = "ssh -F " + (PublicarVPS::raiz() / "ssh" / "config").string() + " tarvel-vps-7";
    auto p = peticion(IA::Tipo::claude, "Mira el disco con " + directo + " df -h");
    p.vps = DestinoVPS{"tarvel-vps-7", prueba::raizAislada()};
    p.sistemaPropio = "Administra el VPS. Entra con " + directo + ".";
    p.esfuerzo = "medium";
    const auto c = correr(p);
    ASSERT_TRUE(c.estado.ok()) << c.estado.fallo().mensaje;
    const std::string lanzador = (PublicarVPS::raiz() / "ssh" / "bin" / "tarvel-vps-7").string();
    struct stat datos {};
    ASSERT_EQ(stat(lanzador.c_str(), &datos), 0);
    EXPECT_EQ(datos.st_mode & 07777, 0700u);

    const fs::path cwd = c.grabado.at("cwd").get<std::string>();
    auto esperado = conAllowed(baseClaude(cwd, "medium", "Administra el VPS. Entra con " + lanzador + "."),
                               {"mcp__tarvel", "Bash(" + lanzador + ":*)", "Skill"});
    esperado.insert(esperado.end(),
                    {"--disallowedTools", "Edit", "Write", "NotebookEdit", "Task", "WebSearch", "WebFetch", "--add-dir",
                     skills(), "--add-dir", prueba::raizAislada().string(), "--add-dir", sesionesDe(cwd)});
    EXPECT_EQ(argv(c), esperado);
    EXPECT_EQ(c.grabado.at("entrada"), "Mira el disco con " + lanzador +
                                           " df -h\n\n[Acceso al servidor: la ÚNICA orden es `" + lanzador +
                                           " '<orden en el servidor>'` (es ssh a ese VPS ya configurado). "
                                           "`ssh` directo, `scp` y cualquier "
                                           "otra orden en el Mac están bloqueados.]");
}

TEST_F(Agente, ClaudeEnUnVpsConAliasMaloNoArranca) {
    auto p = peticion(IA::Tipo::claude);
    p.vps = DestinoVPS{"tarvel-vps-1; rm -rf ~", "/tmp"};
    const auto c = correr(p);
    ASSERT_FALSE(c.estado.ok());
    EXPECT_EQ(c.estado.fallo().mensaje, "Servidor no válido.");
    EXPECT_TRUE(c.grabado.is_null());
}

TEST_F(Agente, ClaudeEnModoVideo) {
    Preferencias::estandar().fijarBooleano("videosIA", true);
    const auto c = correr(peticion(IA::Tipo::claude));
    ASSERT_TRUE(c.estado.ok());
    const fs::path videos = Carpetas::videos() / "Sorvenia Tarvel";
    EXPECT_TRUE(fs::is_directory(videos));
    const auto a = argv(c);
    const std::vector<std::string> cola(a.end() - 6, a.end());
    EXPECT_EQ(cola, (std::vector<std::string>{"--add-dir", skills(), "--add-dir", videos.string(), "--add-dir",
                                              sesionesDe(c.grabado.at("cwd").get<std::string>())}));
    // No stored service keys: only the video note.
    EXPECT_EQ(c.grabado.at("entrada"), "Haz una landing\n\n[MODO VÍDEO ACTIVADO: trabaja los vídeos en " +
                                           videos.string() + "/<nombre-del-proyecto>.]");
}

TEST_F(Agente, CodexDeDisenoYSuFinPropio) {
    const std::vector<std::string> lineas = {
        R"({"type":"thread.started","thread_id":"th-1"})",
        R"({"type":"item.started","item":{"id":"i1","type":"mcp_tool_call","server":"tarvel","tool":"ver_tarvel","arguments":{}}})",
        R"({"type":"item.completed","item":{"id":"i1","type":"mcp_tool_call","status":"completed"}})",
        R"({"type":"item.completed","item":{"id":"i2","type":"agent_message","text":"Listo"}})"};
    auto p = peticion(IA::Tipo::codex);
    p.vps = DestinoVPS{"tarvel-vps-2", "/tmp"};  // codex works on a VPS as on a design
    const auto c = correr(p, lineas, 3);
    ASSERT_TRUE(c.estado.ok());
    EXPECT_EQ(*c.estado, 3);
    const std::string cwd = c.grabado.at("cwd").get<std::string>();
    EXPECT_EQ(argv(c), (std::vector<std::string>{"exec", "--json", "--skip-git-repo-check", "-s", "read-only", "-C",
                                                 cwd, "-c", "mcp_servers.tarvel.url=\"" + url + "\"", "-c", aprobar}));
    EXPECT_EQ(c.grabado.at("entrada"), sistemaDeDiseno() + "\n\nHaz una landing");
    EXPECT_FALSE(c.grabado.at("entorno").contains("MAX_MCP_OUTPUT_TOKENS"));
    EXPECT_FALSE(fs::exists(PublicarVPS::raiz() / "ssh" / "bin" / "tarvel-vps-2"));
    EXPECT_EQ(c.eventos, (std::vector<E>{E{E::Sesion{"th-1"}},
                                         E{E::Paso{"i1", "mcp__tarvel__ver_tarvel", Json::object(), std::nullopt}},
                                         E{E::PasoHecho{"i1", false}}, E{E::Texto{"Listo\n"}}, E{E::Fin{""}}}));
}

TEST_F(Agente, CodexReanudaSalvoEnUnaApp) {
    IAsLocales::fijarModelo("codex", "gpt-5");
    const std::string c_url = "mcp_servers.tarvel.url=\"" + url + "\"";

    auto p = peticion(IA::Tipo::codex);
    p.sesion = "th-7";
    p.vps = DestinoVPS{"tarvel-vps-2", "/tmp"};  // plays no part for codex
    p.esfuerzo = "medium";
    const auto reanuda = correr(p);
    ASSERT_TRUE(reanuda.estado.ok());
    EXPECT_EQ(argv(reanuda), (std::vector<std::string>{"exec", "resume", "th-7", "--json", "--skip-git-repo-check",
                                                       "-m", "gpt-5", "-c", c_url, "-c", aprobar}));
    EXPECT_EQ(reanuda.grabado.at("entrada"), sistemaDeDiseno() + "\n\nHaz una landing");

    const fs::path app = prueba::raizAislada() / "Sites" / "codex-app";
    fs::create_directories(app);
    p.vps.reset();
    p.app = DestinoApp{app, "", false, "Es para iOS."};
    const auto enApp = correr(p);
    ASSERT_TRUE(enApp.estado.ok());
    EXPECT_EQ(argv(enApp), (std::vector<std::string>{"exec", "--json", "--skip-git-repo-check", "-s", "workspace-write",
                                                     "-C", app.string(), "-m", "gpt-5", "-c", c_url, "-c", aprobar}));
    EXPECT_EQ(enApp.grabado.at("cwd"), app.string());
    EXPECT_EQ(enApp.grabado.at("entrada"), sistemaDeDiseno() + "\n\nHaz una landing\n\n" + encargoApp(*p.app));
}

TEST_F(Agente, NoArrancaSinRutaNiConGeminiYNoDejaNada) {
    auto sinRuta = peticion(IA::Tipo::claude);
    sinRuta.ia.ruta.reset();
    auto gemini = peticion(IA::Tipo::gemini);
    gemini.ia.nombre = "Gemini";
    auto roto = peticion(IA::Tipo::codex);
    roto.ia.ruta = (prueba::raizAislada() / "no-existe").string();
    const struct {
        PeticionAgente p;
        std::string codigo;
        std::string mensaje;
    } casos[] = {{sinRuta, "sin_ruta", "Esta IA no está instalada."},
                 {gemini, "no_agente", "Gemini aún no puede trabajar en el tarvel."},
                 {roto, "", ""}};
    for (const auto& caso : casos) {
        const auto c = correr(caso.p);
        ASSERT_FALSE(c.estado.ok()) << caso.codigo;
        if (!caso.codigo.empty()) {
            EXPECT_EQ(c.estado.fallo().codigo, caso.codigo);
            EXPECT_EQ(c.estado.fallo().mensaje, caso.mensaje);
        }
        EXPECT_TRUE(c.eventos.empty()) << caso.codigo;
        EXPECT_TRUE(runtimeVacio()) << caso.codigo;
    }
}

// Stopping a run, by the caller's handle or by cancelling its task, ends the
// agent's whole process group, and the run still returns.
TEST_F(Agente, ParadaYCancelacionMatanElGrupoEntero) {
    for (const bool cancelar : {false, true}) {
        fs::remove(grabacion());
        setenv("SORVENIA_GRABACION", grabacion().c_str(), 1);
        unsetenv("SORVENIA_GUION");
        setenv("SORVENIA_CUELGA", "1", 1);
        auto proceso = std::make_shared<std::shared_ptr<Proceso>>();
        auto enCurso = prueba::lanzarPrueba(lanzar(
            peticion(IA::Tipo::claude), [proceso](std::shared_ptr<Proceso> p) { *proceso = std::move(p); }, [](E) {}));
        ASSERT_TRUE(prueba::iterarHasta([] { return fs::exists(grabacion()); }, 20));
        ASSERT_TRUE(*proceso);
        const Json g = Json::parse(std::ifstream(grabacion()));
        const pid_t hijo = g.at("pid"), nieto = g.at("nieto");
        EXPECT_EQ(g.at("pgid"), hijo);
        ASSERT_TRUE(prueba::vivo(nieto));
        if (cancelar)
            enCurso.tarea.cancelar();
        else
            IAsLocales::matar(*proceso);
        ASSERT_TRUE(enCurso.esperar(20)) << cancelar;
        ASSERT_TRUE(enCurso.resultado->value().ok());
        EXPECT_EQ(enCurso.resultado->value().operator*(), SIGTERM);
        EXPECT_TRUE(prueba::iterarHasta([nieto] { return !prueba::vivo(nieto); }, 10)) << cancelar;
        EXPECT_TRUE(runtimeVacio());
    }
    unsetenv("SORVENIA_CUELGA");
}

// The user's connections reach claude: their servers (the application's own
// "tarvel" wins over one of that name), tools, environment and prompt text;
// the customer's service keys only in video mode, by name in the prompt.
TEST(OrdenAgente, ConexionesYClavesDelCliente) {
    const fs::path trabajo = prueba::raizAislada() / "orden";
    fs::create_directories(trabajo);
    Alrededor a;
    a.trabajo = trabajo;
    a.sistema = "S";
    a.videos = true;
    a.carpetaVideos = trabajo / "videos";
    a.paraClaude.servidores = {{"tarvel", {{"type", "stdio"}, {"command", "otro"}}},
                               {"notion", {{"type", "http"}, {"url", "https://n"}}}};
    a.paraClaude.herramientas = {"Read", "mcp__notion", "mcp__notion"};
    a.paraClaude.entorno = {{"NOTION_TOKEN", "n"}, {"MAX_MCP_OUTPUT_TOKENS", "1"}, {"PEXELS_KEY", "usuario"}};
    a.paraClaude.texto = " [conexiones]";
    a.integraciones = [] { return Entorno{{"PEXELS_KEY", "cliente"}, {"ELEVEN_KEY", "e"}}; };

    PeticionAgente p = peticion(IA::Tipo::claude, "Pide");
    const auto orden = ordenClaude(p, a);
    ASSERT_TRUE(orden.ok());
    std::ifstream mcp(trabajo / "mcp.json");
    EXPECT_EQ(
        Json::parse(mcp),
        (Json{{"mcpServers",
               {{"tarvel", {{"type", "http"}, {"url", url}}}, {"notion", {{"type", "http"}, {"url", "https://n"}}}}}}));
    const auto& args = orden->argumentos;
    const auto desde = std::find(args.begin(), args.end(), "--allowedTools") + 1;
    const auto hasta = std::find(args.begin(), args.end(), "--add-dir");
    auto herramientas = herramientasEstandar;
    herramientas.insert(herramientas.end(), {"mcp__notion", "mcp__notion"});
    EXPECT_EQ(std::vector<std::string>(desde, hasta), herramientas);
    EXPECT_EQ(orden->entorno, (Entorno{{"ELEVEN_KEY", "e"},
                                       {"MAX_MCP_OUTPUT_TOKENS", "60000"},
                                       {"NOTION_TOKEN", "n"},
                                       {"PEXELS_KEY", "cliente"}}));
    EXPECT_EQ(orden->entrada,
              "Pide\n\n[Integraciones del cliente con su clave en el entorno: "
              "ELEVEN_KEY, PEXELS_KEY. Úsalas si hacen "
              "falta (imágenes, voz, vídeo, fotos).]\n\n[MODO VÍDEO ACTIVADO: "
              "trabaja los vídeos en " +
                  a.carpetaVideos.string() + "/<nombre-del-proyecto>.] [conexiones]");

    // Outside video mode the keys stay out.
    a.videos = false;
    const auto sinVideo = ordenClaude(p, a);
    ASSERT_TRUE(sinVideo.ok());
    EXPECT_EQ(sinVideo->entorno.at("PEXELS_KEY"), "usuario");
    EXPECT_FALSE(sinVideo->entorno.contains("ELEVEN_KEY"));
    EXPECT_EQ(sinVideo->entrada, "Pide [conexiones]");
    EXPECT_EQ(sinVideo->limite, limiteDiseno);

    a.paraCodex = {{"-c", "mcp_servers.notion.url=\"https://n\""}, {{"NOTION_TOKEN", "n"}}, " [codex]"};
    p.app = DestinoApp{trabajo, "", false, std::nullopt};
    const auto codex = ordenCodex(p, a);
    EXPECT_EQ(std::vector<std::string>(codex.argumentos.end() - 2, codex.argumentos.end()),
              (std::vector<std::string>{"-c", "mcp_servers.notion.url=\"https://n\""}));
    EXPECT_EQ(codex.entorno, (Entorno{{"NOTION_TOKEN", "n"}}));
    EXPECT_EQ(codex.entrada, "S\n\n" + textoModoAgente() + "\n\nPide\n\n" + encargoApp(*p.app) + " [codex]");
    EXPECT_EQ(codex.limite, limiteApp);
}

}  // namespace
}  // namespace sorvenia::Agente
