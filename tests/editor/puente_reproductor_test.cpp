// The player bridge script (resources/editor/tarvel/puente_reproductor.js) in a
// real WebKitGTK view under a display (Xvfb). A stand-in editor page,
// loaded as if from 127.0.0.1, embeds a stand-in player page served on
// 127.0.0.1 from another port (another origin, as the studio's is), the
// same page from another host and through a scheme that is not HTTP, and an
// about:srcdoc frame (reproductor_prueba/). The test sees what the editor
// page would: the messages the frames post to it, and what it can learn by
// posting to them.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "esperar_bucle.h"
#include "editor/gui/web_editor.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "pagina_prueba.h"
#include "plataforma/gui/web_vista.h"
#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;
using prueba::PeticionHTTP;
using prueba::ServidorHTTPPrueba;

const std::filesystem::path fuente = SORVENIA_FUENTE;
const std::filesystem::path carpetaPaginas = fuente / "tests/editor/reproductor_prueba";
const std::filesystem::path guionPuente = fuente / "resources/editor/tarvel/puente_reproductor.js";

// Marks every frame the view's user scripts reach, with the document's
// state at that moment.
constexpr const char* marca = "window.__marca = document.readyState;";

constexpr const char* estiloEsperado =
    "html,body{background:transparent!important;padding:0!important;margin:0!important;overflow:hidden!important}"
    "body{display:block!important}.info{display:none!important}"
    ".player-wrap{max-width:none!important;width:100vw!important;height:100vh!important;aspect-ratio:auto!important;"
    "border-radius:0!important;box-shadow:none!important}";

std::string leer(const std::filesystem::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    std::ostringstream texto;
    texto << entrada.rdbuf();
    return texto.str();
}

std::string sustituir(std::string texto, const std::string& marcador, const std::string& valor) {
    for (auto p = texto.find(marcador); p != std::string::npos; p = texto.find(marcador, p + valor.size()))
        texto.replace(p, marcador.size(), valor);
    return texto;
}

// The studio's stand-in files by path: the player page, its composition
// and the probe; with their type, or nothing.
std::optional<std::pair<std::string, std::string>> archivoEstudio(std::string_view ruta) {
    static const std::map<std::string, std::pair<std::string, std::string>, std::less<>> archivos = {
        {"/", {"reproductor.html", "text/html; charset=utf-8"}},
        {"/composicion.html", {"composicion.html", "text/html; charset=utf-8"}},
        {"/sonda.js", {"sonda.js", "text/javascript; charset=utf-8"}},
    };
    const auto archivo = archivos.find(ruta.substr(0, ruta.find('?')));
    if (archivo == archivos.end()) return std::nullopt;
    return std::pair{leer(carpetaPaginas / archivo->second.first), archivo->second.second};
}

std::string servirEstudio(const PeticionHTTP& peticion) {
    const auto archivo = archivoEstudio(peticion.ruta);
    if (!archivo) return ServidorHTTPPrueba::respuesta(404, "", "text/plain");
    return ServidorHTTPPrueba::respuesta(200, archivo->first, archivo->second);
}

// The same files through "prueba://127.0.0.1/...": not HTTP, on the same host.
RespuestaEsquema servirPorEsquema(std::string_view uri) {
    const auto inicio = uri.find('/', std::string_view("prueba://").size());
    const auto archivo = archivoEstudio(inicio == std::string_view::npos ? "/" : uri.substr(inicio));
    if (!archivo) return std::nullopt;
    const auto& [cuerpo, tipo] = *archivo;
    return RecursoEsquema{{cuerpo.begin(), cuerpo.end()}, tipo.substr(0, tipo.find(';'))};
}

json ejecutar(WebVista& vista, const std::string& cuerpo, json argumentos = json::object()) {
    return prueba::llamarEnPagina(vista, cuerpo, std::move(argumentos), std::chrono::seconds(20));
}

// Loads the stand-in editor page as if it came from `puertoEditor`, its
// player frame pointing at the studio with `consulta`.
void cargarEditor(WebVista& vista, std::uint16_t puertoEstudio, std::uint16_t puertoEditor,
                  const std::string& consulta) {
    std::string html = leer(carpetaPaginas / "editor.html");
    html = sustituir(std::move(html), "@CONSULTA@", consulta);
    html = sustituir(std::move(html), "@PUERTO@", std::to_string(puertoEstudio));
    const std::string base = "http://127.0.0.1:" + std::to_string(puertoEditor) + "/";
    vista.cargarHTML(html, base);
    EXPECT_TRUE(esperarHasta([&] {
        const char* uri = webkit_web_view_get_uri(vista.vistaWeb());
        return webkit_web_view_is_loading(vista.vistaWeb()) == FALSE && uri != nullptr && base == uri;
    }));
}

