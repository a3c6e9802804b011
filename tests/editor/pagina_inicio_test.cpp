// The home page (resources/editor/inicio/inicio.html) in a real WebKitGTK view
// under a display (Xvfb), never shown: "listo" once window.inicio exists,
// what it shows for the home data, the message each of its controls posts
// (clicking the real buttons), malformed data, outside text shown as text,
// and a picture of the home screen.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "esperar_bucle.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "pagina_prueba.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;
using prueba::Buzon;
using prueba::pausa;

// The build's copy of the resources: the page with its fonts.
const std::filesystem::path carpetaEditor = std::filesystem::path(CARPETA_RECURSOS) / "editor";

// "2025-03-01T09:30:00Z" for now minus `minutos`.
std::string isoHace(int minutos) {
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()) - minutos * 60;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char texto[32];
    std::strftime(texto, sizeof texto, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return texto;
}

// A data URL of the picture of a small web page: a dark hero of colour
// `hero` on top, a light body below.
std::string miniaturaSvg(const std::string& hero, const std::string& acento) {
    const std::string svg =
        "<svg xmlns='http://www.w3.org/2000/svg' width='1440' height='900' viewBox='0 0 1440 900'>"
        "<rect width='1440' height='900' fill='#f7f4ee'/>"
        "<rect width='1440' height='520' fill='" + hero + "'/>"
        "<rect x='96' y='40' width='160' height='28' rx='6' fill='#ffffff' opacity='0.9'/>"
        "<rect x='1040' y='44' width='300' height='20' rx='10' fill='#ffffff' opacity='0.35'/>"
        "<rect x='96' y='190' width='720' height='70' rx='10' fill='#ffffff'/>"
        "<rect x='96' y='290' width='540' height='26' rx='8' fill='#ffffff' opacity='0.55'/>"
        "<rect x='96' y='370' width='220' height='64' rx='32' fill='" + acento + "'/>"
        "<rect x='96' y='600' width='392' height='220' rx='18' fill='#e8e2d6'/>"
        "<rect x='524' y='600' width='392' height='220' rx='18' fill='#e8e2d6'/>"
        "<rect x='952' y='600' width='392' height='220' rx='18' fill='#e8e2d6'/>"
        "</svg>";
    std::string url = "data:image/svg+xml,";
    static const char* hex = "0123456789ABCDEF";
    for (const char letra : svg) {
        const auto c = static_cast<unsigned char>(letra);
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c == '=' || c == ':' ||
            c == '\'')
            url += static_cast<char>(c);
        else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

json integraciones() {
    const std::vector<std::array<const char*, 6>> filas = {
        {"remotion", "Remotion", "Vídeos programados", "Vídeo", "video", "conectar"},
        {"hyperframes", "HyperFrames", "Vídeos desde HTML", "Vídeo", "video", "conectar"},
        {"higgsfield", "Higgsfield", "Vídeo con IA", "Vídeo", "clave", "conectar"},
        {"elevenlabs", "ElevenLabs", "Voces en off", "Voz", "clave", "activo"},
        {"gemini", "Nano Banana", "Imágenes con Gemini", "Imagen", "clave", "activo"},
        {"fal", "fal", "Flux y Kontext", "Imagen", "clave", "conectar"},
        {"openai", "GPT-image", "Imágenes de OpenAI", "Imagen", "clave", "conectar"},
        {"pexels", "Pexels", "Fotos de stock", "Fotos", "clave", "activo"},
        {"unsplash", "Unsplash", "Fotos de stock", "Fotos", "clave", "conectar"},
    };
    json r = json::array();
    for (const auto& f : filas)
        r.push_back({{"id", f[0]},
                     {"nombre", f[1]},
                     {"para", f[2]},
                     {"grupo", f[3]},
                     {"accion", f[4]},
                     {"estado", f[5]},
                     {"logo", std::string("logos/") + f[0] + ".png"}});
    return r;
}

json trabajos() {
    return json::array({{{"clave", "a1b2c3d4e5f60718"},
                         {"id", "d1"},
                         {"nombre", "Barbería Ercilla"},
                         {"ia", "Claude Code"},
                         {"estado", "trabajando"},
                         {"paso", "Escribiendo la sección de precios"},
                         {"texto", ""},
                         {"modo", "diseno"},
                         {"desde", isoHace(3)},
                         {"hasta", ""},
                         {"aqui", false},
                         {"abrible", true}},
                        {{"clave", "0f1e2d3c4b5a6978"},
                         {"id", ""},
                         {"nombre", "Landing de recetas"},
                         {"ia", "Codex"},
                         {"estado", "listo"},
                         {"paso", ""},
                         {"texto", "He terminado la portada y la sección de opiniones."},
                         {"modo", "diseno"},
                         {"desde", isoHace(40)},
                         {"hasta", isoHace(28)},
                         {"aqui", false},
                         {"abrible", false}}});
}

json datosCompletos() {
    return {
        {"disenos",
         json::array({{{"id", "d1"},
                       {"nombre", "Barbería Ercilla"},
                       {"modificado", "2023-03-01 14:05:09"},
                       {"miniatura", miniaturaSvg("#1d2b2a", "#f4c95d")}},
                      {{"id", "d2"}, {"nombre", "Clínica dental Sonríe"}, {"modificado", "2023-02-20 10:00:00"}, {"miniatura", ""}},
                      {{"id", "d3"},
                       {"nombre", "Estudio Lumen"},
                       {"modificado", "2023-01-05 08:00:00"},
                       {"miniatura", miniaturaSvg("#2b1d3a", "#ff7a59")}}})},
        {"logo", "logos/sorvenia.svg"},
        {"cliente", {{"nombre", "Ane Etxeberria"}, {"email", "ane@ercilla.eus"}}},
        {"ia", {{"nombre", "Claude Code"}, {"logo", "logos/claude.png"}, {"lista", true}}},
        {"ias",
         json::array({{{"id", "claude"}, {"nombre", "Claude Code"}, {"sesion", true}},
                      {{"id", "codex"}, {"nombre", "Codex"}, {"sesion", false}}})},
        {"iasListas", true},
        {"sinSubir",
         json::array({{{"archivo", "nuevo-5f2a.json"},
                       {"nombre", "Carta de verano"},
                       {"nuevo", true},
                       {"abrir", true},
                       {"fecha", "2023-03-01 14:05:09"}},
                      {{"archivo", "d2-7c1e.json"},
                       {"nombre", "Clínica dental Sonríe"},
                       {"nuevo", false},
                       {"abrir", true},
                       {"fecha", "2023-02-21 09:00:00"}}})},
        {"error", nullptr},
        {"actualizacion", {{"version", "1.8.0"}}},
        {"integraciones", integraciones()},
        {"trabajos", trabajos()},
    };
}

class PaginaInicioTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run)."; }

    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(carpetaEditor / "inicio" / "inicio.html")) << carpetaEditor;
        OpcionesWebVista opciones;
        opciones.inspeccionable = true;
        vista_ = std::make_unique<WebVista>("inicio", opciones);
        buzon_ = std::make_unique<Buzon>(*vista_);
        vista_->cargarPagina(carpetaEditor / "inicio" / "inicio.html", carpetaEditor);
        ASSERT_TRUE(esperarHasta([&] { return !buzon_->de("listo").empty(); })) << "La página no ha dicho «listo».";
    }

    json llamar(const std::string& cuerpo, json argumentos = json::object()) {
        return prueba::llamarEnPagina(*vista_, cuerpo, std::move(argumentos));
    }

    void datos(const json& d) { llamar("window.inicio.datos(d); return true;", {{"d", d}}); }

    // Clicks the element `selector` (it must exist and be enabled) and gives
    // the messages posted since: those that came within `esperaMs`, or
    // soon after the first one.
    std::vector<json> pulsar(const std::string& selector, int esperaMs = 200) {
        const std::size_t antes = buzon_->mensajes.size();
        const json hecho = llamar(
            "const e = document.querySelector(sel);\n"
            "if (!e) return 'no existe';\n"
            "if (e.disabled) return 'desactivado';\n"
            "e.click(); return 'ok';",
            {{"sel", selector}});
        EXPECT_EQ(hecho, "ok") << selector;
        if (esperarHasta([&] { return buzon_->mensajes.size() > antes; }, std::chrono::milliseconds(esperaMs))) pausa(80);
        return {buzon_->mensajes.begin() + static_cast<std::ptrdiff_t>(antes), buzon_->mensajes.end()};
    }

    // Clicks and expects exactly one message, `esperado`.
    void pulsarYEsperar(const std::string& selector, const json& esperado) {
        SCOPED_TRACE(selector);
        const auto m = pulsar(selector, 5000);
        ASSERT_EQ(m.size(), 1u) << json(m).dump();
        EXPECT_EQ(m[0], esperado);
    }

    // The text of the first element `selector` finds (null when none).
    json texto(const std::string& selector) {
        return llamar("const e = document.querySelector(sel); return e ? e.textContent : null;", {{"sel", selector}});
    }
    json desactivado(const std::string& selector) {
        return llamar("const e = document.querySelector(sel); return e ? e.disabled : null;", {{"sel", selector}});
    }
    json textos(const std::string& selector) {
        return llamar("return [...document.querySelectorAll(sel)].map(e => e.textContent.trim());", {{"sel", selector}});
    }
    bool visible(const std::string& selector) {
        return llamar("const e = document.querySelector(sel); return !!e && !e.closest('[hidden]') && e.getClientRects().length > 0;",
                      {{"sel", selector}}) == true;
    }

    std::unique_ptr<WebVista> vista_;
    std::unique_ptr<Buzon> buzon_;
};

