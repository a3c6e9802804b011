// The editor page (resources/editor/tarvel/index.html) in a real WebKitGTK view
// under a display (Xvfb), never shown: loading a design, the canvas tools
// an agent calls through window.tarvel.herramienta, the "cambio" messages,
// undo and redo, the chat, and a picture of the whole editor.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "esperar_bucle.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "pagina_prueba.h"
#include "plataforma/gui/web_vista.h"
#include "diseno_prueba.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;
using prueba::Buzon;
using prueba::pausa;
using prueba::disenoGuardado;

const std::filesystem::path carpetaEditor = std::filesystem::path(SORVENIA_FUENTE) / "resources/editor";

json herramientasIA() {
    return json::array({{{"id", "claude"},
                         {"nombre", "Claude Code"},
                         {"detalle", ""},
                         {"sesion", true},
                         {"icono", ""},
                         {"modelo", ""},
                         {"modelos", json::array({{{"id", ""}, {"nombre", "Por defecto"}, {"det", ""}}})}},
                        {{"id", "codex"},
                         {"nombre", "Codex"},
                         {"detalle", ""},
                         {"sesion", false},
                         {"icono", ""},
                         {"modelo", ""},
                         {"modelos", json::array()}}});
}

json carga(json doc, json extra = json::object()) {
    json c = {{"doc", std::move(doc)},
              {"nombre", "Barbería Ercilla"},
              {"ias", herramientasIA()},
              {"chats", json::array()},
              {"fuentes", json::array()},
              {"tarjetaAgentes", false},
              {"integraciones", json::array()},
              {"agentesConectados", json::array()}};
    c.update(extra);
    return c;
}

int cuenta(const std::string& texto, const std::string& trozo) {
    int n = 0;
    for (std::size_t p = texto.find(trozo); p != std::string::npos; p = texto.find(trozo, p + trozo.size())) ++n;
    return n;
}

// Every start tag in `html` carries a data-lid.
void todosConLid(const std::string& html) {
    const std::regex etiqueta("<([a-zA-Z][a-zA-Z0-9]*)([^>]*)>");
    int etiquetas = 0;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), etiqueta); it != std::sregex_iterator(); ++it) {
        ++etiquetas;
        EXPECT_NE((*it)[2].str().find("data-lid=\""), std::string::npos) << "sin data-lid: " << (*it)[0].str();
    }
    EXPECT_GT(etiquetas, 0) << html;
}

class PaginaEditorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run)."; }

    void SetUp() override {
        OpcionesWebVista opciones;
        opciones.inspeccionable = true;
        vista_ = std::make_unique<WebVista>("tarvel", opciones);
        buzon_ = std::make_unique<Buzon>(*vista_);
        vista_->cargarPagina(carpetaEditor / "tarvel" / "index.html", carpetaEditor);
        ASSERT_NE(buzon_->esperar("listo"), nullptr) << "La página no ha dicho «listo».";
    }

    json llamar(const std::string& cuerpo, json argumentos = json::object()) {
        return prueba::llamarEnPagina(*vista_, cuerpo, std::move(argumentos));
    }

    json herramienta(const std::string& nombre, json args = json::object()) {
        return llamar("return await window.tarvel.herramienta(nombre, args);",
                      {{"nombre", nombre}, {"args", std::move(args)}});
    }

    // A tool that must succeed; gives its text.
    std::string bien(const std::string& nombre, json args = json::object()) {
        const json r = herramienta(nombre, args);
        EXPECT_TRUE(r.is_object() && r.value("error", true) == false) << nombre << " " << args.dump() << " → " << r.dump();
        return r.is_object() ? r.value("texto", "") : "";
    }

    void cargar(const json& payload) { llamar("window.tarvel.cargar(dato); return true;", {{"dato", payload}}); }

    // Lets the page's coalesced "cambio" go out: a page timer longer than the
    // coalescing delay (250 ms) fires after any pending one, whatever the
    // machine's load, and its message reaches us before the call's answer.
    void asentarCambios() { llamar("await new Promise((r) => setTimeout(r, 300)); return true;"); }

    // The design as the page last handed it over, after waiting for the
    // coalesced message.
    json ultimoDoc() {
        asentarCambios();
        const json* c = buzon_->ultimo("cambio");
        return c ? c->at("doc") : json();
    }

    std::string html(const std::string& mesa) {
        const std::string t = bien("leer", {{"id", mesa}});
        const auto p = t.find("\nHTML:\n");
        return p == std::string::npos ? "" : t.substr(p + 7);
    }

    std::unique_ptr<WebVista> vista_;
    std::unique_ptr<Buzon> buzon_;
};

TEST_F(PaginaEditorTest, UnDisenoNuevoNaceDeSuPlantilla) {
    struct Caso {
        std::string nombre;
        json extra;
        std::string mesa;
    };
    const std::vector<Caso> casos = {
        {"móvil", {{"plantilla", {{"id", "movil"}, {"nombre", "Móvil"}, {"w", 390}, {"h", 844}, {"auto", false}}}},
         "«Móvil» · 390 × 844"},
        {"web", {{"plantilla", {{"id", "web"}, {"nombre", "Web"}, {"w", 1440}, {"h", 900}, {"auto", true}}}},
         "«Web» · 1440 × alto automático"},
        {"sin plantilla", json::object(), "«Inicio» · 1440 × alto automático"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nombre);
        const std::size_t antes = buzon_->de("cambio").size();
        cargar(carga(nullptr, caso.extra));
        const std::string estado = bien("ver_tarvel");
        EXPECT_NE(estado.find(caso.mesa), std::string::npos) << estado;
        EXPECT_NE(estado.find("Página abierta: 1 de 1"), std::string::npos) << estado;
        EXPECT_NE(estado.find("El usuario no tiene nada seleccionado."), std::string::npos) << estado;
        EXPECT_NE(bien("mesas", {{"accion", "listar"}}).find("index.html · portada"), std::string::npos);
        // Opening a design is no change: nothing is handed over to be saved.
        asentarCambios();
        EXPECT_EQ(buzon_->de("cambio").size(), antes);
    }
}

TEST_F(PaginaEditorTest, UnDisenoGuardadoSeAbreConSusMesasIdsYSesiones) {
    const json chats = json::array({{{"id", "c1"},
                                     {"titulo", "Landing"},
                                     {"sesiones", {{"claude", "sesion-antigua"}}},
                                     {"mensajes", json::array({{{"rol", "usuario"}, {"texto", "Hazme una web"}}})}},
                                    {{"id", "c2"},
                                     {"titulo", "Cambios"},
                                     {"sesiones", {{"claude", "sesion-nueva"}, {"codex", "sesion-codex"}}},
                                     {"mensajes", json::array()}}});
    cargar(carga(disenoGuardado(), {{"chats", chats}}));

    // The tools resume the conversations kept in the chats; the last wins.
    const json* usar = buzon_->esperar("usarSesion");
    ASSERT_NE(usar, nullptr);
    EXPECT_EQ(usar->at("sesiones"), json({{"claude", "sesion-nueva"}, {"codex", "sesion-codex"}}));

    const std::string estado = bien("ver_tarvel");
    EXPECT_NE(estado.find("m1 «Inicio» · 1440 × alto automático"), std::string::npos) << estado;
    EXPECT_NE(estado.find("m2 «Contacto» · 390 × 844"), std::string::npos) << estado;
    EXPECT_NE(estado.find("--marca: #e4572e (oscuro: #ff8a65)"), std::string::npos) << estado;

    // The stored ids stay; elements without one, and the repeated "titulo"
    // of the second mesa, get new ones.
    const std::string inicio = html("m1");
    const std::string contacto = html("m2");
    todosConLid(inicio);
    todosConLid(contacto);
    EXPECT_NE(inicio.find("<h1 data-lid=\"titulo\">"), std::string::npos) << inicio;
    EXPECT_EQ(contacto.find("data-lid=\"titulo\""), std::string::npos) << contacto;
    EXPECT_NE(contacto.find("<div class=\"c\" data-lid=\"c\">"), std::string::npos) << contacto;
    const std::string leido = bien("leer", {{"id", "m2"}});
    EXPECT_NE(leido.find(".c h2{font-size:34px;color:#1b1f3b}"), std::string::npos) << leido;

    // What the page does not know travels back untouched.
    bien("texto", {{"id", "entradilla"}, {"texto", "Desde 1987."}});
    const json doc = ultimoDoc();
    ASSERT_TRUE(doc.is_object());
    EXPECT_EQ(doc.at("deOtraVersion"), json({{"se", "conserva"}}));
    EXPECT_EQ(doc.at("paginas").at(0).at("mesas").size(), 2u);
}