json esperarListo(WebVista& vista) {
    return ejecutar(vista, "return await esperarMensaje('reproductor', (d) => d.k === 'ready');");
}

// A list of [name, value] pairs, as the bridge writes a movement's props.
json pares(std::initializer_list<std::pair<const char*, json>> lista) {
    json r = json::array();
    for (const auto& [nombre, valor] : lista) r.push_back(json::array({nombre, valor}));
    return r;
}

struct Caja {
    double x, y, w, h;
};

// The page point of a composition point: the stand-in player shows its
// composition at half size, 20 px from the left and 10 px from the top.
double paginaX(double x) { return 20 + x / 2; }
double paginaY(double y) { return 10 + y / 2; }

std::string primerosCaracteres(const std::string& utf8, std::size_t n) {
    std::size_t p = 0;
    for (std::size_t vistos = 0; p < utf8.size(); ++p) {
        if ((static_cast<unsigned char>(utf8[p]) & 0xC0U) != 0x80U && vistos++ == n) break;
    }
    return utf8.substr(0, p);
}

// A shown window for a web view: the player is on screen while the editor
// page drives it, and WebKit slows down the timers of hidden pages more the
// longer they stay hidden.
class VentanaVisible {
public:
    explicit VentanaVisible(GtkWidget* hijo) : ventana_(GTK_WINDOW(gtk_window_new())) {
        gtk_window_set_default_size(ventana_, 900, 600);
        gtk_window_set_child(ventana_, hijo);
        gtk_window_present(ventana_);
    }
    ~VentanaVisible() { gtk_window_destroy(ventana_); }
    VentanaVisible(const VentanaVisible&) = delete;
    VentanaVisible& operator=(const VentanaVisible&) = delete;

private:
    GtkWindow* ventana_;  // owned by GTK's list of toplevels until destroyed here
};

class PuenteReproductorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run)."; }

    void SetUp() override {
        OpcionesWebVista opciones;
        opciones.inspeccionable = true;
        vista_ = std::make_unique<WebVista>("prueba", opciones);
        vista_->inyectarEnTodosLosMarcos(marca);
        vista_->inyectarEnTodosLosMarcos(leer(guionPuente));
        vista_->registrarEsquema("prueba", servirPorEsquema);
        ventana_ = std::make_unique<VentanaVisible>(vista_->widget());
    }
    void TearDown() override { ventana_.reset(); }

    // Gives the player's "ready" message.
    json abrir() {
        cargarEditor(*vista_, estudio_.puerto(), editor_.puerto(), "");
        return esperarListo(*vista_);
    }

    json js(const std::string& cuerpo, json argumentos = json::object()) {
        return ejecutar(*vista_, cuerpo, std::move(argumentos));
    }

    json sondear(const std::string& marco, const std::string& codigo) {
        return js("return await sondear(marco, codigo);", {{"marco", marco}, {"codigo", codigo}});
    }

    // Posts `orden` to the player frame and gives the first message of kind
    // `k` that follows (null when none comes).
    json ordenar(const json& orden, const std::string& k) {
        return js(
            "const desde = registro.length; ordenar('reproductor', orden);"
            "return await esperarMensaje('reproductor', (d) => d.k === k, desde);",
            {{"orden", orden}, {"k", k}});
    }

    // The player's answer to a "llamar" command.
    json llamar(const std::string& fn, json args = json::array()) {
        return llamarOrden({{"hfOrden", "llamar"}, {"fn", fn}, {"args", std::move(args)}});
    }
    json llamarOrden(json orden) {
        orden["id"] = "llamada-" + std::to_string(++llamadas_);
        return js(
            "const desde = registro.length; ordenar('reproductor', orden);"
            "return await esperarMensaje('reproductor', (d) => d.k === 'resp' && d.id === orden.id, desde);",
            {{"orden", orden}});
    }
    json valor(const std::string& fn, json args = json::array()) {
        const json r = llamar(fn, std::move(args));
        EXPECT_TRUE(r.is_object() && r["error"].is_null()) << fn << " → " << r.dump();
        return r.is_object() ? r["valor"] : json();
    }

    // The box of `selector` in the composition, in composition coordinates.
    Caja cajaEnComposicion(const std::string& selector) {
        const json c = sondear("composicion",
                               "const r = document.querySelector(" + json(selector).dump() +
                                   ").getBoundingClientRect(); return [r.left, r.top, r.width, r.height];");
        if (!c.is_array() || c.size() != 4) return {0, 0, 0, 0};
        return {c[0].get<double>(), c[1].get<double>(), c[2].get<double>(), c[3].get<double>()};
    }

    ServidorHTTPPrueba estudio_{servirEstudio};
    // Only lends the editor page an origin of its own.
    ServidorHTTPPrueba editor_{
        [](const PeticionHTTP&) { return ServidorHTTPPrueba::respuesta(404, "", "text/plain"); }};
    std::unique_ptr<WebVista> vista_;
    std::unique_ptr<VentanaVisible> ventana_;
    int llamadas_ = 0;
};