TEST_F(PaginaInicioTest, DiceListoUnaVezConElObjetoEntero) {
    pausa(300);
    EXPECT_EQ(buzon_->de("listo").size(), 1u);
    EXPECT_EQ(buzon_->de("listo").front(), json({{"tipo", "listo"}}));
    EXPECT_EQ(llamar("return ['datos', 'trabajos', 'aviso'].map(f => typeof window.inicio[f]);"),
              json({"function", "function", "function"}));
    // The double guard native code uses for the jobs works as written.
    EXPECT_EQ(llamar("return !!(window.inicio && window.inicio.trabajos && (window.inicio.trabajos([]), true));"), true);
    // Before any data: placeholders of designs and the search for the AI tools.
    EXPECT_EQ(llamar("return document.querySelectorAll('#rejilla-disenos .esqueleto').length;"), 4);
    EXPECT_TRUE(visible("#ias-buscando"));
    EXPECT_EQ(llamar("return document.body.dataset.estado;"), "cargando");
}

TEST_F(PaginaInicioTest, PintaDisenosCopiasTrabajosIAsEIntegraciones) {
    datos(datosCompletos());
    EXPECT_EQ(llamar("return document.body.dataset.estado;"), "listo");
    // The account's logo takes the drawn one's place: one logo in the header.
    ASSERT_TRUE(esperarHasta([&] { return visible("#logo-imagen"); }));
    EXPECT_FALSE(visible("#logo-dibujo"));

    // Designs, in the account's order: name, date, picture or placeholder.
    EXPECT_EQ(textos(".diseno .diseno-nombre"), json({"Barbería Ercilla", "Clínica dental Sonríe", "Estudio Lumen"}));
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.diseno')].map(d => d.dataset.id);"), json({"d1", "d2", "d3"}));
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.diseno time')].map(t => t.getAttribute('datetime'));"),
              json({"2023-03-01T14:05:09.000Z", "2023-02-20T10:00:00.000Z", "2023-01-05T08:00:00.000Z"}));
    EXPECT_EQ(textos(".diseno .diseno-fecha"), json({"Editado 1 mar 2023", "Editado 20 feb 2023", "Editado 5 ene 2023"}));
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.diseno .miniatura')].map(m => m.querySelector('img') ? 'imagen' : "
                     "m.querySelector('.sustituto-letra').textContent);"),
              json({"imagen", "C", "imagen"}));
    EXPECT_EQ(texto("#disenos-cuenta"), "3");
    EXPECT_FALSE(visible("#disenos-vacio"));

    // Copies kept on this computer.
    EXPECT_TRUE(visible("#sin-subir"));
    EXPECT_EQ(textos(".copia .copia-nombre"), json({"Carta de verano", "Clínica dental Sonríe"}));
    const json detalles = textos(".copia .copia-detalle");
    EXPECT_EQ(detalles[0], "Diseño nuevo, nunca subido · guardado 1 mar 2023");
    EXPECT_EQ(detalles[1], "Cambios que no llegaron a tu cuenta · guardado 21 feb 2023");
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.copia')].map(c => c.dataset.archivo);"),
              json({"nuevo-5f2a.json", "d2-7c1e.json"}));

    // Jobs: the running one first, with its step; the finished one can be removed, not opened.
    EXPECT_EQ(textos(".trabajo .trabajo-nombre"), json({"Barbería Ercilla", "Landing de recetas"}));
    EXPECT_EQ(textos(".trabajo .trabajo-estado"), json({"Trabajando · Claude Code", "Terminado · Codex"}));
    EXPECT_EQ(textos(".trabajo .trabajo-paso"), json({"Escribiendo la sección de precios"}));
    EXPECT_EQ(textos(".trabajo .trabajo-texto"), json({"He terminado la portada y la sección de opiniones."}));
    EXPECT_EQ(textos(".trabajo .trabajo-cuando"), json({"empezó hace 3 min", "hace 28 min · tardó 12 min"}));
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.trabajo')].map(t => [t.dataset.clave, "
                     "[...t.querySelectorAll('.trabajo-botones button')].map(b => b.className)]);"),
              json::parse(R"([["a1b2c3d4e5f60718", ["trabajo-abrir", "trabajo-parar"]],
                              ["0f1e2d3c4b5a6978", ["icono trabajo-quitar"]]])"));
    EXPECT_EQ(texto("#trabajos-cuenta"), "1");
    EXPECT_FALSE(visible("#trabajos-vacio"));

    // The AI tools: signed in, installed without a session, not installed.
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.ia')].map(i => [i.dataset.ia, i.querySelector('strong').textContent, "
                     "i.querySelector('.estado-ia').textContent, i.querySelector('button') ? i.querySelector('button').textContent : '']);"),
              json::parse(R"([["claude", "Claude Code", "Lista", ""],
                              ["codex", "Codex", "Sin sesión", "Iniciar sesión"],
                              ["gemini", "Gemini CLI", "No instalada", "Instalar"]])"));
    EXPECT_FALSE(visible("#ias-buscando"));
    // The request box starts with the signed-in tool, and names the other one's state.
    EXPECT_EQ(llamar("const s = document.getElementById('pedido-ia'); return [s.value, [...s.options].map(o => o.textContent)];"),
              json::parse(R"j(["claude", ["Claude Code", "Codex (sin sesión)"]])j"));
    EXPECT_EQ(llamar("return document.getElementById('pedido-plantilla').options.length;"), 9);
    EXPECT_EQ(llamar("return document.getElementById('pedido-plantilla').value;"), "web");

    // Integration cards by group, active ones marked.
    EXPECT_EQ(textos(".grupo-integraciones h3"), json({"Vídeo", "Voz", "Imagen", "Fotos"}));
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.integracion')].map(i => i.dataset.integracion + (i.classList.contains('activa') ? '+' : ''));"),
              json({"remotion", "hyperframes", "higgsfield", "elevenlabs+", "gemini+", "fal", "openai", "pexels+", "unsplash"}));

    // The account, the current tool, the update offer; no error.
    EXPECT_EQ(texto("#cuenta-nombre"), "Ane Etxeberria");
    EXPECT_EQ(texto("#menu-email"), "ane@ercilla.eus");
    EXPECT_EQ(texto("#saludo"), "Hola, Ane");
    EXPECT_EQ(texto("#ia-actual-nombre"), "Claude Code");
    EXPECT_TRUE(visible("#actualizacion"));
    EXPECT_EQ(texto("#actualizacion-texto"),
              "Hay una versión nueva de Sorvenia Code: la 1.8.0.");
    EXPECT_FALSE(visible("#error-cuenta"));

    // The job list alone replaces the jobs and nothing else.
    llamar("window.inicio.trabajos([]); return 1;");
    EXPECT_EQ(llamar("return document.querySelectorAll('.trabajo').length;"), 0);
    EXPECT_TRUE(visible("#trabajos-vacio"));
    EXPECT_EQ(llamar("return document.querySelectorAll('.diseno').length;"), 3);

    // An account error; then an empty account: the empty states.
    json vacio = datosCompletos();
    vacio["disenos"] = json::array();
    vacio["sinSubir"] = json::array();
    vacio["trabajos"] = json::array();
    vacio["error"] = "No hay conexión con sorvenia.es.";
    vacio.erase("actualizacion");
    vacio.erase("ia");
    vacio["ias"] = json::array();
    vacio["iasListas"] = false;
    datos(vacio);
    EXPECT_TRUE(visible("#error-cuenta"));
    EXPECT_EQ(texto("#error-texto"), "No hay conexión con sorvenia.es.");
    EXPECT_TRUE(visible("#disenos-vacio"));
    EXPECT_EQ(llamar("return document.querySelectorAll('.diseno').length;"), 0);
    EXPECT_FALSE(visible("#sin-subir"));
    EXPECT_TRUE(visible("#trabajos-vacio"));
    EXPECT_FALSE(visible("#actualizacion"));
    EXPECT_FALSE(visible("#ia-actual"));
    EXPECT_TRUE(visible("#ias-buscando"));
    EXPECT_EQ(desactivado("#pedido-crear"), true);
    // Tools detected, none installed: install buttons for all three.
    vacio["iasListas"] = true;
    datos(vacio);
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.ia button')].map(b => b.dataset.instalar);"),
              json({"claude", "codex", "gemini"}));
    EXPECT_EQ(texto("#pedido-ayuda"),
              "Instala una IA (a la derecha) para pedirle diseños.");
}