TEST_F(PaginaEditorTest, UnAgenteConstruyeUnaPaginaDeDosSecciones) {
    cargar(carga(nullptr));
    const std::string creada = bien("crear_mesa", {{"nombre", "Peluquería"}, {"ancho", 1280}, {"web", true}});
    EXPECT_NE(creada.find("Mesa creada: m3 «Peluquería», 1280 × alto automático"), std::string::npos) << creada;

    EXPECT_NE(bien("css", {{"mesa", "m3"}, {"css", "@import url(\"https://fonts.googleapis.com/css2?family=Lora\");"
                                                  ".portada{padding:80px;background:#1d2b2a;color:#fff}"}})
                  .find("2 reglas nuevas"),
              std::string::npos);
    const std::string escrito =
        bien("escribir", {{"id", "m3"},
                          {"modo", "dentro"},
                          {"html", "<style>.portada h1{font-size:64px}</style><section class=\"portada\" "
                                   "data-lid=\"portada\"><h1 data-lid=\"titular\">Tu pelo, a tu manera</h1><p>Pide "
                                   "cita hoy</p></section>"}});
    EXPECT_NE(escrito.find("1 elemento de primer nivel (portada <section>), 3 en total"), std::string::npos) << escrito;
    EXPECT_NE(escrito.find("CSS sumado a la hoja de la mesa: 1 regla."), std::string::npos) << escrito;
    bien("escribir", {{"id", "portada"},
                      {"modo", "despues"},
                      {"html", "<section class=\"precios\" data-lid=\"precios\"><h2 data-lid=\"precios-t\">Precios"
                               "</h2><ul data-lid=\"lista\"><li data-lid=\"corte\">Corte 18 €</li><li data-lid=\"tinte\">"
                               "Tinte 40 €</li></ul></section>"}});

    std::string leido = bien("leer", {{"id", "m3"}});
    todosConLid(html("m3"));
    EXPECT_NE(leido.find("@import url(\"https://fonts.googleapis.com/css2?family=Lora\");"), std::string::npos) << leido;
    EXPECT_NE(leido.find(".portada h1{font-size:64px}"), std::string::npos) << leido;
    EXPECT_LT(leido.find("data-lid=\"portada\""), leido.find("data-lid=\"precios\"")) << leido;

    EXPECT_NE(bien("estilo", {{"id", "titular"}, {"css", "color: #f4c95d; letter-spacing: -0.02em"}})
                  .find("Estilos de titular <h1> cambiados"),
              std::string::npos);
    bien("texto", {{"id", "precios-t"}, {"texto", "Precios 2025"}});
    bien("mover", {{"id", "tinte"}, {"destino", "corte"}, {"como", "antes"}});
    const std::string duplicado = bien("duplicar", {{"id", "corte"}});
    const std::smatch m = [&] {
        std::smatch r;
        std::regex_search(duplicado, r, std::regex("Duplicado: (e\\d+) \\(copia de corte <li>, justo detrás\\)"));
        return r;
    }();
    ASSERT_FALSE(m.empty()) << duplicado;
    const std::string copia = m[1];
    bien("borrar", {{"id", "corte"}});

    const std::string final = html("m3");
    EXPECT_NE(final.find("style=\"color: rgb(244, 201, 93); letter-spacing: -0.02em;\""), std::string::npos) << final;
    EXPECT_NE(final.find(">Precios 2025</h2>"), std::string::npos) << final;
    EXPECT_EQ(final.find("data-lid=\"corte\""), std::string::npos) << final;
    const auto tinte = final.find("data-lid=\"tinte\"");
    const auto laCopia = final.find("data-lid=\"" + copia + "\"");
    ASSERT_NE(laCopia, std::string::npos) << final;
    EXPECT_LT(tinte, laCopia) << final;
    EXPECT_EQ(cuenta(final, "Corte 18 €"), 1) << final;

    // The same document reaches native code, with the cover as "primera".
    const json doc = ultimoDoc();
    ASSERT_TRUE(doc.is_object());
    const json& mesa = doc.at("paginas").at(0).at("mesas").at(1);
    EXPECT_EQ(mesa.at("id"), "m3");
    EXPECT_EQ(mesa.at("html").get<std::string>(), final);
    const json* cambio = buzon_->ultimo("cambio");
    EXPECT_EQ(cambio->at("nombre"), "Barbería Ercilla");
    EXPECT_EQ(cambio->at("primera").at("w"), 1440);
    EXPECT_GE(cambio->at("primera").at("h").get<int>(), 900);
}

// A ";" inside a font address, a string, a data: url or a comment never
// cuts a rule: a sheet that starts with a Google Fonts @import keeps every
// rule, on the canvas, in the stored document and in the capture. What the
// browser cannot read is refused with a word instead of wiping the sheet.
TEST_F(PaginaEditorTest, UnaHojaConFuentesDeGoogleConservaTodasSusReglas) {
    cargar(carga(disenoGuardado()));
    // Font imports written the way font services hand them out (";" inside
    // url(...)), pointed at a closed port on this machine so the test never
    // waits on the internet: a failed import must not cost the sheet's rules.
    const std::string inter = "@import url(\"http://127.0.0.1:9/css2?family=Inter:wght@400;700&display=swap\");";
    const std::string lora = "@import url('http://127.0.0.1:9/css2?family=Lora:ital,wght@0,400;1,700');";
    EXPECT_NE(bien("css", {{"mesa", "m1"},
                           {"css", inter + "\n/* uno; dos */ .hero{background:rgb(10, 20, 30)}"
                                           ".hero h1::before{content:\"; }\"}"
                                           ".servicios{background-image:url(data:image/gif;base64,R0lGODlhAQABAAAAACw=)}"
                                           "@media (min-width: 10px){.tarjeta{border-top:3px solid rgb(1, 2, 3)}};"}})
                  .find("5 reglas nuevas"),
              std::string::npos);
    // An @import sent after rules is lifted to the start, after the first.
    bien("css", {{"mesa", "m1"}, {"css", ".tarjeta p{color:rgb(4, 5, 6)}" + lora}});
    const std::string escrito = bien("escribir", {{"id", "servicios"}, {"modo", "dentro"},
                                                  {"html", "<style>" + inter + ".nota{color:rgb(7, 8, 9)}</style>"
                                                           "<p class=\"nota\" data-lid=\"nota\">Abierto el sábado</p>"}});
    EXPECT_NE(escrito.find("CSS sumado a la hoja de la mesa: 2 reglas."), std::string::npos) << escrito;

    const json estilos = llamar(
        "const d = document.querySelector('.mesa[data-mesa=\"m1\"] iframe').contentDocument;\n"
        "const q = (s) => getComputedStyle(d.querySelector(s));\n"
        "return [q('[data-lid=\"hero\"]').backgroundColor, q('[data-lid=\"hero\"]').paddingTop,\n"
        "        getComputedStyle(d.querySelector('[data-lid=\"titulo\"]'), '::before').content,\n"
        "        q('[data-lid=\"servicios\"]').backgroundImage.startsWith('url(\"data:image/gif;base64,'), q('[data-lid=\"t1\"]').borderTopColor,\n"
        "        q('[data-lid=\"t1\"] p').color, q('[data-lid=\"nota\"]').color];");
    EXPECT_EQ(estilos, json({"rgb(10, 20, 30)", "120px", "\"; }\"", true, "rgb(1, 2, 3)",
                             "rgb(4, 5, 6)", "rgb(7, 8, 9)"}));
    // The stored sheet, once the page has handed over the last change.
    const auto hojaGuardada = [&] {
        const json doc = ultimoDoc();
        return doc.is_object() ? doc.at("paginas").at(0).at("mesas").at(0).at("css").get<std::string>() : std::string();
    };
    std::string hoja;
    ASSERT_TRUE(esperarHasta([&] { return (hoja = hojaGuardada()).find(".nota{") != std::string::npos; })) << hoja;
    EXPECT_EQ(hoja.rfind(inter + "\n" + lora + "\n\n.hero{padding:120px 96px;", 0), 0u) << hoja;
    EXPECT_EQ(cuenta(hoja, "@import"), 2) << hoja;
    // In the capture (and the published page) the mesa's sheet follows the
    // file's variables: its imports go first, where alone they count.
    const std::string capturado = herramienta("captura", {{"id", "m1"}}).at("html");
    EXPECT_EQ(capturado.rfind("<style>\n" + inter + "\n" + lora + "\n", 0), 0u) << capturado.substr(0, 400);
    for (const std::string& regla : {inter, lora, std::string(".hero{background:rgb(10, 20, 30)}"),
                                     std::string(".nota{color:rgb(7, 8, 9)}")})
        EXPECT_NE(capturado.find(regla), std::string::npos) << regla << "\n" << capturado.substr(0, 2000);

    // Unreadable or unfinished CSS changes nothing and says so.
    struct Caso {
        std::string css;
        std::string cita;
    };
    const std::vector<Caso> malos = {
        {".bien{color:red} .b color: blue;", "«.b color: blue;»"},
        {".bien{color:red} .roto{color:red", "«.roto{color:red»"},
        {".bien{color:red} .roto{color:red /* sin cerrar", "«.roto{color:red /* sin cerrar»"},
        {"}} .bien{color:red}", "«}»"},
    };
    for (const Caso& c : malos) {
        const json r = herramienta("css", {{"mesa", "m1"}, {"css", c.css}});
        EXPECT_EQ(r.value("error", false), true) << c.css << " → " << r;
        const std::string t = r.value("texto", "");
        EXPECT_NE(t.find("El navegador no puede leer este CSS y la hoja de la mesa m1 «Inicio» no ha cambiado: " + c.cita),
                  std::string::npos)
            << t;
    }
    EXPECT_EQ(hojaGuardada(), hoja);
    const std::string aMedias = bien("escribir", {{"id", "servicios"}, {"modo", "dentro"},
                                                  {"html", "<style>.otra{color:red} .roto{</style><p>Hola</p>"}});
    EXPECT_NE(aMedias.find("CSS sumado a la hoja de la mesa: 1 regla."), std::string::npos) << aMedias;
    EXPECT_NE(aMedias.find("No he sumado este CSS del <style>, que el navegador no puede leer: «.roto{»."),
              std::string::npos)
        << aMedias;
    std::string ultima;
    ASSERT_TRUE(esperarHasta([&] { return (ultima = hojaGuardada()).find(".otra{") != std::string::npos; })) << ultima;
    EXPECT_EQ(ultima.find(".roto"), std::string::npos) << ultima;
}