void esperarCerca(const json& real, const json& esperado, double tolerancia = 0.01) {
    ASSERT_TRUE(real.is_object()) << real.dump();
    for (const auto& [clave, valor] : esperado.items()) {
        ASSERT_TRUE(real.contains(clave) && real[clave].is_number()) << clave << " en " << real.dump();
        EXPECT_NEAR(real[clave].get<double>(), valor.get<double>(), tolerancia) << clave;
    }
}

// --- Where it acts ------------------------------------------------------------

TEST_F(PuenteReproductorTest, SoloActuaEnElHijoDirectoServidoDesde127PorHTTP) {
    ASSERT_TRUE(abrir().is_object());
    const std::string mirar =
        "const e = [...document.querySelectorAll('style')]"
        "    .find((s) => s.textContent.includes('transparent!important'));"
        "const r = document.querySelector('hyperframes-player');"
        "return {marca: window.__marca ?? null, estilo: Boolean(e), movs: typeof window.__movs,"
        "        controles: r ? r.hasAttribute('controls') : null};";

    // The top page itself is served from 127.0.0.1 too, and is left alone.
    const json arriba = js(mirar);
    EXPECT_TRUE(arriba["marca"].is_string());
    EXPECT_EQ(arriba["estilo"], false);
    EXPECT_EQ(arriba["movs"], "undefined");

    struct Caso {
        const char* marco;
        bool actua;
        json controles;  // whether its player keeps "controls"; null: it has none
    };
    for (const Caso& caso : {Caso{"reproductor", true, false}, Caso{"composicion", false, nullptr},
                             Caso{"otroHost", false, true}, Caso{"composicionOtroHost", false, nullptr},
                             Caso{"otroEsquema", false, true}, Caso{"srcdoc", false, nullptr}}) {
        SCOPED_TRACE(caso.marco);
        const json visto = sondear(caso.marco, mirar);
        ASSERT_TRUE(visto.is_object());
        // The view's scripts did run there, after the document was parsed:
        // only the bridge's guard held back.
        ASSERT_TRUE(visto["marca"].is_string()) << visto.dump();
        EXPECT_NE(visto["marca"], "loading");
        EXPECT_EQ(visto["estilo"], caso.actua);
        EXPECT_EQ(visto["movs"], caso.actua ? "function" : "undefined");
        EXPECT_EQ(visto["controles"], caso.controles);
    }

    // Orders to every other frame go unheard, and so do orders that the
    // composition posts to the player: only the editor page gives orders.
    for (const char* marco : {"composicion", "otroHost", "composicionOtroHost", "otroEsquema", "srcdoc"}) {
        js("await ordenar(marco, {hfOrden: 'llamar', fn: '__movs', id: marco});"
           "await ordenar(marco, {hfOrden: 'play'});",
           {{"marco", marco}});
    }
    sondear("composicion",
            "parent.postMessage({hfOrden: 'llamar', fn: '__movs', id: 'intruso'}, '*');"
            "parent.postMessage({hfOrden: 'play'}, '*');");
    EXPECT_TRUE(valor("__movs").is_array());
    js("await pausa(300);");

    for (const char* marco : {"otroHost", "otroEsquema"}) {
        EXPECT_EQ(sondear(marco, "return document.querySelector('hyperframes-player').paused;"), true) << marco;
    }
    EXPECT_EQ(sondear("reproductor", "return __hp.paused;"), true);
    const json registro = js("return registro;");
    ASSERT_TRUE(registro.is_array());
    for (const json& r : registro) {
        EXPECT_EQ(r["de"], "reproductor") << r.dump();
        if (r["datos"].value("k", "") == "resp") EXPECT_EQ(r["datos"]["id"], "llamada-1") << r.dump();
    }
}

