// Agent runs from an open design, with the real editor page in a WebKitGTK
// view under Xvfb, the local account service, the stand-in claude of
// tests/apoyo/bin as the detected tool, and a scripted runner in place of
// the real one: it starts a real child process (a process group of its own)
// and reports the events a test writes for it. The page's chat, the job
// registry, stopping, the limit of agents at once, sessions and parking.

#include "editor/gui/editor_abierto.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cuenta_prueba.h"
#include "esperar_bucle.h"
#include "foto_prueba.h"
#include "navegacion/navegacion.h"
#include "centro/centro.h"
#include "centro/trabajos.h"
#include "diseno_prueba.h"
#include "editor_doble.h"
#include "ias/proceso.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;
namespace fs = std::filesystem;

// What the scripted runner does in one run: the child it starts (a shell
// command) and the events it reports, one every 20 ms, once the child runs.
struct Guion {
    std::string orden = "exit 0";
    std::vector<EventoAgente> eventos;
    std::optional<std::string> fallo;  // the run cannot start, with this sentence
    bool lanza = false;                // the runner breaks with an exception
    // Each run as the editor asked for it, and the child it got.
    std::vector<Agente::PeticionAgente> peticiones;
    std::shared_ptr<Proceso> hijo;
};

// The runner: the child's status once it has exited, however that came.
Tarea<Resultado<std::int32_t>> correrGuion(std::shared_ptr<Guion> guion, Agente::PeticionAgente peticion,
                                           std::function<void(std::shared_ptr<Proceso>)> proceso,
                                           EventosAgente eventos) {
    guion->peticiones.push_back(std::move(peticion));
    if (guion->lanza) throw std::runtime_error("roto");
    if (guion->fallo) co_return Fallo{*guion->fallo, "guion"};
    Lanzamiento l;
    l.programa = "/bin/sh";
    l.argumentos = {"-c", guion->orden};
    auto hijo = Proceso::lanzar(l);
    if (!hijo) co_return hijo.fallo();
    guion->hijo = *hijo;
    proceso(*hijo);
    for (const EventoAgente& e : guion->eventos) {
        co_await dormir(0.02);
        eventos(e);
    }
    while (true) {
        if (const auto estado = (*hijo)->esperar(0)) co_return *estado;
        co_await dormir(0.05);
    }
}

Agente::Lanzador lanzadorDe(std::shared_ptr<Guion> guion) {
    return [guion](Agente::PeticionAgente p, std::function<void(std::shared_ptr<Proceso>)> proceso,
                   EventosAgente eventos) { return correrGuion(guion, std::move(p), std::move(proceso), std::move(eventos)); };
}

// The live (not yet reaped, not zombie) processes of a process group.
int vivosEnGrupo(pid_t grupo) {
    int vivos = 0;
    for (const auto& entrada : fs::directory_iterator("/proc")) {
        const std::string nombre = entrada.path().filename();
        if (nombre.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entrada.path() / "stat");
        std::string linea;
        if (!std::getline(stat, linea)) continue;
        // pid (comm) state ppid pgrp ...; comm may hold spaces.
        std::istringstream resto(linea.substr(linea.rfind(')') + 2));
        char estado = 0;
        pid_t padre = 0, pgrp = 0;
        resto >> estado >> padre >> pgrp;
        if (pgrp == grupo && estado != 'Z') ++vivos;
    }
    return vivos;
}

EventoAgente texto(std::string t) { return {EventoAgente::Texto{std::move(t)}}; }
EventoAgente paso(std::string id, std::string herramienta, json entrada, std::optional<std::string> agente = {}) {
    return {EventoAgente::Paso{std::move(id), std::move(herramienta), std::move(entrada), std::move(agente)}};
}
EventoAgente hecho(std::string id, bool error = false) { return {EventoAgente::PasoHecho{std::move(id), error}}; }
EventoAgente sesion(std::string s) { return {EventoAgente::Sesion{std::move(s)}}; }
EventoAgente fin(std::string t) { return {EventoAgente::Fin{std::move(t)}}; }