// A mesa an agent makes goes right of the others, out of the framed view:
// the canvas brings it in, title and all, and so does enfocar on a mesa
// whose title is above the canvas's top edge.
TEST_F(PaginaEditorTest, UnaMesaNuevaYUnaEnfocadaSeVenConSuTitulo) {
    cargar(carga(disenoGuardado()));
    const auto dentro = [&](const std::string& mesa) {
        return llamar(
            "const l = document.getElementById('lienzo').getBoundingClientRect();\n"
            "const m = document.querySelector(`.mesa-marco[data-mesa=\"${id}\"]`).getBoundingClientRect();\n"
            "const t = document.querySelector(`.mesa-titulo[data-mesa=\"${id}\"]`).getBoundingClientRect();\n"
            "return l.width > 50 && t.top >= l.top && m.left >= l.left && m.right <= l.right && m.top < l.bottom;",
            {{"id", mesa}});
    };
    // The editor laid out 1600 pixels wide in a 1000-pixel-tall window.
    ASSERT_TRUE(esperarTarea(vista_->instantanea(1600, FormatoImagen::png)).value().ok());
    llamar("document.documentElement.style.height = '1000px'; window.dispatchEvent(new Event('resize')); return 1;");
    ASSERT_EQ(dentro("m1"), true) << "el lienzo no tiene tamaño";
    // Scrolled so that m1's top edge is just inside the canvas, its title
    // just outside.
    llamar("const l = document.getElementById('lienzo');\n"
           "const m = document.querySelector('.mesa-marco[data-mesa=\"m1\"]').getBoundingClientRect();\n"
           "l.dispatchEvent(new WheelEvent('wheel', {deltaY: m.top - l.getBoundingClientRect().top - 6, bubbles: true,\n"
           "                                          cancelable: true}));\n"
           "return 1;");
    ASSERT_EQ(dentro("m1"), false);
    EXPECT_NE(bien("enfocar", {{"id", "m1"}}).find("Señalado la mesa m1"), std::string::npos);
    EXPECT_EQ(dentro("m1"), true);

    const std::string creada = bien("crear_mesa", {{"nombre", "Precios"}, {"ancho", 1200}, {"web", true}});
    std::smatch id;
    ASSERT_TRUE(std::regex_search(creada, id, std::regex("Mesa creada: (m[0-9]+) «Precios»"))) << creada;
    EXPECT_EQ(dentro(id[1].str()), true);
}

