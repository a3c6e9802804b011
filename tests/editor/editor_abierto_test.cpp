// The model of an open design with its real editor page in a WebKitGTK view
// under Xvfb, against the local account service: opening a design from the
// account or from a template, the load error, the messages the page posts
// and the calls it receives.

#include "editor/gui/editor_abierto.h"
#include "editor/gui/tienda_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "cuenta_prueba.h"
#include "esperar_bucle.h"
#include "navegacion/navegacion.h"
#include "navegacion/salida.h"
#include "centro/centro.h"
#include "centro/trabajos.h"
#include "comun/conexion_tarvel.h"
#include "diseno_prueba.h"
#include "editor/escenas.h"
#include "editor/gui/renderizador.h"
#include "editor_doble.h"
#include "ias/proceso.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/navegador.h"
#include "plataforma/preferencias.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {

// An agent run of the editor, as the agent action marks it.
struct PruebaEditorAbierto {
    static void agente(EditorAbierto& m, bool enMarcha) { m.agenteEnMarcha_ = enMarcha; }
};

namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;

TEST(EditorAbiertoEstado, UnModeloNuevo) {
    const auto a = EditorAbierto::crear();
    const auto b = EditorAbierto::crear();
    for (const auto& m : {a, b}) {
        EXPECT_TRUE(std::regex_match(m->clave(), std::regex("[0-9a-f]{16}"))) << m->clave();
        EXPECT_TRUE(std::regex_match(m->ref(), std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")))
            << m->ref();
        EXPECT_EQ(m->nombre(), "Sin título");
        EXPECT_FALSE(m->id());
        EXPECT_FALSE(m->listo());
        EXPECT_FALSE(m->aparcado());
        EXPECT_EQ(m->web(), nullptr);  // no page until a screen asks for it
    }
    EXPECT_NE(a->clave(), b->clave());
    EXPECT_NE(a->ref(), b->ref());
}

TEST(EditorAbiertoEstado, ElTextoDeCadaLlamadaALaPagina) {
    const struct {
        const char* funcion;
        json argumento;
        std::string esperado;
    } casos[] = {
        {"forzarCambio", json::object(), "window.tarvel && window.tarvel.forzarCambio({})"},
        {"aviso", {{"texto", "Hola \"tú\""}}, R"(window.tarvel && window.tarvel.aviso({"texto":"Hola \"tú\""}))"},
        {"pedir", "texto suelto", R"(window.tarvel && window.tarvel.pedir("texto suelto"))"},
        {"segundoPlano", true, "window.tarvel && window.tarvel.segundoPlano(true)"},
        {"cargar", nullptr, "window.tarvel && window.tarvel.cargar(null)"},
        {"trabajos", json::array({1, 2}), "window.tarvel && window.tarvel.trabajos([1,2])"},
        // A broken byte in a text is replaced, not a reason to drop the call.
        {"aviso", {{"texto", std::string("a\xff") + "b"}}, "window.tarvel && window.tarvel.aviso({\"texto\":\"a\xef\xbf\xbd" "b\"})"},
    };
    for (const auto& caso : casos) EXPECT_EQ(EditorAbierto::textoLlamada(caso.funcion, caso.argumento), caso.esperado);
}

TEST(EditorAbiertoEstado, SinPaginaLasLlamadasNoHacenNada) {
    const auto m = EditorAbierto::crear();
    m->js("aviso", {{"texto", "nadie lo ve"}});
    m->renombrar("Otro nombre");
    EXPECT_EQ(m->nombre(), "Otro nombre");
    const json r = esperarTarea(m->herramienta("ver_tarvel", json::object(), std::nullopt)).value();
    EXPECT_EQ(r, json::array({{{"type", "text"}, {"text", "El editor no está abierto."}, {"error", true}}}));
}

class EditorAbiertoTest : public prueba::CuentaPrueba {
protected:
    // The user defaults this process writes (the agents card seen...) stay
    // its own: tests run in parallel under one home.
    static void SetUpTestSuite() {
        static prueba::CarpetaTemporal config;
        ::setenv("XDG_CONFIG_HOME", config.ruta().c_str(), 1);
        ASSERT_TRUE(iniciarGtk());
    }

    void SetUp() override {
        prueba::CuentaPrueba::SetUp();
        anaConectada();
        cuenta_ = crear();
        ASSERT_TRUE(cuenta_->cliente());
        anteriorAbridor_ = Navegador::usarAbridor([this](const std::string& uri) {
            abiertos_.push_back(uri);
            return true;
        });
    }

    void TearDown() override {
        if (modelo_) modelo_->cerrar();
        Navegador::usarAbridor(anteriorAbridor_);
        prueba::CuentaPrueba::TearDown();
    }

    // A design stored in Ana's account; its id.
    std::string guardarEnLaCuenta(const std::string& nombre, const json& doc) {
        const auto r = servicio.pedirComoAna("POST", "accion=guardar", json({{"nombre", nombre}, {"doc", doc}}).dump());
        EXPECT_EQ(r.status, 200) << r.cuerpo;
        return json::parse(r.cuerpo).at("diseno").at("id").get<std::string>();
    }

    // Opens the editor as its screen does. Once the first load is over, the
    // test records every page call and has the page announce itself again
    // (each "listo" loads the design from scratch), so the calls of a whole
    // load are seen in order.
    void abrir(std::optional<std::string> id, std::optional<Plantilla> plantilla = std::nullopt) {
        cuenta_->usarCarpetaCopias(carpeta.ruta() / "copias");
        modelo_ = EditorAbierto::crear();
        WebVista& web = modelo_->webEditor();
        modelo_->preparar(cuenta_, nav_, std::move(id), std::move(plantilla));
        ASSERT_TRUE(esperarHasta([&] { return modelo_->listo() || modelo_->errorCarga(); }, std::chrono::seconds(20)));
        llamar(web,
               "window.__llamadas = [];\n"
               "for (const f of Object.keys(window.tarvel)) { const o = window.tarvel[f];\n"
               "  if (f !== 'herramienta') window.tarvel[f] = d => { window.__llamadas.push([f, d]); return o.call(window.tarvel, d); }; }\n"
               "return true;");
        enviar({{"tipo", "listo"}});
        if (modelo_->errorCarga()) {
            esperarHasta([] { return false; }, std::chrono::milliseconds(500));
        } else {
            ASSERT_TRUE(esperarLlamada("trabajos"));
        }
    }

    json llamar(WebVista& web, const std::string& cuerpo, json args = json::object()) {
        const auto r = esperarTarea(web.llamar(cuerpo, std::move(args)));
        return r && r->ok() ? **r : json("sin respuesta");
    }
    json pagina(const std::string& cuerpo, json args = json::object()) {
        return llamar(*modelo_->web(), cuerpo, std::move(args));
    }
    // The names of the page functions called so far, in order.
    std::vector<std::string> llamadas() {
        std::vector<std::string> r;
        for (const json& l : pagina("return window.__llamadas || [];")) r.push_back(l.at(0));
        return r;
    }
    json ultimaLlamada(const std::string& funcion) {
        return pagina("const l = (window.__llamadas || []).filter(x => x[0] === f); return l.length ? l[l.length - 1][1] : null;",
                      {{"f", funcion}});
    }
    bool esperarLlamada(const std::string& funcion) {
        return esperarHasta([&] { return !ultimaLlamada(funcion).is_null(); });
    }
    // The page posts `mensaje` to native code the way the page's own script does.
    void enviar(const json& mensaje) {
        pagina("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: t})); return 1;",
               {{"t", mensaje.dump()}});
    }
    std::string herramienta(const std::string& nombre, json args = json::object()) {
        const json r = esperarTarea(modelo_->herramienta(nombre, std::move(args), std::nullopt)).value();
        return r.at(0).value("text", "");
    }
    std::shared_ptr<Cuenta> cuenta_;
    std::shared_ptr<Navegacion> nav_ = std::make_shared<Navegacion>();
    std::shared_ptr<EditorAbierto> modelo_;
    std::vector<std::string> abiertos_;
    Navegador::Abridor anteriorAbridor_;
};