const std::string frasesLimite =
    "Ya tienes 4 proyectos con la IA trabajando a la vez. Espera a que termine alguno (los ves en «Trabajando "
    "ahora») o páralo, y vuelve a pedírselo.";

TEST(AgenteEditorReglas, LaIAPedidaYSuTextoCuandoFalta) {
    const IA claude{IA::Tipo::claude, "Claude", "", "/x/claude", false};
    const IA codex{IA::Tipo::codex, "ChatGPT Codex", "", "/x/codex", true};
    const std::vector<IA> ambas{claude, codex};
    EXPECT_EQ(EditorAbierto::iaPedida(ambas, "claude"), claude);
    EXPECT_EQ(EditorAbierto::iaPedida(ambas, "codex"), codex);
    EXPECT_EQ(EditorAbierto::iaPedida(ambas, std::nullopt), codex) << "signed in first";
    EXPECT_EQ(EditorAbierto::iaPedida({claude}, ""), claude);
    EXPECT_FALSE(EditorAbierto::iaPedida(ambas, "gemini"));
    EXPECT_FALSE(EditorAbierto::iaPedida(ambas, "Claude"));
    EXPECT_FALSE(EditorAbierto::iaPedida({}, std::nullopt));

    EXPECT_EQ(EditorAbierto::textoSinIA({}, "claude"),
              "No hay ninguna IA en este ordenador. Instala la app de Claude o Codex de ChatGPT y vuelve a abrir el diseño.");
    EXPECT_EQ(EditorAbierto::textoSinIA({claude}, "codex"),
              "ChatGPT Codex no está instalada en este ordenador. Elige otra en el menú de la IA (tienes: Claude).");
    EXPECT_EQ(EditorAbierto::textoSinIA(ambas, "otra"),
              "Esa IA no está instalada en este ordenador. Elige otra en el menú de la IA (tienes: Claude, ChatGPT "
              "Codex).");
}

TEST(AgenteEditorReglas, LasEntradasLargasSeCortanParaElChat) {
    const std::string justo(300, 'a');
    std::string largo;
    for (int i = 0; i < 301; ++i) largo += "é";  // 301 letters, 602 bytes
    std::string cortado;
    for (int i = 0; i < 300; ++i) cortado += "é";
    const json entrada = {{"id", "m1"}, {"html", largo}, {"css", justo}, {"ancho", 1440}, {"lista", {largo}}};
    EXPECT_EQ(EditorAbierto::entradaParaChat(entrada),
              json({{"id", "m1"}, {"html", cortado + "…"}, {"css", justo}, {"ancho", 1440}, {"lista", {largo}}}));
    EXPECT_EQ(EditorAbierto::entradaParaChat(json::array({largo})), json::array({largo}));
}