TEST_F(PaginaEditorTest, AnimacionesVariablesPaginasMesasYFoco) {
    cargar(carga(disenoGuardado()));

    // Effects: stored as entries, shown through classes the mesa never keeps.
    EXPECT_NE(bien("animar", {{"id", "titulo"}, {"tipo", "letras"}, {"retraso", 200}}).find("«letras»"),
              std::string::npos);
    const std::string alScroll = bien("animar", {{"id", "servicios"}, {"tipo", "subir"}, {"disparo", "scroll"}});
    EXPECT_NE(alScroll.find("al llegar con el scroll"), std::string::npos) << alScroll;
    const json vivo = llamar(
        "const d = document.querySelector('.mesa[data-mesa=\"m1\"] iframe').contentDocument;\n"
        "return {scroll: d.querySelector('[data-lid=\"servicios\"]').classList.contains('tv-scroll'),\n"
        "        letras: d.querySelectorAll('[data-lid=\"titulo\"] [data-tv-trozo]').length,\n"
        "        hoja: d.querySelector('style[data-tv=\"animaciones\"]').textContent.includes('@keyframes tv-subir')};");
    EXPECT_EQ(vivo, json({{"scroll", true}, {"letras", 33}, {"hoja", true}}));
    EXPECT_EQ(html("m1").find("tv-"), std::string::npos);
    json doc = ultimoDoc();
    EXPECT_EQ(doc.at("paginas").at(0).at("mesas").at(0).at("animaciones"),
              json::parse(R"([{"lid":"titulo","tipo":"letras","retraso":200,"duracion":900,"rebote":0,"disparo":"carga"},
                              {"lid":"servicios","tipo":"subir","retraso":0,"duracion":700,"rebote":0,"disparo":"scroll"}])"));
    // A counter counts up to the number as written, then shows the text.
    bien("escribir", {{"id", "hero"}, {"modo", "dentro"}, {"html", "<p data-lid=\"cifra\">+1.250 clientes</p>"}});
    EXPECT_NE(bien("animar", {{"id", "cifra"}, {"tipo", "contador"}, {"duracion", 2000}}).find("cuenta hasta el número"),
              std::string::npos);
    const json cuentas = llamar(
        "const d = document.querySelector('.mesa[data-mesa=\"m1\"] iframe').contentDocument;\n"
        "const n = d.querySelector('[data-lid=\"cifra\"] [data-tv-num]');\n"
        "return [0, 1000, 2100].map(t => {\n"
        "  for (const a of d.getAnimations()) { a.pause(); a.currentTime = t; }\n"
        "  const tras = getComputedStyle(n, '::after');\n"
        "  return [tras.content, tras.opacity, getComputedStyle(n.firstChild).opacity];\n"
        "});");
    EXPECT_EQ(cuentas, json::parse(R"([["\"0\"","1","0"],["\"1.094\"","1","0"],["\"1.250\"","0","1"]])"));
    EXPECT_NE(html("m1").find("<p data-lid=\"cifra\">+1.250 clientes</p>"), std::string::npos);

    const std::string todo = bien("animar", {{"id", "todo"}, {"tipo", "aparecer"}});
    EXPECT_NE(todo.find("en 2 secciones de la mesa m1 «Inicio»"), std::string::npos) << todo;
    EXPECT_NE(bien("animar", {{"id", "todo"}, {"tipo", "quitar"}}).find("Quitadas"), std::string::npos);
    EXPECT_EQ(bien("leer", {{"id", "m1"}}).find("Animaciones:"), std::string::npos);

    // Variables: set, read, change the dark value, delete.
    bien("variables", {{"variables", json::array({{{"nombre", "--fondo"}, {"valor", "#faf7f2"}, {"oscuro", "#111"}}})}});
    const std::string leidas = bien("variables");
    EXPECT_NE(leidas.find("--marca: #e4572e (oscuro: #ff8a65)"), std::string::npos) << leidas;
    EXPECT_NE(leidas.find("--fondo: #faf7f2 (oscuro: #111)"), std::string::npos) << leidas;
    bien("variables", {{"variables", json::array({{{"nombre", "marca"}, {"valor", ""}}})}});
    EXPECT_EQ(bien("variables").find("--marca"), std::string::npos);
    const json raiz = llamar(
        "const d = document.querySelector('.mesa[data-mesa=\"m1\"] iframe').contentDocument;\n"
        "return getComputedStyle(d.documentElement).getPropertyValue('--fondo').trim();");
    EXPECT_EQ(raiz, "#faf7f2");

    // Pages of the file.
    EXPECT_NE(bien("paginas", {{"crear", "Blog"}}).find("Página creada y abierta: 1 «Blog»"), std::string::npos);
    EXPECT_NE(bien("ver_tarvel").find("Página abierta: 2 de 2, «Blog»"), std::string::npos);
    const std::string lista = bien("paginas");
    EXPECT_NE(lista.find("0. «Web» (2 mesas)"), std::string::npos) << lista;
    EXPECT_NE(lista.find("1. «Blog» (0 mesas) ← abierta"), std::string::npos) << lista;
    EXPECT_NE(bien("paginas", {{"abrir", 0}}).find("Página abierta: 0 «Web»"), std::string::npos);

    // Mesas: rename, move, resize, cover, order, delete.
    bien("mesas", {{"accion", "renombrar"}, {"id", "Contacto"}, {"nombre", "Reservas"}});
    EXPECT_NE(bien("mesas", {{"accion", "mover"}, {"id", "m2"}, {"x", 2000}, {"y", 40}}).find("(2000, 40)"),
              std::string::npos);
    EXPECT_NE(bien("mesas", {{"accion", "tamano"}, {"id", "m2"}, {"ancho", 414}, {"alto", "auto"}})
                  .find("414 × alto automático"),
              std::string::npos);
    bien("mesas", {{"accion", "portada"}, {"id", "m2"}});
    std::string mesas = bien("mesas", {{"accion", "listar"}});
    EXPECT_NE(mesas.find("1. m2 «Reservas»"), std::string::npos) << mesas;
    EXPECT_NE(mesas.find("index.html · portada"), std::string::npos) << mesas;
    EXPECT_NE(mesas.find("2. m1 «Inicio»"), std::string::npos) << mesas;
    EXPECT_NE(mesas.find("inicio.html"), std::string::npos) << mesas;
    const std::string ordenado =
        bien("mesas", {{"accion", "ordenar"}, {"orden", json::array({"m1", "m2"})}, {"separacion", 200}});
    EXPECT_NE(ordenado.find("la portada es m1 «Inicio»"), std::string::npos) << ordenado;
    doc = ultimoDoc();
    const json& enOrden = doc.at("paginas").at(0).at("mesas");
    EXPECT_EQ(enOrden.at(0).at("id"), "m1");
    EXPECT_EQ(enOrden.at(1).at("x"), 1440 + 200);
    EXPECT_EQ(doc.at("paginas").at(0).at("portada"), "m1");
    EXPECT_NE(bien("mesas", {{"accion", "borrar"}, {"id", "m2"}}).find("Ctrl+Z"), std::string::npos);
    EXPECT_EQ(bien("ver_tarvel").find("m2"), std::string::npos);

    // A duplicated mesa stands beside its original with ids of its own.
    const std::string copia = bien("duplicar", {{"id", "m1"}});
    std::smatch id;
    ASSERT_TRUE(std::regex_search(copia, id, std::regex("Mesa duplicada: (m\\d+) «Inicio \\(copia\\)», al lado de m1"))) << copia;
    const std::string original = html("m1");
    const std::string duplicada = html(id[1]);
    todosConLid(duplicada);
    EXPECT_EQ(duplicada.find("data-lid=\"titulo\""), std::string::npos) << duplicada;
    EXPECT_NE(duplicada.find("Cortes con oficio"), std::string::npos) << duplicada;
    EXPECT_EQ(cuenta(duplicada, "data-lid="), cuenta(original, "data-lid="));
    doc = ultimoDoc();
    const json& dos = doc.at("paginas").at(0).at("mesas");
    ASSERT_EQ(dos.size(), 2u);
    EXPECT_EQ(dos.at(1).at("x"), 1440 + 120);

    // The agent's focus is drawn with its name and cleared by terminar.
    llamar("window.tarvel.agenteExterno({nombre: 'Cursor', herramienta: 'enfocar', terminar: false}); return 1;");
    EXPECT_NE(bien("enfocar", {{"id", "reservar"}, {"nota", "el botón"}}).find("Señalado reservar <a>"),
              std::string::npos);
    const auto foco = [&] {
        return llamar("const r = document.querySelector('.mesa[data-mesa=\"m1\"] .marca-foco .marca-rotulo');\n"
                      "return r ? r.textContent : null;");
    };
    EXPECT_EQ(foco(), "Cursor · el botón");
    // The indicator shows, and nothing on the page animates without end
    // while it does: every frame of such an animation is drawn by the
    // application's main loop for as long as the agent works.
    EXPECT_EQ(llamar("return document.getElementById('agente-externo').textContent;"),
              "Cursor está trabajando · enfocar");
    EXPECT_EQ(llamar("return document.getAnimations()\n"
                     "  .filter((a) => a.effect && a.effect.getComputedTiming().iterations === Infinity).length;"),
              0);
    // An outside client's terminar comes after the notice native code
    // sends for every call it relays; the answer still says what was removed.
    const auto terminarFuera = [&] {
        llamar("window.tarvel.agenteExterno({nombre: 'Cursor', herramienta: 'terminar', terminar: true}); return 1;");
        return bien("terminar");
    };
    EXPECT_NE(terminarFuera().find("he quitado el indicador"), std::string::npos);
    EXPECT_EQ(foco(), nullptr);
    EXPECT_EQ(llamar("return document.getElementById('agente-externo').hidden;"), true);
    EXPECT_NE(terminarFuera().find("no había indicador"), std::string::npos);
}

TEST_F(PaginaEditorTest, NombrarRespetaElNombrePuestoAMano) {
    cargar(carga(disenoGuardado()));
    EXPECT_EQ(bien("nombrar", {{"nombre", "Barbería Ercilla Centro"}}), "Diseño renombrado: «Barbería Ercilla Centro».");
    // The new name travels in a "cambio" with the document.
    ASSERT_TRUE(ultimoDoc().is_object());
    EXPECT_EQ(buzon_->ultimo("cambio")->at("nombre"), "Barbería Ercilla Centro");

    json aMano = disenoGuardado();
    aMano["nombreAMano"] = true;
    cargar(carga(aMano, {{"nombre", "Mi barbería"}}));
    EXPECT_EQ(bien("nombrar", {{"nombre", "Otra cosa"}}),
              "El usuario le puso nombre a mano («Mi barbería»): se queda así.");
}