TEST_F(PaginaInicioTest, AbrirYBorrarDisenosYNuevoDisenoConSuPlantilla) {
    datos(datosCompletos());
    pulsarYEsperar(".diseno[data-id='d3'] .diseno-abrir", {{"tipo", "abrir"}, {"id", "d3"}});

    // Deleting asks first, in the page; cancelling sends nothing.
    EXPECT_TRUE(pulsar(".diseno[data-id='d2'] .diseno-borrar").empty());
    EXPECT_TRUE(visible("#dialogo"));
    EXPECT_EQ(texto("#dialogo-titulo"), "¿Borrar «Clínica dental Sonríe»?");
    EXPECT_TRUE(pulsar("#dialogo-cancelar").empty());
    EXPECT_FALSE(visible("#dialogo"));
    EXPECT_TRUE(pulsar(".diseno[data-id='d2'] .diseno-borrar").empty());
    pulsarYEsperar("#dialogo-aceptar", {{"tipo", "borrar"}, {"id", "d2"}});
    EXPECT_FALSE(visible("#dialogo"));
    // Until the account's new list comes, the card stays, marked and inert.
    EXPECT_EQ(llamar("const d = document.querySelector(\".diseno[data-id='d2']\");"
                     "return [d.classList.contains('borrando'), d.querySelector('.diseno-abrir').disabled];"),
              json({true, true}));
    // An account error (the deletion failed) gives the card back.
    json conError = datosCompletos();
    conError["error"] = "No se ha podido borrar el diseño.";
    datos(conError);
    EXPECT_EQ(llamar("return document.querySelector(\".diseno[data-id='d2']\").classList.contains('borrando');"), false);
    pulsar(".diseno[data-id='d2'] .diseno-borrar");
    pulsarYEsperar("#dialogo-aceptar", {{"tipo", "borrar"}, {"id", "d2"}});
    // Another send of the same list keeps the mark and the very same cards.
    llamar("document.querySelector(\".diseno[data-id='d1']\").marcaDePrueba = 1; return 1;");
    datos(datosCompletos());
    EXPECT_EQ(llamar("return [document.querySelector(\".diseno[data-id='d1']\").marcaDePrueba, "
                     "document.querySelector(\".diseno[data-id='d2']\").classList.contains('borrando')];"),
              json({1, true}));
    json sinD2 = datosCompletos();
    sinD2["disenos"].erase(1);
    datos(sinD2);
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.diseno')].map(d => d.dataset.id);"), json({"d1", "d3"}));

    // Escape also cancels.
    pulsar(".diseno[data-id='d1'] .diseno-borrar");
    llamar("document.dispatchEvent(new KeyboardEvent('keydown', {key: 'Escape', bubbles: true})); return 1;");
    pausa(100);
    EXPECT_FALSE(visible("#dialogo"));
    EXPECT_EQ(buzon_->de("borrar").size(), 2u);

    // A new design: the nine page sizes, then the chosen one.
    EXPECT_TRUE(pulsar("#nuevo-diseno").empty());
    EXPECT_EQ(llamar("return [...document.querySelectorAll('#dialogo .plantilla')].map(p => [p.dataset.plantilla, "
                     "p.querySelector('strong').textContent, p.querySelector('small').textContent]);"),
              json::parse(R"([["web", "Página web", "1440 × alto libre"], ["webmovil", "Web móvil", "390 × alto libre"],
                              ["escritorio", "Pantalla", "1440 × 900"], ["tableta", "Tableta", "834 × 1194"],
                              ["movil", "Móvil", "390 × 844"], ["redes", "Post redes", "1080 × 1350"],
                              ["presentacion", "Diapositiva", "1920 × 1080"], ["aplicacion", "Aplicación", "1440 × alto libre"],
                              ["appmovil", "App de móvil", "390 × 844"]])"));
    pulsarYEsperar("#dialogo .plantilla[data-plantilla='movil']", {{"tipo", "nuevo"}, {"plantilla", "movil"}});
    EXPECT_FALSE(visible("#dialogo"));

    // With no designs, the empty state's button does the same.
    json vacio = datosCompletos();
    vacio["disenos"] = json::array();
    datos(vacio);
    pulsar("#vacio-nuevo");
    pulsarYEsperar("#dialogo .plantilla[data-plantilla='presentacion']", {{"tipo", "nuevo"}, {"plantilla", "presentacion"}});
}