TEST_F(EditorAbiertoTest, AbreUnDisenoDeLaCuentaConSusChats) {
    const std::string id = guardarEnLaCuenta("Barbería Ercilla", prueba::disenoGuardado());
    const json chats = json::array({{{"id", "c1"}, {"titulo", "Landing"}, {"mensajes", json::array()}}});
    EditorModelo::escribirChats(chats, id);
    // An AI client in which the bridge is registered.
    const auto codex = ConexionTarvel::casa() / ".codex/config.toml";
    std::filesystem::create_directories(codex.parent_path());
    std::ofstream(codex) << "[mcp_servers.sorvenia-tarvel]\ncommand = \"/x/tarvel\"\n";

    abrir(id);
    ASSERT_FALSE(modelo_->errorCarga()) << *modelo_->errorCarga();
    EXPECT_EQ(modelo_->nombre(), "Barbería Ercilla");
    EXPECT_EQ(modelo_->version(), 1);
    EXPECT_EQ(Centro::compartido().editor.lock(), modelo_);
    EXPECT_EQ(Trabajos::compartido().modelo(modelo_->clave()), modelo_);

    ASSERT_TRUE(esperarLlamada("destinos"));
    const json carga = ultimaLlamada("cargar");
    EXPECT_EQ(carga.at("nombre"), "Barbería Ercilla");
    EXPECT_EQ(carga.at("chats"), chats);
    EXPECT_EQ(carga.at("doc").at("paginas").at(0).at("mesas").size(), 2u);
    EXPECT_FALSE(carga.contains("plantilla"));
    EXPECT_TRUE(carga.at("tarjetaAgentes"));
    EXPECT_EQ(carga.at("agentesConectados"), json::array({"Codex · ChatGPT"}));
    // The account's hosting comes as a publishing destination.
    EXPECT_EQ(ultimaLlamada("destinos").at("hostings").at(0).at("dominio"), "ana.example");

    const auto orden = llamadas();
    const auto cargar = std::ranges::find(orden, "cargar");
    ASSERT_NE(cargar, orden.end());
    EXPECT_EQ(*std::next(cargar), "trabajos");
    EXPECT_EQ(std::ranges::find(orden, "estado"), orden.end());  // nothing was recovered

    // The canvas shows the stored mesas, through the page's own tools.
    const std::string estado = herramienta("ver_tarvel");
    EXPECT_NE(estado.find("m2 «Contacto» · 390 × 844"), std::string::npos) << estado;
}

TEST_F(EditorAbiertoTest, UnDisenoNuevoNaceDeSuPlantilla) {
    abrir(std::nullopt, Plantilla::conId("movil"));
    const json carga = ultimaLlamada("cargar");
    EXPECT_TRUE(carga.at("doc").is_null());
    EXPECT_EQ(carga.at("nombre"), "Sin título");
    EXPECT_EQ(carga.at("chats"), json::array());
    EXPECT_EQ(carga.at("plantilla"), json({{"id", "movil"}, {"nombre", "Móvil"}, {"w", 390}, {"h", 844}, {"auto", false}}));
    const auto orden = llamadas();
    const std::set<std::string> vistas(orden.begin(), orden.end());
    for (const char* nunca : {"estado", "publicado", "destinos", "vpsPublicado", "app"})
        EXPECT_FALSE(vistas.contains(nunca)) << nunca;
    EXPECT_NE(herramienta("ver_tarvel").find("«Móvil» · 390 × 844"), std::string::npos);
}

TEST_F(EditorAbiertoTest, UnDisenoQueNoSePuedeAbrirNoLlegaALaPagina) {
    abrir("0123456789abcdef");
    ASSERT_TRUE(modelo_->errorCarga());
    EXPECT_TRUE(modelo_->errorCarga()->starts_with("No se ha podido abrir el diseño: ")) << *modelo_->errorCarga();
    EXPECT_GT(modelo_->errorCarga()->size(), std::string("No se ha podido abrir el diseño: ").size());
    EXPECT_FALSE(modelo_->listo());
    EXPECT_TRUE(ultimaLlamada("cargar").is_null());
}