TEST_F(PaginaEditorTest, ElCodigoSaleEnHtmlReactYTailwind) {
    json doc = disenoGuardado();
    json& inicio = doc["paginas"][0]["mesas"][0];
    inicio["css"] = inicio["css"].get<std::string>() +
                    ".boton:hover{background:#000}@media (min-width: 768px){.tarjeta h3{font-size:30px}}";
    inicio["html"] = inicio["html"].get<std::string>() +
                     "<footer data-lid=\"pie\" style=\"padding: 24px; mask-type: alpha\">Bilbao<br><img "
                     "src=\"recurso:logo\" alt=\"Logo\"><label for=\"correo\">Correo</label></footer>";
    cargar(carga(doc));

    const std::string enHtml = bien("codigo", {{"id", "m1"}});
    EXPECT_EQ(enHtml.find("data-lid"), std::string::npos) << enHtml;
    EXPECT_NE(enHtml.find(":root{--marca:#e4572e;}"), std::string::npos) << enHtml;
    EXPECT_NE(enHtml.find(".hero{padding:120px 96px;"), std::string::npos) << enHtml;
    EXPECT_NE(enHtml.find("<a class=\"boton\" href=\"#reserva\">Reservar cita</a>"), std::string::npos) << enHtml;

    const std::string react = bien("codigo", {{"id", "pie"}, {"formato", "react"}});
    for (const char* esperado : {"export default function Footer()", "style={{ padding: \"24px\", maskType: \"alpha\" }}",
                                 "<br />", "<img src=\"recurso:logo\" alt=\"Logo\" />", "<label htmlFor=\"correo\">"}) {
        EXPECT_NE(react.find(esperado), std::string::npos) << esperado << "\n" << react;
    }
    EXPECT_EQ(react.find("class="), std::string::npos) << react;

    const std::string tailwind = bien("codigo", {{"id", "m1"}, {"formato", "tailwind"}});
    for (const char* esperado :
         {"<section class=\"py-[120px] px-24 bg-[linear-gradient(135deg,rgb(27,31,59),rgb(58,42,93))] text-white\">",
          "text-7xl leading-[1.05] tracking-[-0.02em] max-w-[900px]", "rounded-[999px] bg-[var(--marca)]",
          "hover:bg-black", "grid grid-cols-3 gap-8 bg-[#faf7f2]", "text-2xl mb-3 md:text-3xl", "p-6 [mask-type:alpha]"}) {
        EXPECT_NE(tailwind.find(esperado), std::string::npos) << esperado << "\n" << tailwind;
    }
    EXPECT_EQ(tailwind.find("class=\"hero\""), std::string::npos) << tailwind;
}

TEST_F(PaginaEditorTest, LosErroresDicenQueMandar) {
    cargar(carga(disenoGuardado()));
    struct Caso {
        std::string herramienta;
        json args;
        std::string texto;
    };
    const std::vector<Caso> casos = {
        {"volar", json::object(), "Herramienta desconocida: volar"},
        {"escribir", {{"modo", "dentro"}, {"html", "<p>x</p>"}}, "Falta «id»: manda el data-lid del elemento o el id de la mesa"},
        {"escribir", {{"id", "m1"}, {"html", "<p>x</p>"}}, "Falta «modo»: manda reemplazar, dentro, despues o antes."},
        {"escribir", {{"id", "m1"}, {"modo", "encima"}, {"html", "<p>x</p>"}}, "has mandado «encima»"},
        {"escribir", {{"id", "m1"}, {"modo", "dentro"}}, "Falta «html»"},
        {"escribir", {{"id", "nada"}, {"modo", "dentro"}, {"html", "<p>x</p>"}},
         "No encuentro «nada»: no es el data-lid de ningún elemento ni el id de una mesa."},
        {"estilo", {{"id", "titulo"}}, "Falta «css»: manda declaraciones como «font-size: 64px; color: #111»."},
        {"estilo", {{"id", "titulo"}, {"css", "colr: red"}}, "Ninguna declaración es válida (colr: red)"},
        {"estilo", {{"id", "m1"}, {"css", "color: red"}}, "«m1» es una mesa, no un elemento: estilo cambia un elemento."},
        {"texto", {{"id", "titulo"}}, "Falta «texto»: manda el texto nuevo del elemento."},
        {"borrar", json::object(), "Falta «id»: manda el data-lid del elemento"},
        {"borrar", {{"id", "m2"}}, "para borrar una mesa usa mesas con accion «borrar»."},
        {"css", {{"css", "p{}"}}, "Falta «mesa»: manda el id de la mesa"},
        {"css", {{"mesa", "m9"}, {"css", "p{}"}}, "No hay ninguna mesa «m9»."},
        {"crear_mesa", {{"nombre", "X"}}, "Falta «ancho»: manda el ancho en px"},
        {"crear_mesa", {{"nombre", "X"}, {"ancho", "ancho"}}, "«ancho» tiene que ser un número"},
        {"crear_mesa", {{"nombre", "X"}, {"ancho", 20000}}, "«ancho» tiene que estar entre 80 y 6000 px"},
        {"crear_mesa", {{"ancho", 1440}}, "Falta «nombre»"},
        {"mover", {{"id", "titulo"}, {"destino", "hero"}, {"como", "encima"}}, "«como» tiene que ser dentro, antes o despues"},
        {"mover", {{"id", "hero"}, {"destino", "titulo"}, {"como", "dentro"}}, "titulo está dentro de hero"},
        {"mover", {{"id", "titulo"}, {"como", "antes"}}, "Falta «destino»"},
        {"codigo", {{"id", "hero"}, {"formato", "vue"}}, "«formato» tiene que ser html, react o tailwind"},
        {"nombrar", json::object(), "Falta «nombre»: manda el nombre del diseño"},
        {"variables", {{"variables", "marca=rojo"}}, "«variables» tiene que ser una lista de {nombre, valor, oscuro?}"},
        {"variables", {{"variables", json::array({{{"nombre", "nueva"}}})}}, "Falta «valor» para --nueva"},
        {"paginas", {{"abrir", 7}}, "«abrir» tiene que ser el índice de una página, de 0 a 0"},
        {"animar", {{"id", "titulo"}, {"tipo", "explotar"}}, "«tipo» tiene que ser uno de: subir, muelle"},
        {"animar", {{"id", "titulo"}, {"disparo", "clic"}}, "«disparo» tiene que ser carga o scroll"},
        {"animar", {{"id", "titulo"}, {"tipo", "contador"}}, "titulo no tiene ningún número en su texto"},
        {"mesas", json::object(), "Falta «accion»: manda listar, ordenar, renombrar, mover, tamano, portada o borrar."},
        {"mesas", {{"accion", "tamano"}, {"id", "m1"}, {"alto", "alto"}}, "«alto» tiene que ser un número en px o la palabra \"auto\""},
        {"mesas", {{"accion", "ordenar"}, {"orden", json::array({"m7"})}}, "No hay ninguna mesa «m7» en la página abierta"},
        {"enfocar", json::object(), "Falta «id»"},
        // Names are short: 81 characters is one too many.
        {"paginas", {{"crear", std::string(81, 'p')}}, "«crear» es demasiado largo: usa pocas palabras (como mucho 80 letras)."},
        {"crear_mesa", {{"nombre", std::string(81, 'm')}, {"ancho", 1440}}, "«nombre» es demasiado largo"},
        {"mesas", {{"accion", "renombrar"}, {"id", "m1"}, {"nombre", std::string(81, 'm')}}, "«nombre» es demasiado largo"},
        {"variables", {{"variables", json::array({{{"nombre", std::string(81, 'v')}, {"valor", "#fff"}}})}},
         "El nombre de la variable 0 es demasiado largo"},
        {"mesas", {{"accion", "ordenar"}, {"grupos", json::array({{{"titulo", std::string(81, 't')}, {"ids", json::array({"m1"})}}})}},
         "«grupos[0].titulo» es demasiado largo"},
        {"nombrar", {{"nombre", std::string(81, 'n')}}, "«nombre» es demasiado largo"},
    };
    const std::size_t cambiosAntes = buzon_->de("cambio").size();
    for (const Caso& caso : casos) {
        const json r = herramienta(caso.herramienta, caso.args);
        ASSERT_TRUE(r.is_object()) << caso.herramienta;
        EXPECT_EQ(r.value("error", false), true) << caso.herramienta << " " << caso.args.dump() << " → " << r.dump();
        EXPECT_NE(r.value("texto", "").find(caso.texto), std::string::npos)
            << caso.herramienta << " " << caso.args.dump() << " → " << r.value("texto", "");
    }
    // A refused call changes nothing.
    asentarCambios();
    EXPECT_EQ(buzon_->de("cambio").size(), cambiosAntes);
    // Arguments that are not an object read as none.
    const json sinArgumentos = llamar("return await window.tarvel.herramienta('escribir', null);");
    EXPECT_EQ(sinArgumentos.value("error", false), true);
    EXPECT_NE(sinArgumentos.value("texto", "").find("Falta «id»"), std::string::npos) << sinArgumentos;
}

