// A change asked of the local AI tool from the editor page (the real page in
// a WebKitGTK view): with an element selected, the button asks for a change
// of that element only; the answer's <cambio> blocks are applied to the
// elements the tool was shown and nothing else, as one undo step; the
// partial answer is only a preview, and a failed turn leaves the mesa as it
// was.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "diseno_prueba.h"
#include "pagina_prueba.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::Buzon;

const std::filesystem::path carpetaEditor = std::filesystem::path(SORVENIA_FUENTE) / "resources/editor";

// The stored hero of the test design, as the tool must see it.
constexpr const char* tituloOriginal = "<h1 data-lid=\"titulo\">Cortes con oficio en el centro de Bilbao</h1>";

class CambioIATest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run)."; }

    void SetUp() override {
        vista_ = std::make_unique<WebVista>("tarvel", OpcionesWebVista{});
        buzon_ = std::make_unique<Buzon>(*vista_);
        vista_->cargarPagina(carpetaEditor / "tarvel" / "index.html", carpetaEditor);
        ASSERT_NE(buzon_->esperar("listo"), nullptr) << "La página no ha dicho «listo».";
        const json ias = json::array({{{"id", "claude"},
                                       {"nombre", "Claude"},
                                       {"detalle", ""},
                                       {"sesion", true},
                                       {"icono", ""},
                                       {"modelo", ""},
                                       {"modelos", json::array()}}});
        llamar("window.tarvel.cargar(dato); return true;", {{"dato",
                                                             {{"doc", prueba::disenoGuardado()},
                                                              {"nombre", "Barbería Ercilla"},
                                                              {"ias", ias},
                                                              {"chats", json::array()},
                                                              {"fuentes", json::array()},
                                                              {"tarjetaAgentes", false},
                                                              {"integraciones", json::array()},
                                                              {"agentesConectados", json::array()}}}});
        original_ = html("m1");
        ASSERT_NE(original_.find(tituloOriginal), std::string::npos) << original_;
    }

    json llamar(const std::string& cuerpo, json argumentos = json::object()) {
        return prueba::llamarEnPagina(*vista_, cuerpo, std::move(argumentos));
    }

    std::string leer(const std::string& id) {
        const json r = llamar("return await window.tarvel.herramienta('leer', {id});", {{"id", id}});
        return r.is_object() ? r.value("texto", "") : "";
    }
    std::string html(const std::string& mesa) {
        const std::string t = leer(mesa);
        const auto p = t.find("\nHTML:\n");
        return p == std::string::npos ? "" : t.substr(p + 7);
    }

    // The user's click on an element of mesa m1 (apart from the last one, so
    // that two never make a double click).
    void clicEn(const std::string& lid) {
        prueba::pausa(500);
        ASSERT_EQ(
            llamar("const marco = document.querySelector('.mesa[data-mesa=\"m1\"] .mesa-marco');\n"
                   "const d = marco.querySelector('iframe').contentDocument;\n"
                   "const r = d.querySelector(`[data-lid=\"${lid}\"]`).getBoundingClientRect();\n"
                   "const m = marco.getBoundingClientRect();\n"
                   "const z = m.width / 1440;\n"
                   "const x = m.left + (r.left + r.width / 2) * z, y = m.top + (r.top + r.height / 2) * z;\n"
                   "for (const tipo of ['pointerdown', 'pointerup'])\n"
                   "  marco.dispatchEvent(new PointerEvent(tipo, {clientX: x, clientY: y, button: 0, pointerId: 1, "
                   "bubbles: true}));\n"
                   "return 1;",
                   {{"lid", lid}}),
            1);
    }

    // The user writes the order and presses the AI button; gives the "ia"
    // message the page posted.
    json pedir(const std::string& texto) {
        const std::size_t antes = buzon_->de("ia").size();
        llamar(
            "document.getElementById('chat-texto').value = t; document.getElementById('chat-disenar').click(); "
            "return 1;",
            {{"t", texto}});
        const json* m = buzon_->esperar("ia", antes + 1);
        return m ? *m : json();
    }

    json responder(const json& pedido, const json& respuesta) {
        json d = respuesta;
        d["req"] = pedido.value("req", -1);
        return llamar("window.tarvel.respuestaIA(d); await new Promise(r => setTimeout(r, 50)); return 1;", {{"d", d}});
    }

    void deshacer() {
        llamar(
            "document.body.dispatchEvent(new KeyboardEvent('keydown', {key: 'z', ctrlKey: true, bubbles: true})); "
            "return 1;");
    }

    std::string textoEnLaMesa(const std::string& lid) {
        const json t = llamar(
            "const d = document.querySelector('.mesa[data-mesa=\"m1\"] iframe').contentDocument;\n"
            "const e = d.querySelector(`[data-lid=\"${lid}\"]`); return e ? e.textContent : null;",
            {{"lid", lid}});
        return t.is_string() ? t.get<std::string>() : "(ninguno)";
    }

    std::string avisos() {
        const json t = llamar("return [...document.querySelectorAll('.aviso')].map(a => a.textContent).join('|');");
        return t.is_string() ? t.get<std::string>() : "";
    }

    std::unique_ptr<WebVista> vista_;
    std::unique_ptr<Buzon> buzon_;
    std::string original_;
};