TEST_F(PuenteReproductorTest, VisteElMarcoYSeQuedaConElReproductor) {
    ASSERT_TRUE(abrir().is_object());
    const json visto = sondear("reproductor",
                               "const r = document.querySelector('hyperframes-player');"
                               "const e = [...document.querySelectorAll('style')].filter("
                               "    (s) => s.textContent.includes('transparent!important'));"
                               "return {estilos: e.map((s) => s.textContent),"
                               "        info: getComputedStyle(document.querySelector('.info')).display,"
                               "        margen: getComputedStyle(document.body).marginLeft,"
                               "        controles: r.hasAttribute('controls'), hp: window.__hp === r};");
    EXPECT_EQ(visto["estilos"], json::array({estiloEsperado}));
    EXPECT_EQ(visto["info"], "none");
    EXPECT_EQ(visto["margen"], "0px");
    EXPECT_EQ(visto["controles"], false);
    EXPECT_EQ(visto["hp"], true);
}

// --- Messages to the editor page ----------------------------------------------

TEST_F(PuenteReproductorTest, ListoUnaSolaVezConLasEtiquetasDeLaComposicion) {
    const json listo = abrir();
    // Only elements with both an id and a label are listed.
    EXPECT_EQ(listo, json({{"hf", 1},
                           {"k", "ready"},
                           {"t", 0},
                           {"d", 10},
                           {"paused", true},
                           {"w", 640},
                           {"h", 360},
                           {"labels", {{"portada", "Portada"}, {"cierre", "Cierre"}}}}));

    // Players may report ready again (a reloaded composition).
    sondear("reproductor", "__hp.dispatchEvent(new Event('ready'));");
    js("await pausa(400);");
    EXPECT_EQ(js("return registro.filter((r) => r.datos.k === 'ready').length;"), 1);

    const json fin = js(
        "const desde = registro.length; await sondear('reproductor', \"__hp.dispatchEvent(new Event('ended'))\");"
        "return await esperarMensaje('reproductor', (d) => d.k === 'ended', desde);");
    EXPECT_EQ(fin, json({{"hf", 1}, {"k", "ended"}, {"t", 0}, {"d", 10}, {"paused", true}, {"w", 640}, {"h", 360}}));
}

TEST_F(PuenteReproductorTest, ElReproductorQueLlegaTardeSeBuscaHastaQueAparece) {
    cargarEditor(*vista_, estudio_.puerto(), editor_.puerto(), "?tarde");
    // Orders before the player exists are ignored.
    js("await pausa(300); ordenar('reproductor', {hfOrden: 'llamar', fn: '__movs', id: 'antes'}); await pausa(300);");
    EXPECT_EQ(js("return registro.length;"), 0);
    EXPECT_EQ(sondear("reproductor", "return typeof window.__hp;"), "undefined");

    sondear("reproductor", "montar();");
    const json listo = esperarListo(*vista_);
    ASSERT_TRUE(listo.is_object());
    EXPECT_EQ(listo["labels"], json({{"portada", "Portada"}, {"cierre", "Cierre"}}));
    EXPECT_EQ(sondear("reproductor", "return window.__hp.hasAttribute('controls');"), false);
    EXPECT_EQ(valor("__movs").size(), 5U);
}