// A name of 80 characters (letters of two code units included) is taken;
// a design stored with a huge page or mesa name opens with it cut to 80.
TEST_F(PaginaEditorTest, LosNombresDePaginasYMesasTienenUnLargoMaximo) {
    std::string emojis;
    for (int i = 0; i < 80; ++i) emojis += "😀";
    json doc = disenoGuardado();
    doc["paginas"][0]["nombre"] = std::string(2 * 1024 * 1024, 'x');
    doc["paginas"][0]["mesas"][0]["nombre"] = emojis + "sobra";
    cargar(carga(doc));
    EXPECT_NE(bien("paginas").find("0. «" + std::string(80, 'x') + "» (2 mesas)"), std::string::npos);
    EXPECT_NE(bien("ver_tarvel").find("m1 «" + emojis + "»"), std::string::npos);

    EXPECT_NE(bien("paginas", {{"crear", emojis}}).find("«" + emojis + "»"), std::string::npos);
    bien("variables", {{"variables", json::array({{{"nombre", std::string(80, 'v')}, {"valor", "#fff"}}})}});
    json guardado;
    ASSERT_TRUE(esperarHasta([&] {
        guardado = ultimoDoc();
        return guardado.is_object() && guardado.at("variables").dump().find(std::string(80, 'v')) != std::string::npos;
    }));
    EXPECT_EQ(guardado.at("paginas").at(0).at("nombre"), std::string(80, 'x'));
    EXPECT_EQ(guardado.at("paginas").at(0).at("mesas").at(0).at("nombre"), emojis);
    EXPECT_EQ(guardado.at("paginas").at(1).at("nombre"), emojis);
    EXPECT_LT(guardado.dump().size(), 100000u);
}

TEST_F(PaginaEditorTest, LosCambiosSeAgrupanYSeDeshacen) {
    cargar(carga(disenoGuardado()));
    // Three tools in one turn of the page: one "cambio" with all three.
    llamar(
        "const h = window.tarvel.herramienta;\n"
        "await h('texto', {id: 'titulo', texto: 'Uno'});\n"
        "await h('texto', {id: 'titulo', texto: 'Dos'});\n"
        "await h('estilo', {id: 'titulo', css: 'color: red'});\n"
        "return 1;");
    ASSERT_NE(buzon_->esperar("cambio"), nullptr);
    asentarCambios();
    ASSERT_EQ(buzon_->de("cambio").size(), 1u);
    EXPECT_NE(buzon_->ultimo("cambio")->at("doc").dump().find(
                  "<h1 data-lid=\\\"titulo\\\" style=\\\"color: red;\\\">Dos</h1>"),
              std::string::npos);

    // "forzarCambio" hands the document over at once, even unchanged.
    llamar("window.tarvel.forzarCambio({}); return 1;");
    EXPECT_EQ(buzon_->de("cambio").size(), 2u);

    const auto tecla = [&](bool mayusculas) {
        llamar("document.body.dispatchEvent(new KeyboardEvent('keydown', {key: 'z', ctrlKey: true, shiftKey: may, "
               "bubbles: true})); return 1;",
               {{"may", mayusculas}});
    };
    tecla(false);
    EXPECT_NE(html("m1").find("<h1 data-lid=\"titulo\">Dos</h1>"), std::string::npos);
    tecla(false);
    tecla(false);
    EXPECT_NE(html("m1").find(">Cortes con oficio en el centro de Bilbao</h1>"), std::string::npos);
    EXPECT_NE(ultimoDoc().dump().find("Cortes con oficio"), std::string::npos);
    tecla(true);
    EXPECT_NE(html("m1").find("<h1 data-lid=\"titulo\">Uno</h1>"), std::string::npos);

    // A deleted mesa comes back with its content.
    bien("mesas", {{"accion", "borrar"}, {"id", "m2"}});
    tecla(false);
    EXPECT_NE(html("m2").find("Ven a vernos"), std::string::npos);

    // The user's own edit: a click selects an element of a mesa, Supr
    // deletes it, Ctrl+Z brings it back.
    const json seleccion = llamar(
        "const marco = document.querySelector('.mesa[data-mesa=\"m1\"] .mesa-marco');\n"
        "const d = marco.querySelector('iframe').contentDocument;\n"
        "const r = d.querySelector('[data-lid=\"reservar\"]').getBoundingClientRect();\n"
        "const m = marco.getBoundingClientRect();\n"
        "const z = m.width / 1440;\n"
        "const x = m.left + (r.left + r.width / 2) * z, y = m.top + (r.top + r.height / 2) * z;\n"
        "for (const tipo of ['pointerdown', 'pointerup'])\n"
        "  marco.dispatchEvent(new PointerEvent(tipo, {clientX: x, clientY: y, button: 0, pointerId: 1, bubbles: true}));\n"
        "return 1;");
    ASSERT_EQ(seleccion, 1);
    EXPECT_NE(bien("ver_tarvel").find("Selección del usuario: reservar <a> «Reservar cita» en m1 «Inicio»."),
              std::string::npos);
    EXPECT_NE(bien("leer").find("Elemento reservar <a>"), std::string::npos);
    llamar("document.body.dispatchEvent(new KeyboardEvent('keydown', {key: 'Delete', bubbles: true})); return 1;");
    EXPECT_EQ(html("m1").find("data-lid=\"reservar\""), std::string::npos);
    tecla(false);
    EXPECT_NE(html("m1").find("data-lid=\"reservar\""), std::string::npos);
}

// A design of 50 mesas whose height follows their content: once loaded and
// measured, nothing is written to the page while nobody does anything (a
// rewritten label or style makes the engine restyle and repaint the whole
// canvas). An edit afterwards is seen by the same observer.
TEST_F(PaginaEditorTest, UnDisenoQuietoNoEscribeEnLaPagina) {
    json doc = disenoGuardado();
    const json modelo = doc["paginas"][0]["mesas"][0];
    json mesas = json::array();
    for (int i = 1; i <= 50; ++i) {
        json m = modelo;
        const std::string id = "m" + std::to_string(i);
        m["id"] = id;
        m["nombre"] = "Mesa " + std::to_string(i);
        m["x"] = (i - 1) % 10 * 1600;
        m["y"] = (i - 1) / 10 * 1400;
        m["html"] = std::regex_replace(m["html"].get<std::string>(), std::regex("data-lid=\""), "data-lid=\"" + id + "-");
        mesas.push_back(m);
    }
    doc["paginas"][0]["mesas"] = mesas;
    doc["paginas"][0]["portada"] = "m1";
    cargar(carga(doc));
    pausa(2000);  // fonts and the first measurements settle
    llamar(
        "window.mutaciones = 0;\n"
        "const o = new MutationObserver((lista) => { window.mutaciones += lista.length; });\n"
        "const todo = {subtree: true, attributes: true, childList: true, characterData: true};\n"
        "o.observe(document, todo);\n"
        "for (const f of document.querySelectorAll('.mesa iframe')) o.observe(f.contentDocument, todo);\n"
        "window.observador = o;\n"
        "return document.querySelectorAll('.mesa iframe').length;");
    pausa(3000);
    EXPECT_EQ(llamar("return window.mutaciones;"), 0);

    bien("texto", {{"id", "m7-titulo"}, {"texto", "Otro título"}});
    EXPECT_GT(llamar("return window.mutaciones;").get<int>(), 0);
    EXPECT_NE(html("m7").find(">Otro título</h1>"), std::string::npos);
}