TEST_F(PaginaInicioTest, CrearConIAConPlantillaImagenesYVideo) {
    datos(datosCompletos());
    EXPECT_EQ(desactivado("#pedido-crear"), true);  // nothing written yet

    // Two images attached through the file input (the native chooser fills it).
    llamar("const dt = new DataTransfer();\n"
           "const png = Uint8Array.from(atob('iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg=='), c => c.charCodeAt(0));\n"
           "dt.items.add(new File([png], 'logo.png', {type: 'image/png'}));\n"
           "dt.items.add(new File([png], 'logo.png', {type: 'image/png'}));\n"
           "dt.items.add(new File(['hola'], 'notas.txt', {type: 'text/plain'}));\n"
           "const input = document.getElementById('pedido-archivos');\n"
           "input.files = dt.files;\n"
           "input.dispatchEvent(new Event('change'));\n"
           "return 1;");
    ASSERT_TRUE(esperarHasta([&] { return llamar("return document.querySelectorAll('.adjunto').length;") == 2; }));
    EXPECT_EQ(textos(".adjunto .adjunto-nombre"), json({"logo.png", "logo-2.png"}));
    EXPECT_EQ(textos(".aviso span"), json({"Solo se pueden adjuntar imágenes."}));
    // One removed again.
    pulsar(".adjunto[title='logo-2.png'] .adjunto-quitar");
    EXPECT_EQ(textos(".adjunto .adjunto-nombre"), json({"logo.png"}));

    llamar("const t = document.getElementById('pedido-texto');\n"
           "t.value = '  Un vídeo de 20 segundos para presentar la barbería  ';\n"
           "t.dispatchEvent(new Event('input'));\n"
           "const p = document.getElementById('pedido-plantilla'); p.value = 'redes'; p.dispatchEvent(new Event('change'));\n"
           "const ia = document.getElementById('pedido-ia'); ia.value = 'codex'; ia.dispatchEvent(new Event('change'));\n"
           "return 1;");
    EXPECT_EQ(texto("#pedido-ayuda"), "Codex no tiene la sesión iniciada.");
    // A new data send keeps the user's choice of tool.
    datos(datosCompletos());
    EXPECT_EQ(llamar("return document.getElementById('pedido-ia').value;"), "codex");
    pulsar("#pedido-video");

    const auto m = pulsar("#pedido-crear", 5000);
    ASSERT_EQ(m.size(), 1u) << json(m).dump();
    const json& crear = m[0];
    EXPECT_EQ(crear.at("tipo"), "crear");
    EXPECT_EQ(crear.at("plantilla"), "redes");
    EXPECT_EQ(crear.at("ia"), "codex");
    EXPECT_EQ(crear.at("texto"), "Un vídeo de 20 segundos para presentar la barbería");
    EXPECT_EQ(crear.at("video"), true);
    ASSERT_EQ(crear.at("recursos").size(), 1u);
    EXPECT_EQ(crear.at("recursos")[0].at("nombre"), "logo.png");
    EXPECT_EQ(crear.at("recursos")[0].at("src").get<std::string>().rfind("data:image/png;base64,iVBORw0KGgo", 0), 0u);
    EXPECT_EQ(crear.at("recursos")[0].size(), 2u);
    EXPECT_EQ(crear.size(), 6u);

    // A second click at once is the same click: nothing more.
    EXPECT_EQ(desactivado("#pedido-crear"), true);

    // Ctrl+Intro sends too, and an idea fills the box with its page size.
    pausa(1600);
    pulsar(".sugerencia[data-plantilla='redes']");
    EXPECT_EQ(llamar("return document.getElementById('pedido-plantilla').value;"), "redes");
    llamar("document.getElementById('pedido-ia').value = 'claude'; document.getElementById('pedido-ia').dispatchEvent(new Event('change'));"
           "document.getElementById('pedido-video').checked = false;"
           "document.getElementById('pedido-texto').dispatchEvent(new KeyboardEvent('keydown', {key: 'Enter', ctrlKey: true, bubbles: true}));"
           "return 1;");
    esperarHasta([&] { return buzon_->de("crear").size() >= 2; });
    const auto crears = buzon_->de("crear");
    ASSERT_EQ(crears.size(), 2u);
    EXPECT_EQ(crears[1].at("ia"), "claude");
    EXPECT_EQ(crears[1].at("video"), false);
    EXPECT_EQ(crears[1].at("texto"), "Un post para Instagram anunciando nuestras rebajas de verano, con mucho color");
}