TEST_F(EditorAbiertoTest, LosMensajesDeLaPagina) {
    const std::string id = guardarEnLaCuenta("Con chats", prueba::disenoGuardado());
    abrir(id);
    ASSERT_TRUE(modelo_->listo());

    // Chats: kept, and written to the design's file.
    const json chats = json::array({{{"id", "c9"}, {"titulo", "Nueva"}}});
    enviar({{"tipo", "guardarChats"}, {"chats", chats}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->chats().size() == 1; }));
    EXPECT_EQ(EditorModelo::leerChats(id), chats);
    // A list with something that is not a chat is refused whole.
    enviar({{"tipo", "guardarChats"}, {"chats", json::array({1})}});

    enviar({{"tipo", "usarSesion"}, {"sesiones", {{"claude", "s1"}, {"codex", "s2"}, {"gemini", 3}}}});
    enviar({{"tipo", "olvidarConversacion"}, {"ia", "codex"}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->sesiones().size() == 1; }));
    EXPECT_EQ(modelo_->sesiones(), (std::map<std::string, std::string>{{"claude", "s1"}}));
    EXPECT_EQ(modelo_->chats().size(), 1u);

    // Malformed or unknown messages do nothing.
    enviar({{"tipo", 5}});
    enviar({{"tipo", "noExiste"}, {"x", 1}});
    enviar({{"sin", "tipo"}});

    // A change: the document is pending, the page says it is not saved yet.
    enviar({{"tipo", "cambio"},
            {"doc", {{"formato", 1}, {"paginas", json::array()}}},
            {"nombre", "Renombrado"},
            {"primera", {{"html", "<p>x</p>"}, {"w", 390}, {"h", 844}}}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->docPendiente().has_value(); }));
    EXPECT_EQ(modelo_->nombre(), "Renombrado");
    ASSERT_TRUE(modelo_->primeraMesa());
    EXPECT_EQ(modelo_->primeraMesa()->w, 390);
    ASSERT_TRUE(esperarLlamada("estado"));
    EXPECT_EQ(ultimaLlamada("estado"), json({{"guardado", "cambios sin guardar"}}));

    // Links open only on the web.
    enviar({{"tipo", "enlace"}, {"url", "file:///etc/passwd"}});
    enviar({{"tipo", "integracion"}, {"accion", "instalar"}, {"url", "javascript:alert(1)"}});
    enviar({{"tipo", "enlace"}, {"url", "HTTPS://sorvenia.example/ayuda"}});
    ASSERT_TRUE(esperarHasta([&] { return !abiertos_.empty(); }));
    EXPECT_EQ(abiertos_, std::vector<std::string>{"HTTPS://sorvenia.example/ayuda"});

    // An AI design with a tool this computer does not have is answered at
    // once, and no turn starts (gemini is never among the detected tools).
    enviar({{"tipo", "ia"}, {"req", 7}, {"peticion", "Hazme una web"}, {"ia", "gemini"}});
    ASSERT_TRUE(esperarLlamada("respuestaIA"));
    const json sinIA = ultimaLlamada("respuestaIA");
    EXPECT_EQ(sinIA.value("req", 0), 7);
    const std::string error = sinIA.value("error", "");
    EXPECT_TRUE(error.starts_with("Gemini no está instalada en este ordenador. Elige otra en el menú de la IA") ||
                error.starts_with("No hay ninguna IA en este ordenador."))
        << error;

    // Stopping another design's agent from the job list.
    Lanzamiento l;
    l.programa = "/bin/sleep";
    l.argumentos = {"30"};
    auto proceso = Proceso::lanzar(l);
    ASSERT_TRUE(proceso) << proceso.fallo().mensaje;
    auto otro = std::make_shared<prueba::EditorDoble>("k-otro", "d-otro");
    otro->proceso = *proceso;
    Trabajos::compartido().registrar(otro);
    enviar({{"tipo", "pararTrabajo"}, {"clave", "k-nadie"}});
    enviar({{"tipo", "pararTrabajo"}, {"clave", "k-otro"}});
    EXPECT_TRUE(esperarHasta([&] { return !(*proceso)->enMarcha(); }));
    Trabajos::compartido().quitar(*otro);

    // The agents card: seen, and the agents sheet opens.
    enviar({{"tipo", "conectarAgentes"}});
    ASSERT_TRUE(esperarHasta([&] { return nav_->agentes(); }));
    EXPECT_TRUE(Preferencias::estandar().booleano("tarjetaAgentesVista"));

    // Leaving goes back to the home screen.
    nav_->fijarPantalla(Navegacion::Pantalla::editor(id, std::nullopt));
    enviar({{"tipo", "salir"}});
    ASSERT_TRUE(esperarHasta([&] { return nav_->pantalla() == Navegacion::Pantalla::inicio(); }));
}

// The bodies of the uploads the account received, oldest first.
std::vector<json> subidas(const prueba::ServicioLocalPrueba& servicio) {
    std::vector<json> r;
    for (const json& e : servicio.registroDe("guardar")) r.push_back(json::parse(e.value("cuerpo", "{}"), nullptr, false));
    return r;
}

TEST_F(EditorAbiertoTest, ElAutoguardadoSubeElUltimoCambioUnaVez) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    const auto antes = subidas(servicio).size();
    // Five quick changes: one upload, of the last one, with the version seen.
    for (int i = 1; i <= 5; ++i)
        enviar({{"tipo", "cambio"}, {"doc", {{"formato", 1}, {"n", i}}}, {"nombre", "Barbería"},
                {"primera", {{"html", "<h1 style=\"color:#123456\">Hola</h1>"}, {"w", 800}, {"h", 300}}}});
    ASSERT_TRUE(esperarHasta([&] { return subidas(servicio).size() == antes + 1 && !modelo_->guardando(); }));
    esperarHasta([] { return false; }, std::chrono::milliseconds(1800));
    const auto todas = subidas(servicio);
    ASSERT_EQ(todas.size(), antes + 1);
    EXPECT_EQ(todas.back().at("doc"), json({{"formato", 1}, {"n", 5}}));
    EXPECT_EQ(todas.back().at("id"), id);
    EXPECT_EQ(todas.back().at("version"), 1);
    EXPECT_FALSE(todas.back().contains("cliente_ref"));
    EXPECT_TRUE(todas.back().value("miniatura", "").starts_with("data:image/jpeg;base64,"));
    EXPECT_EQ(modelo_->version(), 2);
    EXPECT_EQ(ultimaLlamada("estado"), json({{"guardado", "guardado"}}));

    // Within 45 s of that thumbnail the next upload goes without one.
    enviar({{"tipo", "cambio"}, {"doc", {{"n", 6}}}});
    ASSERT_TRUE(esperarHasta([&] { return subidas(servicio).size() == antes + 2 && !modelo_->guardando(); }));
    EXPECT_FALSE(subidas(servicio).back().contains("miniatura"));
    EXPECT_EQ(subidas(servicio).back().at("version"), 2);
}

TEST_F(EditorAbiertoTest, UnDisenoNuevoSeSubeYGuardaSusChats) {
    abrir(std::nullopt, Plantilla::web());
    const json chats = json::array({{{"id", "c1"}, {"titulo", "Primera"}}});
    enviar({{"tipo", "guardarChats"}, {"chats", chats}});
    enviar({{"tipo", "cambio"}, {"doc", {{"nuevo", true}}}, {"nombre", "Mi web"}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->id().has_value() && !modelo_->guardando(); }));
    const json subida = subidas(servicio).back();
    EXPECT_EQ(subida.at("cliente_ref"), modelo_->ref());
    EXPECT_FALSE(subida.contains("id"));
    EXPECT_FALSE(subida.contains("version"));
    EXPECT_EQ(EditorModelo::leerChats(modelo_->id()), chats);
    EXPECT_EQ(cuenta_->disenos().front().id, *modelo_->id());
}