TEST_F(PuenteReproductorTest, OrdenesDelEditor) {
    ASSERT_TRUE(abrir().is_object());
    // In order: each row starts from the player the rows above left.
    struct Caso {
        json orden;
        const char* mensaje;  // the kind of message it brings, or none
        json reproductor;     // what the player holds afterwards
    };
    const Caso casos[] = {
        {{{"hfOrden", "play"}}, "play", {{"paused", false}}},
        {{{"hfOrden", "pause"}}, "pause", {{"paused", true}}},
        {{{"hfOrden", "alternar"}}, "play", {{"paused", false}}},
        {{{"hfOrden", "alternar"}}, "pause", {{"paused", true}}},
        {{{"hfOrden", "ir"}, {"t", 3.5}}, "t", {{"tiempo", 3.5}}},
        {{{"hfOrden", "ir"}, {"t", "7"}}, "t", {{"tiempo", 0}}},
        {{{"hfOrden", "bucle"}, {"v", true}}, nullptr, {{"loop", true}}},
        {{{"hfOrden", "bucle"}, {"v", 0}}, nullptr, {{"loop", false}}},
        {{{"hfOrden", "bucle"}, {"v", "sí"}}, nullptr, {{"loop", true}}},
        {{{"hfOrden", "rebobinar"}}, nullptr, {{"paused", true}, {"loop", true}, {"tiempo", 0}}},
        {{{"orden", "play"}}, nullptr, {{"paused", true}}},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.orden.dump());
        if (caso.mensaje != nullptr) {
            const json m = ordenar(caso.orden, caso.mensaje);
            ASSERT_TRUE(m.is_object()) << "sin mensaje «" << caso.mensaje << "»";
            EXPECT_EQ(m["hf"], 1);
            EXPECT_EQ(m["d"], 10);
            EXPECT_EQ(m["w"], 640);
            EXPECT_EQ(m["h"], 360);
            if (caso.reproductor.contains("paused")) EXPECT_EQ(m["paused"], caso.reproductor["paused"]);
            if (caso.reproductor.contains("tiempo")) EXPECT_EQ(m["t"], caso.reproductor["tiempo"]);
        } else {
            const json nuevos = js(
                "const desde = registro.length; ordenar('reproductor', orden); await pausa(150);"
                "return registro.length - desde;",
                {{"orden", caso.orden}});
            EXPECT_EQ(nuevos, 0);
        }
        const json visto =
            sondear("reproductor", "return {paused: __hp.paused, loop: __hp.loop, tiempo: __hp.tiempo};");
        for (const auto& [clave, esperado] : caso.reproductor.items()) EXPECT_EQ(visto[clave], esperado) << clave;
    }
}

TEST_F(PuenteReproductorTest, LosTiemposLleganComoMuchoCadaCincuentaMilisegundos) {
    ASSERT_TRUE(abrir().is_object());
    // The player reports its time in a tight loop for 400 ms, its current
    // time being the seconds gone since the loop began on the page's clock
    // (the one the bridge measures with), so the count does not depend on
    // how punctual the page's timers are.
    const json tiempos = js(
        "await pausa(100); const desde = registro.length;"
        "await sondear('reproductor', `"
        "  const inicio = performance.now();"
        "  Object.defineProperty(__hp, 'currentTime', {get: () => (performance.now() - inicio) / 1000});"
        "  while (performance.now() - inicio < 400) __hp.dispatchEvent(new Event('timeupdate'));`);"
        "await pausa(200);"
        "return registro.slice(desde).filter((r) => r.datos.k === 't').map((r) => r.datos.t);");
    ASSERT_TRUE(tiempos.is_array());
    // One at the start, then one as soon as 50 ms have passed, and so on.
    EXPECT_GE(tiempos.size(), 7U);
    EXPECT_LE(tiempos.size(), 9U);
    ASSERT_FALSE(tiempos.empty());
    // The first time goes out with the first event, not after a wait (a
    // loaded machine may still preempt the loop for a few milliseconds).
    EXPECT_LT(tiempos[0].get<double>(), 0.049);
    for (std::size_t i = 1; i < tiempos.size(); ++i) {
        const double paso = tiempos[i].get<double>() - tiempos[i - 1].get<double>();
        // The bridge waits 50 ms on its own clock, then reads the player's
        // time: a loaded machine may preempt the page between those two
        // reads, so a step can look a few milliseconds short. A bridge that
        // sent on every event would give steps of about zero.
        EXPECT_GE(paso, 0.040) << i;
        EXPECT_LT(paso, 0.1) << i;
    }
}

// --- Calls ------------------------------------------------------------------------