TEST_F(PaginaEditorTest, ElUsuarioMarcaUnaZonaQueElAgenteVe) {
    cargar(carga(disenoGuardado()));
    // Mayús and a drag over the three cards of the services section.
    llamar(
        "const marco = document.querySelector('.mesa[data-mesa=\"m1\"] .mesa-marco');\n"
        "const d = marco.querySelector('iframe').contentDocument;\n"
        "const r = d.querySelector('[data-lid=\"servicios\"]').getBoundingClientRect();\n"
        "const m = marco.getBoundingClientRect(), z = m.width / 1440;\n"
        "const a = [m.left + (r.left + 40) * z, m.top + (r.top + 40) * z];\n"
        "const b = [m.left + (r.right - 40) * z, m.top + (r.bottom - 40) * z];\n"
        "const lienzo = document.getElementById('lienzo');\n"
        "marco.dispatchEvent(new PointerEvent('pointerdown', {clientX: a[0], clientY: a[1], button: 0, pointerId: 1, shiftKey: true, bubbles: true}));\n"
        "lienzo.dispatchEvent(new PointerEvent('pointermove', {clientX: b[0], clientY: b[1], button: 0, pointerId: 1, bubbles: true}));\n"
        "lienzo.dispatchEvent(new PointerEvent('pointerup', {clientX: b[0], clientY: b[1], button: 0, pointerId: 1, bubbles: true}));\n"
        "return 1;");
    const std::string estado = bien("ver_tarvel");
    EXPECT_NE(estado.find("Zona recuadrada por el usuario en m1 «Inicio»"), std::string::npos) << estado;
    EXPECT_NE(estado.find("dentro: t1 <div> «Corte clásico Tijera y navaja, acabado a mano.»; t2 <div>"), std::string::npos)
        << estado;
    EXPECT_NE(estado.find("t3 <div>"), std::string::npos) << estado;
    // Escape takes the zone away.
    llamar("document.body.dispatchEvent(new KeyboardEvent('keydown', {key: 'Escape', bubbles: true})); return 1;");
    EXPECT_EQ(bien("ver_tarvel").find("Zona recuadrada"), std::string::npos);
}

TEST_F(PaginaEditorTest, PublicarYSalirEntreganAntesLoPendiente) {
    cargar(carga(disenoGuardado()));
    const auto indice = [&](const std::string& tipo) {
        for (std::size_t i = buzon_->mensajes.size(); i-- > 0;)
            if (buzon_->mensajes[i].value("tipo", "") == tipo) return static_cast<long>(i);
        return -1L;
    };

    // A change just made travels right before the publication, which takes
    // the open page's mesas, the cover first.
    llamar("await window.tarvel.herramienta('texto', {id: 'titulo', texto: 'Recién cambiado'});\n"
           "document.getElementById('publicar-boton').click();\n"
           "document.querySelector('#publicar-menu .opcion').click(); return 1;");
    const json* publicar = buzon_->ultimo("publicar");
    ASSERT_NE(publicar, nullptr);
    EXPECT_EQ(indice("cambio") + 1, indice("publicar"));
    EXPECT_NE(buzon_->ultimo("cambio")->dump().find("Recién cambiado"), std::string::npos);
    EXPECT_EQ(publicar->at("destino"), "previa");
    const json& paginas = publicar->at("paginas");
    ASSERT_EQ(paginas.size(), 2u);
    EXPECT_EQ(paginas[0].at("nombre"), "Inicio");
    EXPECT_EQ(paginas[0].at("inicio"), true);
    EXPECT_EQ(paginas[1].at("inicio"), false);
    const std::string portada = paginas[0].at("html");
    EXPECT_EQ(portada.rfind("<style>", 0), 0u) << portada;
    EXPECT_NE(portada.find("Recién cambiado"), std::string::npos);
    // A second publication waits for the answer to the first.
    llamar("document.getElementById('publicar-boton').click(); return 1;");
    EXPECT_EQ(llamar("return document.getElementById('publicar-boton').disabled;"), true);
    llamar("window.tarvel.publicado({url: 'https://previa.example/abc', caduca: '2025-03-08', paginas: 2, nueva: true}); "
           "return 1;");
    EXPECT_EQ(llamar("return document.getElementById('publicar-boton').disabled;"), false);

    llamar("await window.tarvel.herramienta('texto', {id: 'titulo', texto: 'Antes de salir'});\n"
           "document.getElementById('volver').click(); return 1;");
    ASSERT_NE(buzon_->ultimo("salir"), nullptr);
    EXPECT_EQ(indice("cambio") + 1, indice("salir"));
    EXPECT_NE(buzon_->ultimo("cambio")->dump().find("Antes de salir"), std::string::npos);
}