// The tutorial's first visit makes the welcome design, named and filled
// from its template and uploaded at once; every later visit opens that one.
TEST_F(EditorAbiertoTest, ElTutorialAbreDosVecesElMismoDisenoDeBienvenida) {
    using Pantalla = Navegacion::Pantalla;
    nav_->tutorial(cuenta_->disenos());
    ASSERT_EQ(nav_->pantalla(), Pantalla::editor(std::nullopt, Plantilla::bienvenida()));
    abrir(nav_->pantalla().id(), nav_->pantalla().plantilla());
    ASSERT_TRUE(esperarHasta([&] { return modelo_->id() && !modelo_->guardando() && !modelo_->docPendiente(); }));
    const std::string id = *modelo_->id();
    EXPECT_EQ(modelo_->nombre(), "Bienvenido a Sorvenia Code");
    const json primera = ultimaLlamada("cargar");
    EXPECT_EQ(primera.at("nombre"), "Bienvenido a Sorvenia Code");
    const std::string html = primera.at("doc").at("paginas").at(0).at("mesas").at(0).at("html");
    EXPECT_NE(html.find(">Bienvenido a Sorvenia Code</h1>"), std::string::npos) << html;
    const json subida = subidas(servicio).back();
    EXPECT_EQ(subida.at("nombre"), "Bienvenido a Sorvenia Code");
    EXPECT_EQ(subida.at("doc").at("paginas").at(0).at("mesas").at(0).at("html"), html);
    EXPECT_TRUE(std::ranges::any_of(subidas(servicio), [](const json& s) {
        return s.value("miniatura", "").starts_with("data:image/jpeg;base64,");
    }));
    EXPECT_NE(herramienta("ver_tarvel").find("Diseño «Bienvenido a Sorvenia Code»"), std::string::npos);
    modelo_->cerrar();
    modelo_.reset();

    const auto antes = subidas(servicio).size();
    nav_->tutorial(cuenta_->disenos());
    ASSERT_EQ(nav_->pantalla(), Pantalla::editor(id, Plantilla::bienvenida()));
    abrir(nav_->pantalla().id(), nav_->pantalla().plantilla());
    ASSERT_FALSE(modelo_->errorCarga()) << *modelo_->errorCarga();
    EXPECT_EQ(modelo_->id(), id);
    EXPECT_EQ(ultimaLlamada("cargar").at("doc").at("paginas").at(0).at("mesas").at(0).at("html"), html);
    esperarHasta([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_EQ(subidas(servicio).size(), antes);  // opening it again uploads nothing
    EXPECT_EQ(std::ranges::count_if(cuenta_->disenos(),
                                    [](const DisenoResumen& d) { return d.nombre == "Bienvenido a Sorvenia Code"; }),
              1);
}

TEST_F(EditorAbiertoTest, UnConflictoGuardaUnaCopiaComoDisenoNuevo) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    // Saved meanwhile from another computer: the account is at version 2.
    servicio.pedirComoAna("POST", "accion=guardar", json({{"id", id}, {"nombre", "Barbería"}, {"doc", {{"otro", 1}}}}).dump());
    const std::string refAntes = modelo_->ref();
    enviar({{"tipo", "cambio"}, {"doc", {{"mio", 1}}}, {"nombre", "Barbería"}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->id() && *modelo_->id() != id && !modelo_->guardando(); }));
    EXPECT_EQ(modelo_->nombre(), "Barbería (copia)");
    EXPECT_NE(modelo_->ref(), refAntes);
    EXPECT_EQ(modelo_->version(), 1);
    const auto todas = subidas(servicio);
    EXPECT_EQ(todas.back().at("doc"), json({{"mio", 1}}));
    EXPECT_EQ(todas.back().at("nombre"), "Barbería (copia)");
    EXPECT_FALSE(todas.back().contains("id"));
}

TEST_F(EditorAbiertoTest, SinConexionSeReintentaYAlSalirQuedaUnaCopia) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    servicio.interruptores({{"guardar", {{"status", 503}}}});
    enviar({{"tipo", "cambio"}, {"doc", {{"sin", "red"}}}, {"nombre", "Barbería"}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("estado").value("guardado", "") == "sin conexión: reintento"; }));
    EXPECT_EQ(ultimaLlamada("estado").value("error", false), true);
    // The failed upload left the changes on this computer.
    const auto copia = cuenta_->copiaLocal(id, std::nullopt);
    ASSERT_TRUE(copia);
    EXPECT_EQ(copia->doc.cadena(), R"({"sin":"red"})");

    // The flush at quit gives up, and says so; the copy stays.
    EXPECT_FALSE(esperarTarea(modelo_->guardarAhora()).value_or(true));
    EXPECT_TRUE(cuenta_->copiaLocal(id, std::nullopt));

    // Back online, the next attempt uploads it and the copy goes.
    servicio.interruptores(json::object());
    enviar({{"tipo", "cambio"}, {"doc", {{"con", "red"}}}, {"nombre", "Barbería"}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("estado") == json({{"guardado", "guardado"}}); }));
    EXPECT_FALSE(cuenta_->copiaLocal(id, std::nullopt));
}

TEST_F(EditorAbiertoTest, CerrarSueltaLaPaginaYElCentro) {
    abrir(std::nullopt, Plantilla::web());
    const std::weak_ptr<EditorAbierto> debil = modelo_;
    modelo_->cerrar();
    EXPECT_TRUE(modelo_->cerrado());
    EXPECT_EQ(modelo_->web(), nullptr);
    EXPECT_FALSE(Centro::compartido().editor.lock());
    EXPECT_EQ(Trabajos::compartido().modelo(modelo_->clave()), nullptr);
    modelo_->cerrar();  // a second close does nothing
    modelo_.reset();
    // Released once the page has been asked for a last change.
    EXPECT_TRUE(esperarHasta([&] { return debil.expired(); }));
}

bool contiene(const json& valor, const std::string& texto) { return valor.dump().find(texto) != std::string::npos; }

// The page holds each change a moment before it hands it over. Quitting
// right after a change, or closing the editor right after one, still takes
// it: the quit flush asks the page first and uploads it; closing asks the
// page, keeps it on disk and uploads it.
TEST_F(EditorAbiertoTest, ElCambioQueLaPaginaRetieneNoSePierde) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    const auto antes = subidas(servicio).size();
    ASSERT_FALSE(herramienta("texto", {{"id", "titulo"}, {"texto", "Justo antes de salir"}}).empty());
    EXPECT_TRUE(modelo_->porGuardar()) << "the page may hold a change";
    EXPECT_TRUE(esperarTarea(modelo_->guardarAhora()).value_or(false));
    ASSERT_EQ(subidas(servicio).size(), antes + 1);
    EXPECT_TRUE(contiene(subidas(servicio).back().at("doc"), "Justo antes de salir"));

    ASSERT_FALSE(herramienta("texto", {{"id", "titulo"}, {"texto", "Justo antes de cerrar"}}).empty());
    modelo_->cerrar();
    ASSERT_TRUE(esperarHasta([&] { return subidas(servicio).size() == antes + 2 && !modelo_->guardando(); }));
    EXPECT_TRUE(contiene(subidas(servicio).back().at("doc"), "Justo antes de cerrar"));
    EXPECT_FALSE(cuenta_->copiaLocal(id, std::nullopt)) << "the upload removed the copy";
}

bool esperandoA(const std::shared_ptr<EditorAbierto>& modelo) {
    return std::ranges::any_of(editoresPorGuardar(), [&](const auto& e) { return e.get() == modelo.get(); });
}

// Leaving while the last upload is under way: until it ends its document is
// on disk, and quitting waits for the editor although the job registry and
// the hub have let it go.
TEST_F(EditorAbiertoTest, CerrarConLaSubidaEnCursoLaGuardaHastaQueTermina) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    servicio.interruptores({{"guardar", {{"colgar", 2}}}});
    enviar({{"tipo", "cambio"}, {"doc", {{"en", "vuelo"}}}, {"nombre", "Barbería"}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->guardando(); }));
    modelo_->cerrar();
    const auto copia = cuenta_->copiaLocal(id, std::nullopt);
    ASSERT_TRUE(copia) << "the document in flight is on disk";
    EXPECT_EQ(copia->doc.cadena(), R"({"en":"vuelo"})");
    EXPECT_TRUE(esperandoA(modelo_));

    ASSERT_TRUE(esperarHasta([&] { return !modelo_->guardando(); }, std::chrono::seconds(10)));
    EXPECT_EQ(subidas(servicio).back().at("doc"), json({{"en", "vuelo"}}));
    EXPECT_FALSE(cuenta_->copiaLocal(id, std::nullopt)) << "the upload landed: the copy goes";
    EXPECT_FALSE(esperandoA(modelo_));
}