TEST_F(PuenteReproductorTest, LlamarDevuelveElValorPorJSONOElError) {
    ASSERT_TRUE(abrir().is_object());
    sondear("reproductor",
            "window.lanza = () => { throw new Error('se rompió'); };"
            "window.lanzaTexto = () => { throw 'a secas'; };"
            "window.suma = (a, b) => a + b;"
            "window.cuenta = (...a) => a.length;"
            "window.daFuncion = () => () => 1;"
            "window.circular = () => { const o = {}; o.o = o; return o; };"
            "window.nada = () => undefined;"
            "window.objeto = () => ({a: [1, 'b', null], f: () => 1, u: undefined});");
    const json sinArgs = json();
    struct Caso {
        json fn;
        json args;  // null: the key is left out
        json valor;
        json error;
    };
    const Caso casos[] = {
        {"noExiste", json::array(), nullptr, nullptr},
        {42, json::array(), nullptr, nullptr},
        {"lanza", json::array(), nullptr, "se rompió"},
        {"lanzaTexto", json::array(), nullptr, "a secas"},
        {"suma", json::array({2, 3}), 5, nullptr},
        {"cuenta", sinArgs, 0, nullptr},
        {"cuenta", "x", 0, nullptr},
        {"daFuncion", json::array(), nullptr, nullptr},
        {"circular", json::array(), nullptr, nullptr},
        {"nada", json::array(), nullptr, nullptr},
        {"objeto", json::array(), {{"a", {1, "b", nullptr}}}, nullptr},
        // The bridge's own functions with nothing to work on.
        {"__editMov", json::array({99, json{{"d", 1}}}), false, nullptr},
        {"__encuadre", json::array({99}), nullptr, nullptr},
        {"__destino", json::array({99}), nullptr, nullptr},
        {"__encuadreValores", json::array({0, 0, 10, 10}), nullptr, nullptr},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.fn.dump() + " " + caso.args.dump());
        json orden = {{"hfOrden", "llamar"}, {"fn", caso.fn}};
        if (!caso.args.is_null()) orden["args"] = caso.args;
        const json r = llamarOrden(orden);
        ASSERT_TRUE(r.is_object()) << "sin respuesta";
        EXPECT_EQ(r, json({{"hf", 1},
                           {"k", "resp"},
                           {"id", "llamada-" + std::to_string(llamadas_)},
                           {"valor", caso.valor},
                           {"error", caso.error}}));
    }
    EXPECT_EQ(js("return registro.filter((r) => r.datos.k === 'resp').length;"), std::size(casos));
}

// --- Movements --------------------------------------------------------------------

TEST_F(PuenteReproductorTest, MovimientosDeLasLineasDeTiempo) {
    ASSERT_TRUE(abrir().is_object());
    // Skipped: a tween shorter than 0.05 s, one of a plain object and one
    // without a plain property. The scene's tweens are reached twice and
    // listed once; starts climb the scene (start 2, time scale 2) and the
    // inner timeline (start 1, time scale 0, taken as 1) up to the main one.
    const json esperado = json::array({
        {{"i", 0}, {"el", "#titulo"}, {"s", 0.5}, {"d", 1}, {"ease", "power2.out"},
         {"props", pares({{"x", 100}, {"opacity", 0.5}, {"color", "red"}})}},
        {{"i", 1}, {"el", "Portada (+2)"}, {"s", 2.5}, {"d", 2}, {"ease", ""},
         {"props", pares({{"y", "-=20"}, {"autoAlpha", 1}})}},
        {{"i", 2}, {"el", ".pie"}, {"s", 2.75}, {"d", 1.5}, {"ease", "sine.inOut"},
         {"props", pares({{"scale", 1.2}, {"x", 40}})}},
        {{"i", 3}, {"el", "i"}, {"s", 3}, {"d", 1}, {"ease", ""}, {"props", pares({{"rotation", 90}})}},
        {{"i", 4}, {"el", "#camara"}, {"s", 4}, {"d", 2}, {"ease", ""},
         {"props", pares({{"x", -100}, {"y", -50}, {"scale", 1.5}})}},
    });
    EXPECT_EQ(valor("__movs"), esperado);
    EXPECT_EQ(sondear("reproductor", "return window.__tw.length;"), 5);

    // An edit moves the tween within its own timeline, so the absolute start
    // moves by half of it here.
    const json busquedas = sondear("reproductor", "return __hp.busquedas;");
    const json cambio = {{"ds", 0.5}, {"d", 3}, {"ease", "expo.in"}, {"vars", {{"y", 30}}}};
    EXPECT_EQ(valor("__editMov", json::array({1, cambio})), true);
    EXPECT_EQ(sondear("composicion", "return __timelines.escena.hijos[0].invalidado;"), 1);
    EXPECT_EQ(sondear("reproductor", "return __hp.busquedas;"), busquedas.get<int>() + 1);
    json editado = esperado;
    editado[1] = {{"i", 1}, {"el", "Portada (+2)"}, {"s", 2.75}, {"d", 3}, {"ease", "expo.in"},
                  {"props", pares({{"y", 30}, {"autoAlpha", 1}})}};
    EXPECT_EQ(valor("__movs"), editado);

    for (const json& indice : {json(5), json(-1), json(0.5), json("1")}) {
        EXPECT_EQ(valor("__editMov", json::array({indice, json{{"d", 9}}})), false) << indice.dump();
    }

    sondear("composicion", "delete window.__timelines;");
    EXPECT_EQ(valor("__movs"), json::array());
    EXPECT_EQ(valor("__editMov", json::array({0, json{{"d", 9}}})), false);
}

// --- Selection ----------------------------------------------------------------------