TEST_F(PaginaInicioTest, CopiasTrabajosIAsYActualizacion) {
    datos(datosCompletos());
    pulsarYEsperar(".copia[data-archivo='d2-7c1e.json'] .copia-abrir", {{"tipo", "abrirCopia"}, {"archivo", "d2-7c1e.json"}});
    pulsarYEsperar(".copia[data-archivo='nuevo-5f2a.json'] .copia-subir", {{"tipo", "subirCopia"}, {"archivo", "nuevo-5f2a.json"}});
    EXPECT_EQ(texto(".copia[data-archivo='nuevo-5f2a.json'] .copia-detalle"), "Subiendo…");
    // Other data meanwhile leaves it uploading; the upload's notice ends it.
    datos(datosCompletos());
    EXPECT_EQ(texto(".copia[data-archivo='nuevo-5f2a.json'] .copia-detalle"), "Subiendo…");
    EXPECT_EQ(desactivado(".copia[data-archivo='nuevo-5f2a.json'] .copia-subir"), true);
    llamar("window.inicio.aviso({texto: 'No se ha podido subir «Carta de verano»: sin red'}); return 1;");
    EXPECT_EQ(texto(".copia[data-archivo='nuevo-5f2a.json'] .copia-detalle"),
              "Diseño nuevo, nunca subido · guardado 1 mar 2023");
    // Discarding asks first.
    EXPECT_TRUE(pulsar(".copia[data-archivo='d2-7c1e.json'] .copia-descartar").empty());
    EXPECT_EQ(texto("#dialogo-titulo"), "¿Descartar «Clínica dental Sonríe»?");
    pulsarYEsperar("#dialogo-aceptar", {{"tipo", "descartarCopia"}, {"archivo", "d2-7c1e.json"}});

    pulsarYEsperar(".trabajo[data-clave='a1b2c3d4e5f60718'] .trabajo-abrir", {{"tipo", "abrirTrabajo"}, {"clave", "a1b2c3d4e5f60718"}});
    pulsarYEsperar(".trabajo[data-clave='a1b2c3d4e5f60718'] .trabajo-parar", {{"tipo", "pararTrabajo"}, {"clave", "a1b2c3d4e5f60718"}});
    EXPECT_EQ(texto(".trabajo[data-clave='a1b2c3d4e5f60718'] .trabajo-parar"), "Parando…");
    pulsarYEsperar(".trabajo[data-clave='0f1e2d3c4b5a6978'] .trabajo-quitar", {{"tipo", "quitarTrabajo"}, {"clave", "0f1e2d3c4b5a6978"}});

    // A job that asks something is answered in its editor; one whose editor
    // is open says so. An unchanged row stays the same node.
    json lista = trabajos();
    lista[1]["estado"] = "pregunta";
    lista[1]["abrible"] = true;
    lista[1]["id"] = "d3";
    lista[1]["aqui"] = true;
    llamar("window.inicio.trabajos(l); document.querySelector(\".trabajo[data-clave='a1b2c3d4e5f60718']\").marcaDePrueba = 1; return 1;",
           {{"l", lista}});
    EXPECT_EQ(textos(".trabajo[data-clave='0f1e2d3c4b5a6978'] .trabajo-estado"), json({"Te pregunta algo · Codex · abierto"}));
    pulsarYEsperar(".trabajo[data-clave='0f1e2d3c4b5a6978'] .trabajo-abrir.principal", {{"tipo", "abrirTrabajo"}, {"clave", "0f1e2d3c4b5a6978"}});
    lista[1]["paso"] = "¿Quieres fotos propias o de stock?";
    llamar("window.inicio.trabajos(l); return 1;", {{"l", lista}});
    EXPECT_EQ(llamar("return document.querySelector(\".trabajo[data-clave='a1b2c3d4e5f60718']\").marcaDePrueba;"), 1);
    EXPECT_EQ(textos(".trabajo[data-clave='0f1e2d3c4b5a6978'] .trabajo-paso"), json({"¿Quieres fotos propias o de stock?"}));

    pulsarYEsperar(".ia [data-conectar='codex']", {{"tipo", "conectarIA"}, {"id", "codex"}});
    EXPECT_EQ(desactivado(".ia [data-conectar='codex']"), true);
    pulsarYEsperar(".ia [data-instalar='gemini']", {{"tipo", "instalarIA"}, {"id", "gemini"}});
    pulsarYEsperar("#actualizacion-descargar", {{"tipo", "descargarActualizacion"}});
    pulsarYEsperar(".integracion[data-integracion='fal'] button", {{"tipo", "menu"}, {"accion", "ajustes"}});
}