// A parked editor whose save keeps failing tries once when its agent run
// ends, then closes with its document on disk, instead of uploading it
// every half second for as long as the application runs.
TEST_F(EditorAbiertoTest, UnAparcadoCuyoGuardadoFallaSeCierraConUnaCopia) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    PruebaEditorAbierto::agente(*modelo_, true);
    modelo_->alSalir();
    ASSERT_TRUE(modelo_->aparcado());
    const auto antes = subidas(servicio).size();
    servicio.interruptores(
        {{"guardar", {{"status", 413}, {"cuerpo", R"({"error":{"code":"demasiado_grande","message":"Grande."}})"}}}});
    enviar({{"tipo", "cambio"}, {"doc", {{"grande", 1}}}, {"nombre", "Barbería"}});
    // The autosave's attempt fails; nothing retries it by itself.
    ASSERT_TRUE(esperarHasta([&] { return subidas(servicio).size() == antes + 1 && !modelo_->guardando(); }));

    PruebaEditorAbierto::agente(*modelo_, false);
    modelo_->cerrarAparcado();
    ASSERT_TRUE(esperarHasta([&] { return modelo_->cerrado(); }, std::chrono::seconds(10)));
    esperarHasta([] { return false; }, std::chrono::milliseconds(1500));
    EXPECT_EQ(subidas(servicio).size(), antes + 2) << "one attempt when the run ended, then no more";
    const auto copia = cuenta_->copiaLocal(id, std::nullopt);
    ASSERT_TRUE(copia);
    EXPECT_EQ(copia->doc.cadena(), R"({"grande":1})");
}

// A server that refuses every save with a conflict, or says the design is
// gone, is not asked again and again at once: the design becomes a new one
// once (" (copia)" added once after a conflict), the saves back off, and
// when one finally succeeds no copy of the design's earlier names is left.
TEST_F(EditorAbiertoTest, LosRechazosSeguidosEsperanYNoDejanCopiasHuerfanas) {
    struct Caso {
        int status;
        const char* codigo;
        const char* nombre;
    };
    for (const Caso c : {Caso{409, "conflicto", "Barbería (copia)"}, Caso{404, "no_existe", "Barbería"}}) {
        SCOPED_TRACE(c.codigo);
        if (modelo_) modelo_->cerrar();
        const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
        abrir(id);
        const auto antes = subidas(servicio).size();
        const json rechazo = {{"error", {{"code", c.codigo}, {"message", "No."}}}};
        servicio.interruptores({{"guardar", {{"status", c.status}, {"cuerpo", rechazo.dump()}}}});
        enviar({{"tipo", "cambio"}, {"doc", {{"mio", c.status}}}, {"nombre", "Barbería"}});
        esperarHasta([] { return false; }, std::chrono::milliseconds(3500));
        const auto rechazadas = subidas(servicio).size() - antes;
        EXPECT_GE(rechazadas, 2u);
        EXPECT_LE(rechazadas, 4u) << "the saves wait between attempts";
        EXPECT_EQ(modelo_->nombre(), c.nombre);

        servicio.interruptores(json::object());
        ASSERT_TRUE(esperarHasta([&] { return modelo_->id() && *modelo_->id() != id && !modelo_->guardando(); },
                                 std::chrono::seconds(15)));
        EXPECT_EQ(subidas(servicio).back().at("nombre"), c.nombre);
        EXPECT_EQ(subidas(servicio).back().at("doc"), json({{"mio", c.status}}));
        EXPECT_TRUE(cuenta_->copiasLocales().empty()) << "no copy left behind";
    }
}

// An answer that drips for ever keeps the upload open, but after a while
// its document is on disk anyway.
TEST_F(EditorAbiertoTest, UnaRespuestaQueGoteaDejaUnaCopiaMientras) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    servicio.interruptores({{"guardar", {{"gotear", 1.0}}}});
    enviar({{"tipo", "cambio"}, {"doc", {{"goteo", 1}}}, {"nombre", "Barbería"}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->guardando(); }));
    EXPECT_FALSE(cuenta_->copiaLocal(id, std::nullopt));
    ASSERT_TRUE(esperarHasta([&] { return cuenta_->copiaLocal(id, std::nullopt).has_value(); },
                             std::chrono::seconds(30)));
    EXPECT_TRUE(modelo_->guardando()) << "the answer is still on its way";
    EXPECT_EQ(cuenta_->copiaLocal(id, std::nullopt)->doc.cadena(), R"({"goteo":1})");
}

// The pages the editor page sends with "publicar".
const json paginasWeb = json::array({{{"nombre", "Inicio"}, {"inicio", true}, {"html", "<h1>Hola</h1>"}},
                                     {{"nombre", "Contacto"}, {"html", "<p>Escríbenos</p>"}}});

TEST_F(EditorAbiertoTest, PublicaUnaPreviaYEnElHosting) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    ASSERT_TRUE(modelo_->listo());

    enviar({{"tipo", "publicar"}, {"paginas", paginasWeb}, {"destino", "previa"}});
    ASSERT_TRUE(esperarLlamada("publicado"));
    json previa = ultimaLlamada("publicado");
    ASSERT_TRUE(previa.contains("url")) << previa;
    EXPECT_EQ(previa.at("paginas"), 2);
    EXPECT_FALSE(previa.at("caduca").get<std::string>().empty());
    EXPECT_EQ(previa.at("nueva"), true);
    const auto indice = prueba::obtener(previa.at("url").get<std::string>() + "index.html");
    EXPECT_EQ(indice.status, 200);
    EXPECT_EQ(indice.cuerpo, Renderizador::documento("<h1>Hola</h1>", "Inicio", true));
    EXPECT_EQ(json::parse(servicio.registroDe("previa").at(0).at("cuerpo").get<std::string>()).at("nombre"), "Barbería");
    EXPECT_TRUE(ultimaLlamada("aviso").is_null()) << "no scenes, no notice";
    // Nothing was pending, so nothing was saved first.
    EXPECT_EQ(servicio.registroDe("guardar").size(), 1u);

    // A second preview replaces one the editor now knows; a missing
    // "destino" means a preview too.
    enviar({{"tipo", "publicar"}, {"paginas", paginasWeb}});
    ASSERT_TRUE(esperarHasta([&] { return servicio.registroDe("previa").size() == 2 && ultimaLlamada("publicado") != previa; }));
    EXPECT_EQ(ultimaLlamada("publicado").at("nueva"), false);

    enviar({{"tipo", "publicar"}, {"paginas", paginasWeb}, {"destino", "hosting"}, {"servicio", 7}, {"carpeta", "web"}});
    ASSERT_TRUE(esperarLlamada("publicadoHosting"));
    const json hosting = ultimaLlamada("publicadoHosting");
    EXPECT_EQ(hosting.at("dominio"), "ana.example");
    EXPECT_EQ(hosting.at("carpeta"), "web");
    EXPECT_EQ(hosting.at("servicio"), 7);
    EXPECT_EQ(hosting.at("paginas"), 2);
    EXPECT_EQ(hosting.at("nueva"), true);
    EXPECT_EQ(prueba::obtener(hosting.at("url").get<std::string>() + "contacto.html").cuerpo,
              Renderizador::documento("<p>Escríbenos</p>", "Contacto", true));

    // A hosting that is not Ana's: the account's message and code.
    enviar({{"tipo", "publicar"}, {"paginas", paginasWeb}, {"destino", "hosting"}, {"servicio", 99}, {"carpeta", "web"}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("publicadoHosting").contains("error"); }));
    EXPECT_EQ(ultimaLlamada("publicadoHosting"),
              json({{"error", "Ese hosting no está en tu cuenta."}, {"codigo", "no_existe"}}));

    // A failed preview carries the sentence alone.
    servicio.interruptores({{"previa", {{"status", 500}}}});
    enviar({{"tipo", "publicar"}, {"paginas", paginasWeb}, {"destino", "previa"}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("publicado").contains("error"); }));
    EXPECT_EQ(ultimaLlamada("publicado"), json({{"error", "Fallo forzado de «previa»."}}));
}