TEST_F(PuenteReproductorTest, SeleccionarElTextoBajoUnPunto) {
    ASSERT_TRUE(abrir().is_object());
    // Nothing selected yet: nothing to change.
    EXPECT_EQ(valor("__setTexto", json::array({"x"})), false);
    EXPECT_EQ(valor("__setEstilo", json::array({json{{"color", "red"}}})), false);

    std::string largo;
    for (int i = 0; i < 20; ++i) largo += std::string(i == 0 ? "" : " ") + "Cortes clásicos y modernos.";
    struct Caso {
        const char* apuntar;   // the element under the point, in the composition
        double desdeIzquierda;  // the point's distance from its left edge; < 0: its centre
        const char* elegido;   // the element selected
        json esperado;
    };
    const Caso casos[] = {
        {"#titulo em", -1, "#titulo em",
         {{"el", "em"}, {"escena", "Portada"}, {"texto", "gran"}, {"tamano", "40"}, {"peso", "700"},
          {"color", "123456"}}},
        {"#titulo", 6, "#titulo",
         {{"el", "h1#titulo[data-hf-id=\"t1\"]"}, {"escena", "Portada"}, {"texto", "Hola mundo"}, {"tamano", "40"},
          {"peso", "700"}, {"color", "123456"}}},
        // Climbs from the icon, which has no text, to its paragraph.
        {".icono", -1, "#lema",
         {{"el", "p#lema.lema.suave.extra"}, {"escena", "Portada"}, {"texto", "Corte y barba"}, {"tamano", "20"},
          {"peso", "400"}, {"color", "FFFFFF"}}},
        // No text anywhere above it: the element hit stays.
        {".caja", -1, ".caja",
         {{"el", "div.caja.vacia"}, {"escena", "Portada"}, {"texto", ""}, {"tamano", "16"}, {"peso", "400"},
          {"color", "000000"}}},
        {"#largo", 10, "#largo",
         {{"el", "p#largo"}, {"escena", "Cierre"}, {"texto", primerosCaracteres(largo, 300)}, {"tamano", "8"},
          {"peso", "400"}, {"color", "000000"}}},
        {"i", -1, "i",
         {{"el", "i"}, {"escena", ""}, {"texto", "nota"}, {"tamano", "16"}, {"peso", "400"}, {"color", "000000"}}},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.apuntar);
        const Caja a = cajaEnComposicion(caso.apuntar);
        const double x = caso.desdeIzquierda < 0 ? a.x + a.w / 2 : a.x + caso.desdeIzquierda;
        const json r = valor("__sel", json::array({paginaX(x), paginaY(a.y + a.h / 2)}));
        ASSERT_TRUE(r.is_object()) << r.dump();
        for (const auto& [clave, esperado] : caso.esperado.items()) EXPECT_EQ(r[clave], esperado) << clave;
        const Caja e = cajaEnComposicion(caso.elegido);
        esperarCerca(r, {{"x", paginaX(e.x)}, {"y", paginaY(e.y)}, {"w", e.w / 2}, {"h", e.h / 2}});
    }
    // Outside the composition nothing is hit.
    EXPECT_EQ(valor("__sel", json::array({390, 240})), json::object());

    // Changes go to the selection: a paragraph with an element inside gets
    // its first own text replaced; an element without children, all of it.
    const Caja icono = cajaEnComposicion(".icono");
    valor("__sel", json::array({paginaX(icono.x + icono.w / 2), paginaY(icono.y + icono.h / 2)}));
    EXPECT_EQ(valor("__setTexto", json::array({"Nuevo lema "})), true);
    const json estilo = {{"color", "rgb(1, 2, 3)"}, {"font-size", "30px"}, {"fontWeight", "700"}};
    EXPECT_EQ(valor("__setEstilo", json::array({estilo})), true);
    EXPECT_EQ(valor("__setEstilo", json::array({json::object()})), false);
    EXPECT_EQ(sondear("composicion",
                      "const p = document.querySelector('#lema'); const c = getComputedStyle(p);"
                      "return [p.textContent, p.children.length, c.color, c.fontSize, c.fontWeight];"),
              json({"Nuevo lema  barba", 1, "rgb(1, 2, 3)", "30px", "700"}));

    const Caja em = cajaEnComposicion("#titulo em");
    valor("__sel", json::array({paginaX(em.x + em.w / 2), paginaY(em.y + em.h / 2)}));
    EXPECT_EQ(valor("__setTexto", json::array({"enorme"})), true);
    EXPECT_EQ(sondear("composicion", "return document.querySelector('#titulo').textContent;"), "Hola   enorme mundo");
}