TEST_F(PaginaInicioTest, ElMenuDeLaCuentaYElReintento) {
    datos(datosCompletos());
    EXPECT_FALSE(visible("#cuenta-menu"));
    pulsar("#cuenta-boton");
    EXPECT_TRUE(visible("#cuenta-menu"));
    EXPECT_EQ(texto("#menu-nombre"), "Ane Etxeberria");
    const std::vector<std::string> acciones = {"ajustes", "agentes", "agencia", "servidores", "tienda",
                                               "panel", "tutorial", "refrescar", "desconectar"};
    EXPECT_EQ(llamar("return [...document.querySelectorAll('#cuenta-menu [data-accion]')].map(b => b.dataset.accion);"), json(acciones));
    // The button closes it again; nothing is sent by opening or closing.
    EXPECT_TRUE(pulsar("#cuenta-boton").empty());
    EXPECT_FALSE(visible("#cuenta-menu"));
    for (const std::string& accion : acciones) {
        pulsar("#cuenta-boton");
        ASSERT_TRUE(visible("#cuenta-menu")) << accion;
        const std::string boton = "#cuenta-menu [data-accion='" + accion + "']";
        if (accion == "desconectar") {
            // Signing out asks first.
            EXPECT_TRUE(pulsar(boton).empty());
            EXPECT_EQ(texto("#dialogo-titulo"), "¿Desconectar esta cuenta?");
            pulsarYEsperar("#dialogo-aceptar", {{"tipo", "menu"}, {"accion", accion}});
        } else {
            pulsarYEsperar(boton, {{"tipo", "menu"}, {"accion", accion}});
        }
        EXPECT_FALSE(visible("#cuenta-menu")) << accion;
    }
    // The account error offers a retry: a refresh.
    json conError = datosCompletos();
    conError["error"] = "El servidor no contesta.";
    datos(conError);
    pulsarYEsperar("#error-reintentar", {{"tipo", "menu"}, {"accion", "refrescar"}});
    EXPECT_EQ(desactivado("#error-reintentar"), true);
    // The notices native code sends.
    llamar("window.inicio.aviso({texto: '«Carta de verano» subido a tu cuenta.'});"
           "window.inicio.aviso({texto: 'No se ha podido subir «Clínica»: sin red'}); return 1;");
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.aviso')].map(a => [a.querySelector('span').textContent, a.classList.contains('error')]);"),
              json::parse(R"([["«Carta de verano» subido a tu cuenta.", false], ["No se ha podido subir «Clínica»: sin red", true]])"));
}