// The scene files the account received, in order.
std::vector<std::string> escenasRecibidas(const prueba::ServicioLocalPrueba& servicio) {
    std::vector<std::string> r;
    for (const json& e : servicio.registroDe("recurso")) r.push_back(e.at("consulta").value("ruta", ""));
    return r;
}

TEST_F(EditorAbiertoTest, LasEscenasSeSubenAntesDePublicar) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    const auto carpeta = Escenas::carpeta(id);
    std::filesystem::create_directories(carpeta);
    std::ofstream(carpeta / "ola.mp4") << "video de ola";
    std::ofstream(carpeta / "ola.jpg") << "poster de ola";
    std::ofstream(carpeta / "falta.jpg") << "poster de falta";  // its video is not on this computer
    abrir(id);
    const json paginas = json::array({{{"nombre", "Inicio"}, {"inicio", true},
                                       {"html", R"(<video data-escena="ola" src="escenas/ola.mp4"></video>)"
                                                R"(<video data-escena="falta" class="c" src="escenas/falta.mp4"></video>)"}}});

    enviar({{"tipo", "publicar"}, {"paginas", paginas}, {"destino", "previa"}});
    ASSERT_TRUE(esperarLlamada("publicado"));
    EXPECT_EQ(ultimaLlamada("aviso"), json({{"texto", "Subiendo 2 escenas de vídeo…"}}));
    EXPECT_EQ(escenasRecibidas(servicio), (std::vector<std::string>{"escenas/falta.jpg", "escenas/ola.mp4", "escenas/ola.jpg"}));
    const json previa = ultimaLlamada("publicado");
    ASSERT_TRUE(previa.contains("url")) << previa;
    const std::string indice = prueba::obtener(previa.at("url").get<std::string>() + "index.html").cuerpo;
    EXPECT_NE(indice.find(R"(<video data-escena="ola" src="escenas/ola.mp4"></video>)"), std::string::npos) << indice;
    EXPECT_NE(indice.find(R"(<img src="escenas/falta.jpg" alt="" data-escena="falta" class="c">)"), std::string::npos)
        << indice;

    // What the account already holds is not sent again; a changed file is.
    std::ofstream(carpeta / "ola.jpg") << "otro poster";
    enviar({{"tipo", "publicar"}, {"paginas", paginas}, {"destino", "previa"}});
    ASSERT_TRUE(esperarHasta([&] { return servicio.registroDe("previa").size() == 2; }));
    EXPECT_EQ(escenasRecibidas(servicio),
              (std::vector<std::string>{"escenas/falta.jpg", "escenas/ola.mp4", "escenas/ola.jpg", "escenas/ola.jpg"}));
    std::filesystem::remove_all(carpeta);
}

TEST_F(EditorAbiertoTest, PublicarSinPaginasNoHaceNada) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    for (const json& paginas : {json::array(), json("x"), json::array({1})})
        enviar({{"tipo", "publicar"}, {"paginas", paginas}});
    enviar({{"tipo", "publicar"}});
    esperarHasta([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_TRUE(servicio.registroDe("previa").empty());
    EXPECT_TRUE(ultimaLlamada("publicado").is_null());
    EXPECT_TRUE(ultimaLlamada("aviso").is_null()) << "no longer answered as an action to come";
}

TEST_F(EditorAbiertoTest, UnDisenoSinGuardarPideGuardarse) {
    abrir(std::nullopt, Plantilla::web());
    enviar({{"tipo", "publicar"}, {"paginas", paginasWeb}, {"destino", "previa"}});
    ASSERT_TRUE(esperarLlamada("publicado"));
    EXPECT_EQ(ultimaLlamada("publicado"), json({{"error", "Guarda el diseño antes de publicarlo."}}));
    EXPECT_TRUE(servicio.registroDe("previa").empty());
}

TEST_F(EditorAbiertoTest, PublicarEsperaALaPrimeraSubida) {
    // The first upload of a new design takes 2 s; the user publishes meanwhile.
    servicio.interruptores({{"guardar", {{"colgar", 2}}}});
    abrir(std::nullopt, Plantilla::web());
    enviar({{"tipo", "cambio"}, {"doc", {{"nuevo", true}}}, {"nombre", "Mi web"}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->guardando(); }));
    enviar({{"tipo", "publicar"}, {"paginas", paginasWeb}, {"destino", "previa"}});
    ASSERT_TRUE(esperarLlamada("publicado"));
    const json previa = ultimaLlamada("publicado");
    EXPECT_TRUE(previa.contains("url")) << previa;
    ASSERT_TRUE(modelo_->id());
    const auto pedidas = servicio.registroDe("previa");
    ASSERT_EQ(pedidas.size(), 1u);
    EXPECT_EQ(json::parse(pedidas[0].at("cuerpo").get<std::string>()).at("id"), *modelo_->id());
    EXPECT_EQ(servicio.registroDe("guardar").size(), 1u) << "one upload only";
}

TEST_F(EditorAbiertoTest, UnCambioPendienteSeGuardaAntesDePublicar) {
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    enviar({{"tipo", "cambio"}, {"doc", {{"formato", 1}, {"n", 9}}}, {"nombre", "Barbería"}});
    enviar({{"tipo", "publicar"}, {"paginas", paginasWeb}, {"destino", "previa"}});
    ASSERT_TRUE(esperarLlamada("publicado"));
    const auto guardados = servicio.registroDe("guardar");
    ASSERT_EQ(guardados.size(), 2u);
    EXPECT_EQ(json::parse(guardados[1].at("cuerpo").get<std::string>()).at("doc"), json({{"formato", 1}, {"n", 9}}));
    EXPECT_FALSE(modelo_->docPendiente());
    // Published after the save: the service logs in order.
    std::vector<std::string> acciones;
    for (const json& e : servicio.registro()) acciones.push_back(e.value("accion", ""));
    std::erase_if(acciones, [](const std::string& a) { return a != "guardar" && a != "previa"; });
    EXPECT_EQ(acciones, (std::vector<std::string>{"guardar", "guardar", "previa"}));
}