TEST_F(CambioIATest, LaSeleccionViajaConLaOrdenYSinRevision) {
    EXPECT_EQ(llamar("return document.getElementById('chat-disenar').textContent;"), "Mesa con IA");
    clicEn("titulo");
    EXPECT_EQ(llamar("return document.getElementById('chat-disenar').textContent;"), "Cambiar con IA");
    const json m = pedir("Pon el nombre de la barbería");
    ASSERT_TRUE(m.is_object());
    EXPECT_EQ(m.value("cambio", false), true) << m;
    EXPECT_EQ(m.value("revisar", true), false) << m;
    EXPECT_EQ(m.value("peticion", ""), "Pon el nombre de la barbería");
    EXPECT_EQ(m.value("ia", ""), "claude");
    EXPECT_EQ(m.value("ancho", 0), 1440);
    EXPECT_EQ(m.value("alto", 0), 900);
    // The mesa's sheet, then the selected element and nothing else of it.
    const std::string enviado = m.value("html", "");
    EXPECT_TRUE(enviado.starts_with("<style>.hero{padding:120px 96px;")) << enviado;
    EXPECT_TRUE(enviado.ends_with(std::string("</style>\n") + tituloOriginal)) << enviado;
    EXPECT_EQ(enviado.find("entradilla"), std::string::npos) << enviado;
}

TEST_F(CambioIATest, LaRespuestaSoloTocaLoQueLaIAVioYSeDeshaceDeUnaVez) {
    struct Caso {
        const char* nombre;
        const char* respuesta;
        std::vector<std::string> esta;    // in the mesa afterwards
        std::vector<std::string> noEsta;  // gone from it
    };
    const std::vector<Caso> casos = {
        {"reemplazar con estilo nuevo",
         "<style>.nuevo{letter-spacing:.1em}</style>\n<cambio lid=\"titulo\"><h1 data-lid=\"titulo\" "
         "class=\"nuevo\">Barbería Ercilla</h1></cambio>",
         {"<h1 data-lid=\"titulo\" class=\"nuevo\">Barbería Ercilla</h1>", ".nuevo{letter-spacing:.1em}"},
         {"Cortes con oficio"}},
        {"fuera de la selección no se toca",
         "<cambio lid=\"t1\" como=\"borrar\"></cambio><cambio lid=\"titulo\" como=\"despues\"><p "
         "class=\"desde\">Desde 1987</p></cambio>",
         {tituloOriginal, "data-lid=\"t1\"", "<p class=\"desde\" data-lid=\""},
         {}},
        {"dentro",
         "<cambio lid=\"titulo\" como=\"dentro\"><span>, con cita</span></cambio>",
         {"Cortes con oficio en el centro de Bilbao<span data-lid=\""},
         {}},
        {"una pieza sin bloques ocupa la selección",
         "<h2 class=\"otro\">Otro título</h2>",
         {"<h2 class=\"otro\" data-lid=\"titulo\">Otro título</h2>"},
         {"<h1"}},
        {"sin scripts",
         "<cambio lid=\"titulo\"><h1 data-lid=\"titulo\">Hola<script>robar()</script></h1></cambio>",
         {"<h1 data-lid=\"titulo\">Hola</h1>"},
         {"robar"}},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nombre);
        clicEn("titulo");
        const json pedido = pedir("Cámbialo");
        ASSERT_TRUE(pedido.is_object());
        responder(pedido, {{"html", caso.respuesta}});
        const std::string todo = leer("m1");
        for (const auto& s : caso.esta) EXPECT_NE(todo.find(s), std::string::npos) << s << "\n" << todo;
        for (const auto& s : caso.noEsta) EXPECT_EQ(todo.find(s), std::string::npos) << s << "\n" << todo;
        // The rest of the mesa is as it was.
        for (const char* lid : {"entradilla", "reservar", "t1", "t2", "t3"})
            EXPECT_NE(todo.find(std::string("data-lid=\"") + lid + "\""), std::string::npos) << lid;
        EXPECT_NE(todo.find("<p data-lid=\"entradilla\">Barbería de barrio desde 1987."), std::string::npos);
        // One undo brings back the mesa as it was, sheet included.
        deshacer();
        EXPECT_EQ(html("m1"), original_);
        EXPECT_EQ(leer("m1").find(".nuevo"), std::string::npos);
    }
}