TEST_F(PaginaInicioTest, DatosMalFormadosNoRompenLaPagina) {
    const std::vector<std::string> llamadas = {
        "window.inicio.datos(null)",
        "window.inicio.datos(42)",
        "window.inicio.datos('texto')",
        "window.inicio.datos([])",
        "window.inicio.datos()",
        "window.inicio.datos({})",
        "window.inicio.datos({disenos: 'no', sinSubir: {}, trabajos: 'x', ias: [1, null, {id: 7}], iasListas: 'sí', "
        "cliente: 'Ane', ia: [], error: 5, actualizacion: '1.2', integraciones: [null, 3, {}], logo: {}})",
        "window.inicio.datos({disenos: [null, 3, 'x', {id: 5}, {nombre: 'sin id'}, {id: 'ok', nombre: 7, modificado: {}, miniatura: 9}, "
        "{id: 'ok', nombre: 'repetido'}, {id: 'js', nombre: 'Enlace', miniatura: 'javascript:alert(1)'}], "
        "sinSubir: [{archivo: 3}, {archivo: 'a.json', nombre: null, nuevo: 'sí', fecha: 'ayer'}], "
        "trabajos: [{clave: 3}, {clave: 'k', estado: 'raro', desde: 12, hasta: null, abrible: 'sí'}], "
        "cliente: {nombre: 4, email: []}, ia: {nombre: 5}, ias: [{id: 'claude', nombre: 3, sesion: 'sí'}], iasListas: true, "
        "integraciones: [{id: 'x', estado: 3, grupo: null, logo: '../../etc/passwd'}], error: null})",
        "window.inicio.trabajos('no')",
        "window.inicio.trabajos({clave: 'a'})",
        "window.inicio.trabajos([null, {clave: 'b', estado: 5, paso: {}, texto: []}])",
        "window.inicio.aviso(null)",
        "window.inicio.aviso({texto: 4})",
        "window.inicio.aviso('hola')",
    };
    for (const std::string& js : llamadas) {
        SCOPED_TRACE(js);
        llamar(js + "; return 1;");
    }
    // The last whole data left what could be used of it.
    llamar("window.inicio.datos({disenos: [null, 3, 'x', {id: 5}, {nombre: 'sin id'}, {id: 'ok', nombre: 7, modificado: {}, miniatura: 9}, "
           "{id: 'ok', nombre: 'repetido'}, {id: 'js', nombre: 'Enlace', miniatura: 'javascript:alert(1)'}], "
           "sinSubir: [{archivo: 'a.json', nombre: null, nuevo: 'sí', fecha: 'ayer'}], "
           "trabajos: [{clave: 'k', estado: 'raro', desde: 12, hasta: null, abrible: 'sí'}], "
           "cliente: {nombre: 4, email: []}, ias: [{id: 'claude', nombre: 3, sesion: 'sí'}], iasListas: true}); return 1;");
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.diseno')].map(d => [d.dataset.id, d.querySelector('.diseno-nombre').textContent, "
                     "d.querySelector('.diseno-fecha').textContent, !!d.querySelector('img')]);"),
              json::parse(R"([["ok", "Sin título", "Sin fecha", false], ["js", "Enlace", "Sin fecha", false]])"));
    EXPECT_EQ(textos(".copia .copia-nombre"), json({"Sin título"}));
    EXPECT_EQ(textos(".trabajo .trabajo-nombre"), json({"Sin título"}));
    EXPECT_EQ(llamar("return [...document.querySelectorAll('.ia')].map(i => [i.dataset.ia, i.querySelector('.estado-ia').textContent]);"),
              json::parse(R"([["claude", "Sin sesión"], ["codex", "No instalada"], ["gemini", "No instalada"]])"));
    EXPECT_EQ(texto("#cuenta-nombre"), "Tu cuenta");
    EXPECT_EQ(llamar("return document.querySelectorAll('.aviso').length;"), 0);

    // Good data afterwards shows as usual and the controls still work.
    datos(datosCompletos());
    EXPECT_EQ(textos(".diseno .diseno-nombre"), json({"Barbería Ercilla", "Clínica dental Sonríe", "Estudio Lumen"}));
    EXPECT_EQ(llamar("return document.querySelectorAll('.trabajo').length;"), 2);
    pulsarYEsperar(".diseno[data-id='d1'] .diseno-abrir", {{"tipo", "abrir"}, {"id", "d1"}});
    EXPECT_EQ(buzon_->de("listo").size(), 1u);
}