TEST_F(EditorAbiertoTest, LaBusquedaDeDominiosDiceCualesEstanLibres) {
    std::ofstream(servicio.datos() / "dominios-ocupados.json") << R"(["mi-web.com"])";
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    ASSERT_TRUE(modelo_->listo());

    enviar({{"tipo", "dominios"}, {"q", "Mi-Web.es"}});
    ASSERT_TRUE(esperarLlamada("dominios"));
    const json r = ultimaLlamada("dominios");
    ASSERT_EQ(r.at("dominios").size(), 5u) << r;
    EXPECT_EQ(r.at("dominios").at(0), json({{"dominio", "mi-web.es"}, {"tld", "es"}, {"libre", true}}));
    EXPECT_EQ(r.at("dominios").at(1), json({{"dominio", "mi-web.com"}, {"tld", "com"}, {"libre", false}}));
    EXPECT_EQ(r.at("pack"), json({{"mes", 5}, {"meses", 12}, {"base", 60}, {"plan", "Hosting Web"}}));

    // No words at all still asks the account, which finds nothing.
    enviar({{"tipo", "dominios"}});
    ASSERT_TRUE(esperarHasta([&] { return servicio.registroDe("dominios").size() == 2; }));
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("dominios").at("dominios").empty(); }));
    EXPECT_EQ(json::parse(servicio.registroDe("dominios").at(1).at("cuerpo").get<std::string>()), json({{"q", ""}}));

    servicio.interruptores({{"dominios", {{"status", 500}}}});
    enviar({{"tipo", "dominios"}, {"q", "otra"}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("dominios").contains("error"); }));
    EXPECT_EQ(ultimaLlamada("dominios"), json({{"error", "Fallo forzado de «dominios»."}}));
}

TEST_F(EditorAbiertoTest, LaTiendaSeAbreEnSuSeccionYUnaCompraRefrescaLosDestinos) {
    struct Apertura {
        std::string seccion;
        std::optional<std::string> ir;
        std::function<void()> alComprar;
    };
    std::vector<Apertura> aperturas;
    usarAbridorTienda([&](std::shared_ptr<Cuenta>, std::string seccion, std::optional<std::string> ir,
                          std::function<void()> alComprar) {
        aperturas.push_back({std::move(seccion), std::move(ir), std::move(alComprar)});
    });
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    ASSERT_TRUE(modelo_->listo());
    ASSERT_TRUE(esperarLlamada("destinos"));
    EXPECT_EQ(ultimaLlamada("destinos").at("hostings").size(), 1u);

    enviar({{"tipo", "tienda"}, {"seccion", "vps"}});
    enviar({{"tipo", "tienda"}});
    ASSERT_TRUE(esperarHasta([&] { return aperturas.size() == 2; }));
    EXPECT_EQ(aperturas[0].seccion, "vps");
    EXPECT_EQ(aperturas[1].seccion, "mio");
    EXPECT_FALSE(aperturas[0].ir);

    // The purchase brought a new hosting: the page hears of it after the first wait.
    const auto archivo = servicio.datos() / "cuentas.json";
    json cuentas = json::parse(std::ifstream(archivo));
    cuentas["clientes"][0]["hostings"].push_back(
        {{"id", 8}, {"dominio", "nueva.example"}, {"plan", "Hosting Web"}, {"wordpress", false}});
    std::ofstream(archivo) << cuentas;
    const auto inicio = std::chrono::steady_clock::now();
    aperturas[0].alComprar();
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("destinos").at("hostings").size() == 2; },
                             std::chrono::seconds(10)));
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, std::chrono::milliseconds(2900));
    EXPECT_EQ(ultimaLlamada("destinos").at("hostings").at(1).at("dominio"), "nueva.example");

    // Without an opener the page is told the store cannot open.
    usarAbridorTienda({});
    enviar({{"tipo", "tienda"}});
    ASSERT_TRUE(esperarHasta([&] { return !ultimaLlamada("aviso").is_null(); }));
    EXPECT_EQ(ultimaLlamada("aviso"), json({{"texto", "La tienda no se puede abrir ahora."}}));
}

TEST_F(EditorAbiertoTest, ElPackPublicaUnaPreviaAbreElPagoYTrasLaCompraPublicaEnElDominio) {
    std::vector<std::pair<std::string, std::optional<std::string>>> aperturas;
    std::function<void()> alComprar;
    usarAbridorTienda([&](std::shared_ptr<Cuenta>, std::string seccion, std::optional<std::string> ir,
                          std::function<void()> cb) {
        aperturas.emplace_back(std::move(seccion), std::move(ir));
        alComprar = std::move(cb);
    });
    const std::string id = guardarEnLaCuenta("Barbería", prueba::disenoGuardado());
    abrir(id);
    ASSERT_TRUE(modelo_->listo());

    // Without a domain or pages nothing happens.
    enviar({{"tipo", "comprarPack"}, {"paginas", paginasWeb}});
    enviar({{"tipo", "comprarPack"}, {"dominio", "barberia.es"}, {"paginas", json::array()}});
    enviar({{"tipo", "comprarPack"}, {"dominio", "barberia.es"}, {"paginas", paginasWeb}});
    ASSERT_TRUE(esperarLlamada("pack"));
    EXPECT_EQ(ultimaLlamada("pack"), json({{"dominio", "barberia.es"}, {"abierto", true}}));
    EXPECT_TRUE(ultimaLlamada("publicado").contains("url"));
    EXPECT_EQ(servicio.registroDe("previa").size(), 1u);
    ASSERT_EQ(aperturas.size(), 1u);
    EXPECT_EQ(aperturas[0].first, "hosting");
    EXPECT_EQ(aperturas[0].second, "/panel/checkout.php?pack=tarvel&pack_dominio=barberia.es&pack_doc=" + id);

    // The purchase: the account lists the domain's hosting a moment later.
    const auto archivo = servicio.datos() / "cuentas.json";
    json cuentas = json::parse(std::ifstream(archivo));
    cuentas["clientes"][0]["hostings"].push_back(
        {{"id", 9}, {"dominio", "barberia.es"}, {"plan", "Hosting Web"}, {"wordpress", false}});
    std::ofstream(archivo) << cuentas;
    alComprar();
    ASSERT_TRUE(esperarLlamada("publicadoHosting"));
    const json hosting = ultimaLlamada("publicadoHosting");
    EXPECT_EQ(hosting.at("dominio"), "barberia.es");
    EXPECT_EQ(hosting.at("servicio"), 9);
    EXPECT_EQ(prueba::obtener(hosting.at("url").get<std::string>() + "contacto.html").cuerpo,
              Renderizador::documento("<p>Escríbenos</p>", "Contacto", true));
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("destinos").at("hostings").size() == 2; }));
    EXPECT_EQ(ultimaLlamada("destinos").at("publicada").at("dominio"), "barberia.es");

    // A failed preview opens no store.
    servicio.interruptores({{"previa", {{"status", 500}}}});
    enviar({{"tipo", "comprarPack"}, {"dominio", "otra.es"}, {"paginas", paginasWeb}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("pack").contains("error"); }));
    EXPECT_EQ(ultimaLlamada("pack"), json({{"error", "Fallo forzado de «previa»."}}));
    EXPECT_EQ(aperturas.size(), 1u);
    usarAbridorTienda({});
}

}  // namespace
}  // namespace sorvenia