TEST_F(PaginaEditorTest, LaCapturaDaElHtmlYSuTamano) {
    json doc = disenoGuardado();
    doc["paginas"][0]["mesas"][0]["alto"] = 600;
    cargar(carga(doc));
    const json mesa = herramienta("captura", {{"id", "m2"}});
    ASSERT_TRUE(mesa.is_object());
    EXPECT_EQ(mesa.at("w"), 390);
    EXPECT_EQ(mesa.at("h"), 844);
    const std::string html = mesa.at("html");
    EXPECT_EQ(html.rfind("<style>", 0), 0u) << html;
    EXPECT_NE(html.find(":root{--marca:#e4572e;}@media (prefers-color-scheme: dark){:root{--marca:#ff8a65;}}"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("Ven a vernos"), std::string::npos);

    // The auto-height page is as tall as its content; an element keeps its
    // surroundings, moved to the picture's corner.
    const json inicio = herramienta("captura", {{"id", "m1"}});
    const json contenido = llamar(
        "const d = document.querySelector('.mesa[data-mesa=\"m1\"] iframe').contentDocument;\n"
        "return [...d.body.children].reduce((s, c) => s + c.getBoundingClientRect().height, 0);");
    EXPECT_GT(inicio.at("h").get<int>(), 600);
    EXPECT_NEAR(inicio.at("h").get<double>(), contenido.get<double>(), 1.0);
    const json boton = herramienta("captura", {{"id", "reservar"}});
    EXPECT_GT(boton.at("w").get<int>(), 100);
    EXPECT_LT(boton.at("w").get<int>(), 400);
    EXPECT_LT(boton.at("h").get<int>(), 100);
    EXPECT_NE(boton.at("html").get<std::string>().find("<div style=\"width:1440px;translate:-96px -"), std::string::npos)
        << boton.at("html");
}

TEST_F(PaginaEditorTest, ElCodigoDeUnDisenoNoSeEjecuta) {
    // It would post to native code through our page's document, and leave
    // a mark on its own window and ours.
    const std::string ataque =
        "top.document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'desdeDiseno'})}));"
        "window.tocado = 1; parent.tocado = 1;";
    json doc = disenoGuardado();
    doc["paginas"][0]["mesas"][1]["html"] = "<p data-lid=\"x\">guardado</p><script>" + ataque + "</script>";
    cargar(carga(doc));
    const std::string escrito = bien(
        "escribir", {{"id", "m1"},
                     {"modo", "dentro"},
                     {"html", "<div data-lid=\"trampa\"><script>" + ataque + "</script><img src=\"no-existe.png\" onerror=\"" +
                                  ataque + "\"><svg onload=\"" + ataque + "\"></svg></div>"}});
    EXPECT_NE(escrito.find("He quitado 1 <script>: en el tarvel no se ejecuta código."), std::string::npos) << escrito;
    pausa(600);
    EXPECT_TRUE(buzon_->de("desdeDiseno").empty());
    const json tocado = llamar(
        "const ventanas = [...document.querySelectorAll('.mesa iframe')].map(f => f.contentWindow);\n"
        "return [window.tocado ?? null, ...ventanas.map(w => w.tocado ?? null)];");
    EXPECT_EQ(tocado, json::array({nullptr, nullptr, nullptr}));
    const std::string guardado = html("m1");
    EXPECT_EQ(guardado.find("<script"), std::string::npos) << guardado;
    EXPECT_NE(guardado.find("onerror="), std::string::npos) << guardado;
}

TEST_F(PaginaEditorTest, ElChatHablaConElAgenteYGuardaLasConversaciones) {
    cargar(carga(disenoGuardado()));
    llamar("document.getElementById('chat-texto').value = 'Pon el título más grande';\n"
           "document.getElementById('chat-enviar').click(); return 1;");
    const json* agente = buzon_->esperar("agente");
    ASSERT_NE(agente, nullptr);
    EXPECT_EQ(*agente, json({{"tipo", "agente"},
                             {"ia", "claude"},
                             {"peticion", "Pon el título más grande"},
                             {"app", false},
                             {"grande", false},
                             {"movil", false},
                             {"paginas", json::array()}}));
    // A new chat is a new conversation with the tool.
    ASSERT_NE(buzon_->ultimo("olvidarConversacion"), nullptr);
    EXPECT_EQ(buzon_->ultimo("olvidarConversacion")->at("ia"), "claude");

    for (const char* m : {R"({"tipo":"empieza","ia":"Claude Code"})",
                          R"({"tipo":"paso","id":"t1","herramienta":"mcp__tarvel__estilo","agente":"","entrada":{"id":"titulo"}})",
                          R"({"tipo":"pasoHecho","id":"t1","error":false})",
                          R"({"tipo":"sesion","ia":"claude","sesion":"s-42"})",
                          R"({"tipo":"texto","texto":"He subido el título a 88 px."})",
                          R"({"tipo":"fin","texto":"He subido el título a 88 px."})",
                          R"({"tipo":"termina","codigo":0})"}) {
        llamar("window.tarvel.chat(m); return 1;", {{"m", json::parse(m)}});
    }
    const json* trabajo = buzon_->ultimo("trabajo");
    ASSERT_NE(trabajo, nullptr);
    EXPECT_EQ(trabajo->at("texto"), "He subido el título a 88 px.");
    pausa(500);
    const json* guardados = buzon_->ultimo("guardarChats");
    ASSERT_NE(guardados, nullptr);
    const json& chat = guardados->at("chats").at(0);
    EXPECT_EQ(chat.at("sesiones"), json({{"claude", "s-42"}}));
    std::vector<std::string> roles;
    for (const json& m : chat.at("mensajes")) roles.push_back(m.at("rol"));
    EXPECT_EQ(roles, (std::vector<std::string>{"usuario", "aviso", "paso", "ia"}));
    EXPECT_EQ(chat.at("mensajes").at(2).at("estado"), "hecho");

    // Back in that chat later, the tool resumes the same conversation.
    cargar(carga(disenoGuardado(), {{"chats", guardados->at("chats")}}));
    EXPECT_EQ(buzon_->ultimo("usarSesion")->at("sesiones"), json({{"claude", "s-42"}}));
    llamar("document.getElementById('chat-texto').value = 'Y el botón en verde';\n"
           "document.getElementById('chat-enviar').click(); return 1;");
    EXPECT_EQ(buzon_->ultimo("usarSesion")->at("sesiones"), json({{"claude", "s-42"}}));
    EXPECT_EQ(buzon_->de("agente").size(), 2u);
}

TEST_F(PaginaEditorTest, MuestraElEstadoLosAvisosYSigueEnSegundoPlano) {
    cargar(carga(disenoGuardado()));
    llamar("window.tarvel.segundoPlano({si: true});\n"
           "window.tarvel.estado({guardado: 'sin conexión: reintento', error: true});\n"
           "window.tarvel.aviso({texto: 'Web exportada: 2 páginas en Barbería'}); return 1;");
    const json visto = llamar(
        "const g = document.getElementById('guardado');\n"
        "return {texto: g.textContent, error: g.classList.contains('error'),\n"
        "        aviso: [...document.querySelectorAll('.aviso span')].map(s => s.textContent)};");
    EXPECT_EQ(visto, json({{"texto", "sin conexión: reintento"},
                           {"error", true},
                           {"aviso", json::array({"Web exportada: 2 páginas en Barbería"})}}));
    // Tools keep working while the editor is parked.
    bien("texto", {{"id", "titulo"}, {"texto", "En segundo plano"}});
    EXPECT_NE(ultimoDoc().dump().find("En segundo plano"), std::string::npos);
    llamar("window.tarvel.estado({guardado: '—', nombre: 'Barbería Ercilla (copia)'}); return 1;");
    EXPECT_NE(bien("ver_tarvel").find("Diseño «Barbería Ercilla (copia)»"), std::string::npos);
}

// The side lists are rebuilt only when what they show changes; they must
// still follow renames, undo (which replaces the mesa and page objects) and a
// page name edited in place.
TEST_F(PaginaEditorTest, LasListasDelPanelSiguenAlDisenoYAlDeshacer) {
    cargar(carga(disenoGuardado()));
    const auto listas = [this] {
        return llamar(
            "const filas = (id) => [...document.querySelectorAll(`#${id} li`)].map((li) =>\n"
            "  (li.querySelector('input') ? 'campo:' + li.querySelector('input').value : li.querySelector('span').textContent) +\n"
            "  (li.classList.contains('activa') ? '*' : ''));\n"
            "return {paginas: filas('lista-paginas'), mesas: filas('lista-mesas')};");
    };
    EXPECT_EQ(listas(), json({{"paginas", {"Web*"}}, {"mesas", {"Inicio", "Contacto"}}}));

    bien("mesas", {{"accion", "renombrar"}, {"id", "m2"}, {"nombre", "Reservas"}});
    EXPECT_EQ(listas().at("mesas"), json({"Inicio", "Reservas"}));
    llamar("document.getElementById('deshacer').click(); return 1;");
    EXPECT_EQ(listas().at("mesas"), json({"Inicio", "Contacto"}));
    // The row's button finds the mesa the undo put back.
    llamar("document.querySelectorAll('#lista-mesas li button')[1].click(); return 1;");
    EXPECT_EQ(listas().at("mesas"), json({"Inicio", "Contacto*"}));

    const auto renombrar = [this](const std::string& nombre) {
        llamar(
            "const li = document.querySelector('#lista-paginas li');\n"
            "li.dispatchEvent(new MouseEvent('dblclick', {bubbles: true}));\n"
            "const campo = li.querySelector('input');\n"
            "campo.value = nombre; campo.blur(); return 1;",
            {{"nombre", nombre}});
    };
    renombrar("Tienda");
    EXPECT_EQ(listas().at("paginas"), json({"Tienda*"}));
    // Left as it was, the field goes and the name comes back.
    renombrar("Tienda");
    EXPECT_EQ(listas().at("paginas"), json({"Tienda*"}));
}

TEST_F(PaginaEditorTest, FotoDelEditorConDosMesas) {
    cargar(carga(disenoGuardado(), {{"tarjetaAgentes", true}, {"agentesConectados", json::array({"Claude Code"})}}));
    llamar("window.tarvel.estado({guardado: 'guardado'});\n"
           "window.tarvel.chat({tipo: 'empieza', ia: 'Claude Code'});\n"
           "window.tarvel.chat({tipo: 'texto', texto: 'Portada lista: titular, entradilla y botón de reserva.'});\n"
           "return 1;");
    bien("enfocar", {{"id", "titulo"}, {"nota", "ajusto el titular"}});

    // The photograph lays the page out 1600 pixels wide; the editor fills a
    // 1000-pixel-tall window.
    ASSERT_TRUE(esperarTarea(vista_->instantanea(1600, FormatoImagen::png)).value().ok());
    llamar("document.documentElement.style.height = '1000px'; window.dispatchEvent(new Event('resize')); return 1;");
    pausa(300);
    const auto png = esperarTarea(vista_->instantanea(1600, FormatoImagen::png));
    ASSERT_TRUE(png.has_value());
    ASSERT_TRUE(png->ok()) << png->fallo().mensaje;

    const auto foto = prueba::guardarFoto(**png, "editor.png");
    ASSERT_TRUE(foto);
    EXPECT_EQ(foto->ancho, 1600);
    EXPECT_EQ(foto->alto, 1000);

    // The dark bar on top, and the mesas drawn where the page says they are.
    const auto color = [&](int x, int y) { return foto->color(x, y); };
    const auto barra = color(800, 10);
    EXPECT_LT(barra[0] + barra[1] + barra[2], 120);
    const json centros = llamar(
        "const punto = (sel, fx, fy) => { const r = document.querySelector(sel).getBoundingClientRect();\n"
        "  return [Math.round(r.left + r.width * fx), Math.round(r.top + r.height * fy)]; };\n"
        "return {hero: punto('.mesa[data-mesa=\"m1\"] .mesa-marco', 0.02, 0.05),\n"
        "        contacto: punto('.mesa[data-mesa=\"m2\"] .mesa-marco', 0.5, 0.9)};");
    const auto hero = color(centros["hero"][0], centros["hero"][1]);
    EXPECT_LT(hero[0], 80);  // the hero's dark blue
    EXPECT_LT(hero[1], 80);
    EXPECT_GT(hero[2], 40);
    const auto contacto = color(centros["contacto"][0], centros["contacto"][1]);
    EXPECT_GT(contacto[0], 230);  // the contact page's cream background
    EXPECT_GT(contacto[1], 230);
    EXPECT_GT(contacto[2], 220);
}

}  // namespace
}  // namespace sorvenia