// --- Camera framing -------------------------------------------------------------------

TEST_F(PuenteReproductorTest, EncuadreDeUnMovimientoDeCamaraYSuInverso) {
    ASSERT_TRUE(abrir().is_object());
    ASSERT_EQ(valor("__movs").size(), 5U);
    // The camera is a 1280 × 720 canvas shown at scale 1.5 moved by
    // (-100, -50); fitted whole into the 640 × 360 video it takes scale
    // 0.5 × 0.92, centred. The rectangle the video showed depends on the
    // transform origin.
    struct Caso {
        const char* origen;
        json vista;     // rx, ry, rw, rh
        json entero;    // the camera values that show the whole canvas
        json dibujado;  // those that show the rectangle (40, 20, 100, 70), rounded
    };
    const Caso casos[] = {
        {"0px 0px", {{"rx", 48.1333}, {"ry", 24.8667}, {"rw", 98.1333}, {"rh", 55.2}},
         {{"scale", 0.5}, {"x", 0}, {"y", 0}}, {{"scale", 1.183}, {"x", 25.8}, {"y", -14.4}}},
        {"640px 360px", {{"rx", 97.2}, {"ry", 52.4667}, {"rw", 98.1333}, {"rh", 55.2}},
         {{"scale", 0.5}, {"x", -320}, {"y", -180}}, {{"scale", 1.183}, {"x", 142.9}, {"y", 51.4}}},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.origen);
        sondear("composicion", std::string("const c = document.querySelector('#camara'); c.style.transform = '';"
                                           "c.style.transformOrigin = '") + caso.origen + "';");
        const json r = valor("__encuadre", json::array({4}));
        esperarCerca(r, {{"vx", 32.8}, {"vy", 17.2}, {"vw", 294.4}, {"vh", 165.6}});
        esperarCerca(r, caso.vista);
        // The camera now shows the fitted canvas.
        const Caja camara = cajaEnComposicion("#camara");
        EXPECT_NEAR(camara.x, 25.6, 0.01);
        EXPECT_NEAR(camara.y, 14.4, 0.01);
        EXPECT_NEAR(camara.w, 588.8, 0.01);
        EXPECT_NEAR(camara.h, 331.2, 0.01);

        // Drawing back what the video showed gives the camera it had.
        ASSERT_TRUE(r.is_object());
        EXPECT_EQ(valor("__encuadreValores", json::array({r["rx"], r["ry"], r["rw"], r["rh"]})),
                  json({{"scale", 1.5}, {"x", -100}, {"y", -50}}));
        EXPECT_EQ(valor("__encuadreValores", json::array({r["vx"], r["vy"], r["vw"], r["vh"]})), caso.entero);
        // A rectangle of another shape than the video's fits by its height.
        EXPECT_EQ(valor("__encuadreValores", json::array({40, 20, 100, 70})), caso.dibujado);
    }
}

TEST_F(PuenteReproductorTest, DestinoDeUnMovimiento) {
    ASSERT_TRUE(abrir().is_object());
    ASSERT_EQ(valor("__movs").size(), 5U);
    struct Caso {
        int movimiento;
        const char* elemento;
        double f;   // the player's half size, times the parent's own scale
        double dx;  // in page points: the tween's x times f
    };
    // The title moves 100 in a plain scene; the footer 40 in a scene shown
    // at half its size.
    for (const Caso& caso : {Caso{0, "#titulo", 0.5, 50}, Caso{2, ".pie", 0.25, 10}}) {
        SCOPED_TRACE(caso.elemento);
        const Caja c = cajaEnComposicion(caso.elemento);
        esperarCerca(valor("__destino", json::array({caso.movimiento})),
                     {{"x", paginaX(c.x + c.w / 2) + caso.dx}, {"y", paginaY(c.y + c.h / 2)}, {"f", caso.f}});
    }
}

// --- The editor's own web view -------------------------------------------------------

TEST_F(PuenteReproductorTest, LaVistaDelEditorLlevaElPuente) {
    const auto editor = crearWebEditor({});
    editor->registrarEsquema("prueba", servirPorEsquema);
    const VentanaVisible ventana(editor->widget());
    cargarEditor(*editor, estudio_.puerto(), editor_.puerto(), "");
    const json listo = esperarListo(*editor);
    ASSERT_TRUE(listo.is_object());
    EXPECT_EQ(listo["labels"], json({{"portada", "Portada"}, {"cierre", "Cierre"}}));
}

}  // namespace
}  // namespace sorvenia