TEST_F(CambioIATest, ElParcialEsSoloUnaVistaPreviaYUnFalloDejaLaMesaComoEstaba) {
    clicEn("titulo");
    const json pedido = pedir("Otro titular");
    ASSERT_TRUE(pedido.is_object());
    const int req = pedido.value("req", -1);
    // The block still being written shows in the mesa, the design is untouched.
    llamar("window.tarvel.iaParcial({req, html: '<cambio lid=\"titulo\"><h1 data-lid=\"titulo\">Barber'}); return 1;",
           {{"req", req}});
    EXPECT_EQ(textoEnLaMesa("titulo"), "Barber");
    EXPECT_EQ(html("m1"), original_);
    // A partial answer of another request is not this one's.
    llamar("window.tarvel.iaParcial({req: req + 1, html: '<cambio lid=\"titulo\"><h1>Otro</h1></cambio>'}); return 1;",
           {{"req", req}});
    EXPECT_EQ(textoEnLaMesa("titulo"), "Barber");

    responder(pedido, {{"error", "Claude no ha devuelto un diseño (código 1). "}});
    EXPECT_EQ(textoEnLaMesa("titulo"), "Cortes con oficio en el centro de Bilbao");
    EXPECT_EQ(html("m1"), original_);
    EXPECT_NE(avisos().find("Claude no ha devuelto un diseño (código 1)."), std::string::npos) << avisos();

    // An answer that touches only what the tool was not shown changes
    // nothing and says so.
    clicEn("titulo");
    const json otro = pedir("Quita la tarjeta");
    responder(otro, {{"html", "<cambio lid=\"t1\" como=\"borrar\"></cambio>"}});
    EXPECT_EQ(html("m1"), original_);
    EXPECT_NE(avisos().find("La IA no ha devuelto ningún cambio que se pueda aplicar a lo que tenías seleccionado."),
              std::string::npos)
        << avisos();
}

// An agent's edit of the same mesa while the preview shows lands on the
// design, and the design never takes in the unfinished answer.
TEST_F(CambioIATest, UnaEdicionDuranteLaVistaPreviaVaAlDisenoSinLaVistaPrevia) {
    clicEn("titulo");
    const json pedido = pedir("Otro titular");
    ASSERT_TRUE(pedido.is_object());
    const int req = pedido.value("req", -1);
    llamar("window.tarvel.iaParcial({req, html: '<cambio lid=\"titulo\"><h1 data-lid=\"titulo\">Barber'}); return 1;",
           {{"req", req}});
    ASSERT_EQ(textoEnLaMesa("titulo"), "Barber");

    const json r = llamar("return await window.tarvel.herramienta('texto', {id: 'entradilla', texto: 'Abierto los "
                          "sábados'});");
    ASSERT_TRUE(r.is_object()) << r;
    EXPECT_FALSE(r.value("error", false)) << r;
    std::string esperado = original_;
    const auto desde = esperado.find("<p data-lid=\"entradilla\">");
    ASSERT_NE(desde, std::string::npos) << esperado;
    const auto hasta = esperado.find("</p>", desde);
    esperado.replace(desde, hasta - desde, "<p data-lid=\"entradilla\">Abierto los sábados");
    EXPECT_EQ(html("m1"), esperado);
    // The preview shows again, over the edited design.
    EXPECT_EQ(textoEnLaMesa("titulo"), "Barber");
    EXPECT_EQ(textoEnLaMesa("entradilla"), "Abierto los sábados");

    // The finished answer keeps the agent's edit.
    responder(pedido, {{"html", "<cambio lid=\"titulo\"><h1 data-lid=\"titulo\">Barbería Ercilla</h1></cambio>"}});
    const std::string despues = html("m1");
    EXPECT_NE(despues.find("<h1 data-lid=\"titulo\">Barbería Ercilla</h1>"), std::string::npos) << despues;
    EXPECT_NE(despues.find("Abierto los sábados"), std::string::npos) << despues;
}

TEST_F(CambioIATest, UnCambioDelPanelDuranteLaVistaPreviaVaAlDiseno) {
    clicEn("titulo");
    const json pedido = pedir("Otro titular");
    ASSERT_TRUE(pedido.is_object());
    llamar("window.tarvel.iaParcial({req, html: '<cambio lid=\"titulo\"><h1 data-lid=\"titulo\">Barber'}); return 1;",
           {{"req", pedido.value("req", -1)}});
    ASSERT_EQ(textoEnLaMesa("titulo"), "Barber");

    // The selected element's panel, built before the preview showed.
    ASSERT_EQ(llamar("const l = [...document.querySelectorAll('label.campo')]"
                     ".find((c) => c.textContent.startsWith('Color del texto'));"
                     "if (!l) return false;"
                     "const i = l.querySelector('input'); i.value = 'rgb(1, 2, 3)';"
                     "i.dispatchEvent(new Event('change')); return true;"),
              json(true));
    const std::string guardado = html("m1");
    EXPECT_NE(guardado.find("<h1 data-lid=\"titulo\" style=\"color: rgb(1, 2, 3);\">"), std::string::npos) << guardado;
    EXPECT_EQ(guardado.find("Barber<"), std::string::npos) << guardado;
    EXPECT_EQ(textoEnLaMesa("titulo"), "Barber");
}

}  // namespace
}  // namespace sorvenia