TEST_F(PaginaInicioTest, ElTextoDeFueraSeVeComoTexto) {
    const std::string trampa = "<img src=x onerror=\"window.__roto=1\"><b>negrita</b>";
    json d = datosCompletos();
    d["disenos"][0]["nombre"] = "Diseño " + trampa;
    d["disenos"][1]["miniatura"] = "x\" onerror=\"window.__roto=2";
    d["sinSubir"][0]["nombre"] = "Copia " + trampa;
    d["cliente"] = {{"nombre", "<script>window.__roto=3</script>Ane"}, {"email", "<i>ane</i>@x.es"}};
    d["error"] = "Fallo <a href='https://malo.example'>pulsa</a>";
    d["ias"][1]["nombre"] = "<u>Codex</u>";
    d["integraciones"][0]["nombre"] = "<em>Remotion</em>";
    d["trabajos"][0]["paso"] = "Paso " + trampa;
    d["trabajos"][1]["texto"] = "Texto " + trampa;
    d["trabajos"][1]["nombre"] = "<h1>Grande</h1>";
    datos(d);
    llamar("window.inicio.aviso({texto: 'Aviso <img src=x onerror=\"window.__roto=4\">'}); return 1;");
    pulsar(".diseno[data-id='d1'] .diseno-borrar");
    pausa(200);

    EXPECT_EQ(textos(".diseno[data-id='d1'] .diseno-nombre"), json({"Diseño " + trampa}));
    EXPECT_EQ(texto("#dialogo-titulo"), "¿Borrar «Diseño " + trampa + "»?");
    EXPECT_EQ(textos(".copia-nombre")[0], "Copia " + trampa);
    EXPECT_EQ(texto("#cuenta-nombre"), "<script>window.__roto=3</script>Ane");
    EXPECT_EQ(texto("#menu-email"), "<i>ane</i>@x.es");
    EXPECT_EQ(texto("#error-texto"), "Fallo <a href='https://malo.example'>pulsa</a>");
    EXPECT_EQ(textos(".ia[data-ia='codex'] strong"), json({"<u>Codex</u>"}));
    EXPECT_EQ(textos(".integracion[data-integracion='remotion'] strong"), json({"<em>Remotion</em>"}));
    EXPECT_EQ(textos(".trabajo-paso"), json({"Paso " + trampa}));
    EXPECT_EQ(textos(".trabajo-nombre")[1], "<h1>Grande</h1>");
    EXPECT_EQ(textos(".aviso span"), json({"Aviso <img src=x onerror=\"window.__roto=4\">"}));
    // The bad thumbnail address is not used: the placeholder shows.
    EXPECT_EQ(llamar("return !!document.querySelector(\".diseno[data-id='d2'] .sustituto-letra\");"), true);

    // Not one element made of it, nothing ran.
    EXPECT_EQ(llamar("return ['b', 'i', 'u', 'em', 'h1:not(#pedido-titulo)', 'script:not([src])', 'a[href]', 'img[src=\"x\"]', '[onerror]']"
                     ".map(s => document.querySelectorAll(s).length);"),
              json({0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(llamar("return window.__roto === undefined;"), true);
}

TEST_F(PaginaInicioTest, FotoDeLaPantallaDeInicio) {
    json d = datosCompletos();
    d["disenos"] = json::array({
        {{"id", "d1"}, {"nombre", "Barbería Ercilla"}, {"modificado", "2023-03-01 14:05:09"}, {"miniatura", miniaturaSvg("#1d2b2a", "#f4c95d")}},
        {{"id", "d2"}, {"nombre", "Clínica dental Sonríe"}, {"modificado", "2023-02-20 10:00:00"}, {"miniatura", ""}},
        {{"id", "d3"}, {"nombre", "Estudio Lumen"}, {"modificado", "2023-01-05 08:00:00"}, {"miniatura", miniaturaSvg("#2b1d3a", "#ff7a59")}},
        {{"id", "d4"}, {"nombre", "Panadería Orbe"}, {"modificado", "2022-12-12 12:00:00"}, {"miniatura", miniaturaSvg("#7a2e1f", "#ffd166")}},
        {{"id", "d5"}, {"nombre", "Festival Arrasate"}, {"modificado", "2022-11-02 18:30:00"}, {"miniatura", ""}},
        {{"id", "d6"}, {"nombre", "Gimnasio Kora"}, {"modificado", "2022-10-20 07:15:00"}, {"miniatura", miniaturaSvg("#0f3d5e", "#3ecf8e")}},
    });
    d["sinSubir"] = json::array({d["sinSubir"][0]});
    datos(d);
    llamar("document.getElementById('pedido-texto').value = 'Una web para mi barbería en Bilbao, con precios y reservas';"
           "document.getElementById('pedido-texto').dispatchEvent(new Event('input')); return 1;");
    EXPECT_EQ(desactivado("#pedido-crear"), false);

    // The picture lays the page out 1440 pixels wide in a 900-pixel-tall window.
    ASSERT_TRUE(esperarTarea(vista_->instantanea(1440, FormatoImagen::png)).value().ok());
    llamar("document.documentElement.style.height = '900px'; window.dispatchEvent(new Event('resize')); return 1;");
    ASSERT_TRUE(esperarHasta([&] {
        return llamar("return [...document.querySelectorAll('.diseno img')].every(i => i.complete && i.naturalWidth > 0);") == true;
    }));
    pausa(300);
    const auto png = esperarTarea(vista_->instantanea(1440, FormatoImagen::png));
    ASSERT_TRUE(png.has_value());
    ASSERT_TRUE(png->ok()) << png->fallo().mensaje;

    const auto foto = prueba::guardarFoto(**png, "inicio.png");
    ASSERT_TRUE(foto);
    EXPECT_EQ(foto->ancho, 1440);
    EXPECT_EQ(foto->alto, 900);

    const auto color = [&](int x, int y) { return foto->color(x, y); };
    // Dark all over: the bar on top and the side column.
    const auto barra = color(700, 20);
    EXPECT_LT(barra[0] + barra[1] + barra[2], 120);
    const auto lateral = color(1430, 880);
    EXPECT_LT(lateral[0] + lateral[1] + lateral[2], 120);
    // The first card's thumbnail shows its dark green hero where the page put it.
    const json punto = llamar(
        "const r = document.querySelector(\".diseno[data-id='d1'] .miniatura\").getBoundingClientRect();\n"
        "return [Math.round(r.left + r.width * 0.9), Math.round(r.top + r.height * 0.1), Math.round(r.bottom)];");
    ASSERT_TRUE(punto.is_array());
    ASSERT_LT(punto[2].get<int>(), 900) << "La primera fila de diseños no cabe en la foto.";
    const auto hero = color(punto[0], punto[1]);
    EXPECT_NEAR(hero[0], 0x1d, 12);
    EXPECT_NEAR(hero[1], 0x2b, 12);
    EXPECT_NEAR(hero[2], 0x2a, 12);
}

}  // namespace
}  // namespace sorvenia