namespace sorvenia {
namespace {

// The design's app project from the page's "app" panel: a design without an
// id is saved first (and, when it cannot be, the page is told why), the
// "appmovil" template makes a mobile project, and a design with a project
// gets it back at once, even with a change pending.
TEST_F(EditorAbiertoTest, ElPanelDeAppCreaElProyectoDelDisenoGuardado) {
    abrir(std::nullopt, Plantilla::conId("appmovil"));
    ASSERT_TRUE(esperarLlamada("app"));
    EXPECT_EQ(ultimaLlamada("app"), json({{"nuevo", true}, {"movil", true}}));

    // Nothing to upload and no id: no project.
    enviar({{"tipo", "app"}, {"accion", "crear"}, {"movil", false}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("app").contains("error"); }));
    EXPECT_EQ(ultimaLlamada("app"),
              json({{"error", "Guarda el diseño antes de crear la aplicación (¿hay conexión?)."}}));
    EXPECT_FALSE(modelo_->proyecto());

    // With a change the design is uploaded first, then the project made;
    // a second request meanwhile (a double click) gets the same project.
    enviar({{"tipo", "cambio"}, {"doc", {{"nuevo", true}}}, {"nombre", "Mi app de citas"}});
    enviar({{"tipo", "app"}, {"accion", "crear"}, {"movil", false}});
    enviar({{"tipo", "app"}, {"accion", "crear"}, {"movil", false}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("app").contains("proyecto"); }, std::chrono::seconds(30)));
    ASSERT_TRUE(modelo_->id());
    ASSERT_TRUE(modelo_->proyecto());
    const json resumen = ultimaLlamada("app").at("proyecto");
    const auto carpeta = ProyectoAplicacion::raiz() / "mi-app-de-citas";
    EXPECT_EQ(resumen.at("carpeta"), carpeta.string());
    EXPECT_EQ(resumen.at("movil"), true);
    EXPECT_TRUE(std::filesystem::is_directory(carpeta / "ios"));
    EXPECT_EQ(Preferencias::estandar().mapaTextos("appDeDiseno").at(*modelo_->id()), "mi-app-de-citas");
    esperarHasta([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_FALSE(std::filesystem::exists(ProyectoAplicacion::raiz() / "mi-app-de-citas-2"));
    EXPECT_EQ(std::ranges::count(llamadas(), std::string("app")), 3) << "nuevo, the error, one summary";

    // Asked again with a change pending: the same project, and no answer.
    const auto llamadasApp = std::ranges::count(llamadas(), std::string("app"));
    enviar({{"tipo", "cambio"}, {"doc", {{"nuevo", false}}}, {"nombre", "Mi app de citas"}});
    enviar({{"tipo", "app"}, {"accion", "crear"}, {"movil", true}});
    enviar({{"tipo", "app"}, {"accion", "estado"}});
    ASSERT_TRUE(esperarHasta([&] { return std::ranges::count(llamadas(), std::string("app")) == llamadasApp + 1; }));
    EXPECT_EQ(ultimaLlamada("app").at("proyecto").at("carpeta"), carpeta.string());
    EXPECT_FALSE(std::filesystem::exists(ProyectoAplicacion::raiz() / "mi-app-de-citas-2"));

    // An action still to come is answered as such.
    enviar({{"tipo", "app"}, {"accion", "xcode"}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("app").contains("error"); }));
    EXPECT_EQ(ultimaLlamada("app"), json({{"error", "Las aplicaciones todavía no está disponible en Sorvenia Code."}}));
}

// The first upload of a new design is still running when the user asks for
// the app: its id is on the way, so the project waits for it instead of
// asking the user to save.
TEST_F(EditorAbiertoTest, ElPanelDeAppEsperaALaPrimeraSubida) {
    servicio.interruptores({{"guardar", {{"colgar", 2}}}});
    abrir(std::nullopt, Plantilla::conId("aplicacion"));
    enviar({{"tipo", "cambio"}, {"doc", {{"nuevo", true}}}, {"nombre", "Reservas"}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->guardando(); }));
    enviar({{"tipo", "app"}, {"accion", "crear"}});
    ASSERT_TRUE(esperarHasta([&] { return ultimaLlamada("app").contains("proyecto"); }, std::chrono::seconds(30)))
        << ultimaLlamada("app");
    ASSERT_TRUE(modelo_->id());
    EXPECT_EQ(Preferencias::estandar().mapaTextos("appDeDiseno").at(*modelo_->id()),
              ultimaLlamada("app").at("proyecto").at("nombre"));
    EXPECT_FALSE(ultimaLlamada("app").at("proyecto").contains("movil"));
    EXPECT_EQ(servicio.registroDe("guardar").size(), 1u) << "one upload only";
}

// The mobile part of an agent's brief, for what the computer has: each
// toolchain's sentence picked by what is known, and the fixed ends.
TEST(EditorAbiertoEstado, ElEncargoDeUnaAppMovil) {
    const std::string inicio =
        "La app nativa va en ios/ (SwiftUI, skill app-ios) y android/ (Kotlin + Compose, skill app-android): LEE la "
        "skill antes de empezar.";
    const std::string sinXcode =
        " En este ordenador NO hay Xcode (o no tiene simulador de iPhone): escribe el código igual y dile al cliente "
        "que instale Xcode desde la App Store para verla.";
    const std::string conXcode =
        " iPhone: Xcode 16.2; compila e instala en el simulador «iPhone 16» (id A1-B2) con las órdenes de la skill "
        "app-ios (-derivedDataPath ios/build; NO desactives la firma: rompe el Llavero) y lánzala con xcrun simctl: el "
        "cliente ve esa pantalla EN DIRECTO al lado del chat, así que instálala y relánzala cada vez que acabes una "
        "parte.";
    const std::string sinAndroid =
        " Android: este ordenador no tiene Android Studio; haz primero el iPhone y la versión Android cuando el "
        "cliente la pida (y dile que instale Android Studio para verla).";
    const std::string fin =
        " Primero el iPhone; Android con las mismas pantallas y el mismo diseño. Si la app necesita datos compartidos, "
        "cuentas o pagos, usa las conexiones del cliente (Supabase, Stripe) o una API en su VPS.";
    const EntornoMovil::Simulador iphone{"A1-B2", "iPhone 16"};
    const struct {
        EntornoMovil entorno;
        std::string medio;
    } casos[] = {
        {{}, sinXcode + sinAndroid},
        {{"16.2", iphone, std::nullopt, std::nullopt, {}}, conXcode + sinAndroid},
        // A simulator without Xcode, or Xcode without a simulator: no Xcode.
        {{std::nullopt, iphone, std::nullopt, std::nullopt, {}}, sinXcode + sinAndroid},
        {{"16.2", std::nullopt, std::nullopt, std::nullopt, {}}, sinXcode + sinAndroid},
        // A Java home alone builds nothing.
        {{std::nullopt, std::nullopt, std::nullopt, "/usr/lib/jvm/java-17", {"Pixel"}}, sinXcode + sinAndroid},
        {{std::nullopt, std::nullopt, "/home/a/Android/Sdk", std::nullopt, {}},
         sinXcode + " Android: SDK en /home/a/Android/Sdk (sin emuladores creados)"},
        {{"16.2", iphone, "/home/a/Android/Sdk", "/usr/lib/jvm/java-17", {"Pixel_8", "Tablet"}},
         conXcode + " Android: SDK en /home/a/Android/Sdk, JDK en /usr/lib/jvm/java-17, emuladores: Pixel_8, Tablet"},
    };
    for (const auto& caso : casos) EXPECT_EQ(EditorAbierto::encargoMovil(caso.entorno), inicio + caso.medio + fin);
}

}  // namespace
}  // namespace sorvenia