class AgenteEditorTest : public prueba::CuentaPrueba {
protected:
    // A home, a login PATH and user defaults of this program's own: the
    // stand-in claude is the one tool detected, signed in.
    static void SetUpTestSuite() {
        static prueba::CarpetaTemporal raiz;
        const fs::path r = raiz.ruta();
        for (const char* c : {"casa", "config", "datos", "path-login", "npm"}) fs::create_directories(r / c);
        fs::create_symlink(fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/claude", r / "path-login/claude");
        ::setenv("HOME", (r / "casa").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (r / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (r / "datos").c_str(), 1);
        ::setenv("SHELL", (fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/shell-login").c_str(), 1);
        ::setenv("SORVENIA_PATH_LOGIN", ((r / "path-login").string() + ":/usr/bin:/bin").c_str(), 1);
        ::setenv("npm_config_prefix", (r / "npm").c_str(), 1);
        ::unsetenv("CLAUDECODE");
        ::unsetenv("SORVENIA_SESION_CLAUDE");
        ASSERT_TRUE(iniciarGtk());
    }

    void SetUp() override {
        prueba::CuentaPrueba::SetUp();
        anaConectada();
        cuenta_ = crear();
        ASSERT_TRUE(cuenta_->cliente());
    }

    void TearDown() override {
        cerrarModelo();
        prueba::CuentaPrueba::TearDown();
    }

    void cerrarModelo() {
        if (!modelo_) return;
        modelo_->cerrar();
        // The run ends once its child is stopped; its job goes.
        esperarHasta([&] { return !modelo_->agenteEnMarcha(); });
        Trabajos::compartido().visto(modelo_->clave());
        modelo_ = nullptr;
    }

    std::string guardarEnLaCuenta(const json& doc) {
        const auto r = servicio.pedirComoAna("POST", "accion=guardar", json({{"nombre", "Barbería"}, {"doc", doc}}).dump());
        EXPECT_EQ(r.status, 200) << r.cuerpo;
        return json::parse(r.cuerpo).at("diseno").at("id").get<std::string>();
    }

    // Opens the design as the editor's screen does and records every call
    // of the page's functions from then on.
    void abrir(std::optional<std::string> id) {
        cuenta_->usarCarpetaCopias(carpeta.ruta() / "copias");
        modelo_ = EditorAbierto::crear(lanzadorDe(guion_));
        modelo_->webEditor();
        modelo_->preparar(cuenta_, nav_, std::move(id), id ? std::nullopt : std::optional(Plantilla::web()));
        ASSERT_TRUE(esperarHasta([&] { return modelo_->listo() || modelo_->errorCarga(); }, std::chrono::seconds(30)));
        ASSERT_FALSE(modelo_->errorCarga()) << *modelo_->errorCarga();
        pagina("window.__llamadas = [];\n"
               "for (const f of Object.keys(window.tarvel)) { const o = window.tarvel[f];\n"
               "  if (f !== 'herramienta') window.tarvel[f] = d => { window.__llamadas.push([f, d]); return o.call(window.tarvel, d); }; }\n"
               "return true;");
    }

    json pagina(const std::string& cuerpo, json args = json::object()) {
        const auto r = esperarTarea(modelo_->web()->llamar(cuerpo, std::move(args)));
        return r && r->ok() ? **r : json("sin respuesta");
    }
    // The arguments of every call of one page function, in order.
    std::vector<json> llamadasA(const std::string& funcion) {
        const json l = pagina("return (window.__llamadas || []).filter(x => x[0] === f).map(x => x[1]);", {{"f", funcion}});
        return l.is_array() ? std::vector<json>(l.begin(), l.end()) : std::vector<json>{};
    }
    std::vector<std::string> tiposDeChat() {
        std::vector<std::string> r;
        for (const json& m : llamadasA("chat")) r.push_back(m.value("tipo", ""));
        return r;
    }
    bool esperarChat(const std::string& tipo, std::size_t cuantos = 1) {
        return esperarHasta([&] { return std::ranges::count(tiposDeChat(), tipo) >= static_cast<long>(cuantos); });
    }
    // The page posts `mensaje` the way its own script does.
    void enviar(const json& mensaje) {
        pagina("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: t})); return 1;",
               {{"t", mensaje.dump()}});
    }
    // The user types a request in the chat and sends it.
    void pedir(const std::string& texto) {
        pagina("document.getElementById('chat-texto').value = t; document.getElementById('chat-enviar').click(); return 1;",
               {{"t", texto}});
    }
    // What the chat shows: its messages and steps, and whether the stop
    // button is there.
    json chatVisible() {
        return pagina(
            "const lista = document.getElementById('chat-mensajes');\n"
            "return {parar: !document.getElementById('chat-parar').hidden,\n"
            "        enviar: document.getElementById('chat-enviar').disabled,\n"
            "        filas: [...lista.children].map(n => ({clase: n.className, texto: n.textContent}))};");
    }
    const Trabajos::Info* trabajo() const {
        const auto& info = Trabajos::compartido().info();
        const auto it = info.find(modelo_->clave());
        return it == info.end() ? nullptr : &it->second;
    }

    std::shared_ptr<Guion> guion_ = std::make_shared<Guion>();
    std::shared_ptr<Cuenta> cuenta_;
    std::shared_ptr<Navegacion> nav_ = std::make_shared<Navegacion>();
    std::shared_ptr<EditorAbierto> modelo_;
    prueba::CarpetaTemporal archivos_;
    // The child waits for this file before it ends with status 0.
    fs::path soltar_ = archivos_.ruta() / "soltar";
    std::string esperarSoltar() const { return "while [ ! -e '" + soltar_.string() + "' ]; do sleep 0.05; done"; }
};

TEST_F(AgenteEditorTest, LosPasosLleganAlChatEnOrdenYLaSesionSeRetoma) {
    abrir(guardarEnLaCuenta(prueba::disenoGuardado()));
    const std::string html(400, 'x');
    guion_->orden = esperarSoltar();
    // Claude writes its answer in pieces; they make one message.
    guion_->eventos = {texto("Miro "),
                       texto("el tarvel."),
                       paso("t1", "mcp__tarvel__ver_tarvel", json::object()),
                       hecho("t1"),
                       // Claude's own lookup of a tool it loads late: relayed,
                       // but no step the user needs to see.
                       paso("t0", "ToolSearch", {{"query", "select:mcp__tarvel__escribir"}}),
                       hecho("t0"),
                       paso("t2", "mcp__tarvel__escribir", {{"id", "m1"}, {"modo", "dentro"}, {"html", html}}, "revisor"),
                       hecho("t2", true),
                       sesion("s-1"),
                       fin("Portada lista.")};
    pedir("Hazme una portada");
    ASSERT_TRUE(esperarChat("fin"));

    // Mid-run: the job is listed, the chat shows each step with its tool and
    // a short input, and the stop button is there.
    ASSERT_NE(trabajo(), nullptr);
    EXPECT_EQ(trabajo()->estado, "trabajando");
    EXPECT_EQ(trabajo()->ia, "Claude");
    EXPECT_EQ(trabajo()->modo, "diseno");
    EXPECT_TRUE(modelo_->agenteEnMarcha());
    ASSERT_TRUE(modelo_->procesoAgente());
    json visto = chatVisible();
    EXPECT_EQ(visto["parar"], true);
    EXPECT_EQ(visto["enviar"], true);
    std::vector<std::string> filas;
    for (const json& f : visto["filas"]) filas.push_back(f["clase"].get<std::string>() + " | " + f["texto"].get<std::string>());
    EXPECT_EQ(filas, (std::vector<std::string>{
                         "chat-mensaje rol-usuario | Hazme una portada",
                         "chat-mensaje rol-aviso | Claude está trabajando…",
                         "chat-mensaje rol-ia | Miro el tarvel.",
                         "chat-paso estado-hecho | ✓Mira el tarvel",
                         "chat-paso estado-error | ✕Escribem1· revisor",
                         "chat-mensaje rol-ia | Portada lista.",
                     }));

    // A picture of the editor mid-run, for a person to look at: laid out
    // 1600 pixels wide, then as tall as a 1000-pixel window.
    ASSERT_TRUE(esperarTarea(modelo_->web()->instantanea(1600, FormatoImagen::png)));
    pagina("document.documentElement.style.height = '1000px'; window.dispatchEvent(new Event('resize')); return 1;");
    const auto png = esperarTarea(modelo_->web()->instantanea(1600, FormatoImagen::png));
    ASSERT_TRUE(png && png->ok());
    EXPECT_TRUE(prueba::guardarCaptura("editor-agente.png", **png));

    // A second request meanwhile is refused; the run goes on.
    enviar({{"tipo", "agente"}, {"ia", "claude"}, {"peticion", "Otra"}});
    ASSERT_TRUE(esperarChat("error"));
    EXPECT_EQ(llamadasA("chat").back(),
              json({{"tipo", "error"}, {"texto", "La IA ya está trabajando en este diseño. Espera a que termine o párala."}}));
    EXPECT_EQ(guion_->peticiones.size(), 1u);
    EXPECT_EQ(trabajo()->estado, "trabajando");

    std::ofstream(soltar_) << "";
    ASSERT_TRUE(esperarChat("termina"));
    EXPECT_EQ(tiposDeChat(), (std::vector<std::string>{"empieza", "texto", "texto", "paso", "pasoHecho", "paso", "pasoHecho",
                                                       "paso", "pasoHecho", "sesion", "fin", "error", "termina"}));
    const auto chat = llamadasA("chat");
    EXPECT_EQ(chat[0], json({{"tipo", "empieza"}, {"ia", "Claude"}}));
    EXPECT_EQ(chat[7].at("entrada").at("html"), std::string(300, 'x') + "…");
    EXPECT_EQ(chat[7].at("agente"), "revisor");
    EXPECT_EQ(chat[3].at("agente"), "");
    EXPECT_EQ(chat[8], json({{"tipo", "pasoHecho"}, {"id", "t2"}, {"error", true}}));
    EXPECT_EQ(chat[9], json({{"tipo", "sesion"}, {"ia", "claude"}, {"sesion", "s-1"}}));
    EXPECT_EQ(chat.back(), json({{"tipo", "termina"}, {"codigo", 0}, {"parado", false}}));
    EXPECT_FALSE(modelo_->agenteEnMarcha());
    EXPECT_FALSE(modelo_->procesoAgente());
    EXPECT_EQ(trabajo(), nullptr) << "an editor on screen shows the end itself";
    visto = chatVisible();
    EXPECT_EQ(visto["parar"], false);
    EXPECT_EQ(visto["enviar"], false);

    // What the runner was asked: this editor's MCP address, no session yet.
    const auto& primera = guion_->peticiones.at(0);
    EXPECT_EQ(primera.peticion, "Hazme una portada");
    EXPECT_TRUE(primera.mcpURL.starts_with("http://127.0.0.1:")) << primera.mcpURL;
    EXPECT_NE(primera.mcpURL.find("/mcp/" + Centro::compartido().mcp().token() + "/" + modelo_->clave()),
              std::string::npos)
        << primera.mcpURL;
    EXPECT_EQ(primera.ia.tipo, IA::Tipo::claude);
    EXPECT_EQ(primera.esfuerzo, "medium");
    EXPECT_FALSE(primera.sesion);
    EXPECT_FALSE(primera.vps);
    EXPECT_FALSE(primera.app);

    // The next request in the same chat resumes the conversation, a fresh
    // chat starts a new one.
    EXPECT_EQ(modelo_->sesiones().at("claude"), "s-1");
    guion_->eventos = {fin("Hecho.")};
    guion_->orden = "exit 0";
    pagina("document.getElementById('chat-grande').checked = true; return 1;");
    pedir("Y el botón en verde");
    ASSERT_TRUE(esperarChat("termina", 2));
    ASSERT_EQ(guion_->peticiones.size(), 2u);
    EXPECT_EQ(guion_->peticiones[1].sesion, "s-1");
    EXPECT_EQ(guion_->peticiones[1].esfuerzo, "high");
    pagina("document.getElementById('chat-nuevo').click(); return 1;");
    pedir("Empieza de cero");
    ASSERT_TRUE(esperarChat("termina", 3));
    ASSERT_EQ(guion_->peticiones.size(), 3u);
    EXPECT_FALSE(guion_->peticiones[2].sesion);
}

TEST_F(AgenteEditorTest, UnaCorridaQueAcabaMalLoDiceEnElChat) {
    abrir(guardarEnLaCuenta(prueba::disenoGuardado()));
    const struct {
        const char* orden;
        std::optional<std::string> fallo;
        bool lanza;
        json ultimo;
    } casos[] = {
        // A status other than 0 is not an error: it travels as it is.
        {"exit 1", std::nullopt, false, {{"tipo", "termina"}, {"codigo", 1}, {"parado", false}}},
        // The runner's sentence when the agent cannot start.
        {"exit 0", "No se ha encontrado claude.", false, {{"tipo", "error"}, {"texto", "No se ha encontrado claude."}}},
        // The runner itself breaks.
        {"exit 0", std::nullopt, true,
         {{"tipo", "error"}, {"texto", "La IA se ha parado por un fallo de Sorvenia Code."}}},
    };
    std::size_t finales = 0;
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.ultimo.dump());
        guion_->orden = caso.orden;
        guion_->fallo = caso.fallo;
        guion_->lanza = caso.lanza;
        pedir("Algo");
        ASSERT_TRUE(esperarHasta([&] {
            const auto t = tiposDeChat();
            return static_cast<std::size_t>(std::ranges::count(t, "termina") + std::ranges::count(t, "error")) > finales;
        }));
        ++finales;
        EXPECT_EQ(llamadasA("chat").back(), caso.ultimo);
        EXPECT_FALSE(modelo_->agenteEnMarcha());
        EXPECT_EQ(trabajo(), nullptr);
        EXPECT_EQ(chatVisible()["parar"], false);
    }
}

TEST_F(AgenteEditorTest, ElQuintoAgenteALaVezNoEmpieza) {
    abrir(guardarEnLaCuenta(prueba::disenoGuardado()));
    std::vector<std::shared_ptr<prueba::EditorDoble>> otros;
    for (int i = 0; i < 4; ++i) {
        otros.push_back(std::make_shared<prueba::EditorDoble>("k-otro-" + std::to_string(i)));
        otros.back()->trabajando = true;
        Trabajos::compartido().registrar(otros.back());
    }
    // One of them not working: three agents elsewhere leave room for this one.
    otros[3]->trabajando = false;
    guion_->orden = "exit 0";
    pedir("Con tres");
    ASSERT_TRUE(esperarChat("termina"));
    EXPECT_EQ(guion_->peticiones.size(), 1u);

    otros[3]->trabajando = true;
    pedir("Con cuatro");
    ASSERT_TRUE(esperarChat("error"));
    EXPECT_EQ(llamadasA("chat").back(), json({{"tipo", "error"}, {"texto", frasesLimite}}));
    EXPECT_EQ(guion_->peticiones.size(), 1u) << "no agent started";
    EXPECT_EQ(trabajo(), nullptr) << "no job";
    EXPECT_FALSE(modelo_->agenteEnMarcha());
    EXPECT_EQ(chatVisible()["parar"], false) << "the page is ready for the next request";
    for (const auto& o : otros) Trabajos::compartido().quitar(*o);
}

TEST_F(AgenteEditorTest, PararOCerrarAcabaConTodoElGrupo) {
    enum class Como { boton, lista, cerrar };
    for (const Como como : {Como::boton, Como::lista, Como::cerrar}) {
        SCOPED_TRACE(como == Como::boton ? "parar" : como == Como::lista ? "lista" : "cerrar");
        abrir(guardarEnLaCuenta(prueba::disenoGuardado()));
        guion_->hijo = nullptr;
        // A shell with two children of its own, all in the child's group.
        guion_->orden = "sleep 300 & sleep 300";
        guion_->eventos = {texto("Trabajando.")};
        pedir("Trabaja mucho");
        ASSERT_TRUE(esperarChat("texto"));
        ASSERT_TRUE(guion_->hijo);
        const pid_t grupo = guion_->hijo->pid();
        ASSERT_TRUE(esperarHasta([&] { return vivosEnGrupo(grupo) == 3; })) << vivosEnGrupo(grupo);

        if (como == Como::cerrar) {
            modelo_->cerrar();
        } else {
            if (como == Como::boton) {
                pagina("document.getElementById('chat-parar').click(); return 1;");
            } else {
                // The stop of the job list, which the page's own button did not see.
                enviar({{"tipo", "pararTrabajo"}, {"clave", modelo_->clave()}});
            }
            ASSERT_TRUE(esperarChat("termina"));
            EXPECT_EQ(llamadasA("chat").back(), json({{"tipo", "termina"}, {"codigo", SIGTERM}, {"parado", true}}));
            // The user is told it was their stop, not a failure, right after
            // what the agent had said.
            const json filas = chatVisible()["filas"];
            ASSERT_GE(filas.size(), 2u);
            EXPECT_EQ(filas[filas.size() - 2]["texto"], "Trabajando.");
            EXPECT_EQ(filas.back(), json({{"clase", "chat-mensaje rol-aviso"}, {"texto", "Has parado la IA."}}));
        }
        EXPECT_TRUE(esperarHasta([&] { return vivosEnGrupo(grupo) == 0; }, std::chrono::seconds(8)))
            << vivosEnGrupo(grupo) << " left in the group";
        ASSERT_TRUE(esperarHasta([&] { return !modelo_->agenteEnMarcha(); }));
        EXPECT_EQ(trabajo(), nullptr);
        cerrarModelo();
    }
}

TEST_F(AgenteEditorTest, SalirDuranteElTrabajoLoAparcaYAlAcabarSeGuardaYCierra) {
    const std::string id = guardarEnLaCuenta(prueba::disenoGuardado());
    abrir(id);
    Centro::compartido().editor = modelo_;
    guion_->orden = esperarSoltar();
    guion_->eventos = {texto("Sigo aunque te vayas.")};
    pedir("Hazlo mientras no estoy");
    ASSERT_TRUE(esperarChat("texto"));
    int avisos = 0;
    const auto suscripcion = Trabajos::compartido().observar([&] { ++avisos; });
    std::vector<Trabajos::Aviso> notificaciones;
    const auto anterior =
        Trabajos::compartido().usarAvisador([&](const Trabajos::Aviso& a) { notificaciones.push_back(a); });

    // The user leaves the design: the editor is parked, not closed.
    modelo_->alSalir();
    EXPECT_TRUE(modelo_->aparcado());
    EXPECT_FALSE(modelo_->cerrado());
    EXPECT_NE(modelo_->web(), nullptr);
    EXPECT_EQ(llamadasA("segundoPlano").back(), json({{"si", true}}));
    EXPECT_FALSE(Centro::compartido().editor.lock()) << "tool calls without a route key no longer reach it";
    EXPECT_GE(avisos, 1) << "the job lists hear of it";
    // "Trabajando ahora" on the home page lists it, running and elsewhere.
    const json lista = Trabajos::compartido().lista();
    ASSERT_EQ(lista.size(), 1u) << lista;
    EXPECT_EQ(lista[0].at("clave"), modelo_->clave());
    EXPECT_EQ(lista[0].at("estado"), "trabajando");
    EXPECT_EQ(lista[0].at("aqui"), false);
    EXPECT_EQ(lista[0].at("abrible"), true);

    // The agent goes on changing the parked page; then its run ends.
    enviar({{"tipo", "cambio"}, {"doc", {{"formato", 1}, {"aparcado", "cambio del agente"}}}, {"nombre", "Barbería"}});
    std::ofstream(soltar_) << "";
    ASSERT_TRUE(esperarHasta([&] { return modelo_->cerrado(); }, std::chrono::seconds(20)));
    EXPECT_FALSE(modelo_->agenteEnMarcha());
    EXPECT_EQ(modelo_->web(), nullptr);
    EXPECT_EQ(Trabajos::compartido().modelo(modelo_->clave()), nullptr);
    // Saved in the account before closing.
    const auto guardados = servicio.registroDe("guardar");
    ASSERT_GE(guardados.size(), 2u);
    EXPECT_EQ(json::parse(guardados.back().at("cuerpo").get<std::string>()).at("doc"),
              json({{"formato", 1}, {"aparcado", "cambio del agente"}}));
    EXPECT_FALSE(modelo_->docPendiente());
    // The ended job stays listed until the user sees it.
    ASSERT_NE(trabajo(), nullptr);
    EXPECT_EQ(trabajo()->estado, "listo");
    EXPECT_EQ(trabajo()->id, id);
    // The user, who is elsewhere, is told.
    EXPECT_EQ(notificaciones,
              (std::vector<Trabajos::Aviso>{{"trabajo-" + modelo_->clave(), "Barbería", "Claude ha terminado."}}));
    Trabajos::compartido().usarAvisador(anterior);
}

}  // namespace
}  // namespace sorvenia
