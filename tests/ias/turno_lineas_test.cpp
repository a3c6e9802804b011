// The pure parts of a design turn and of a sign-in: cleaning a tool's
// answer, reading claude's and codex's event lines, the order texts, the
// customer's images in the work folder, and what a login's output says.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "ias/disenar.h"
#include "ias/inicio_sesion.h"
#include "ias/limpiar.h"
#include "ias/lineas_turno.h"
#include "ias/turno.h"
#include "plataforma/carpetas.h"

namespace sorvenia::IAsLocales {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(Limpiar, SacaElFragmentoDeLaRespuesta) {
    struct Caso {
        std::string entrada, salida;
    };
    const std::vector<Caso> casos = {
        {"Aquí va:\n```html\n<div>a</div>\n```\nEspero que guste.", "<div>a</div>"},
        {"```\n<p>x</p>```", "<p>x</p>"},
        {"Texto <div>b</div> y más", "<div>b</div>"},
        {"sin etiquetas", ""},
        {"solo < abre", ""},
        {"solo > cierra", ""},
        {"> a <", ""},
        {"```html\n<b>sin cierre de valla", "<b>"},
        {"antes ```html <i>1</i>``` en medio ```<i>2</i>```", "<i>1</i>"},
    };
    for (const auto& c : casos) EXPECT_EQ(limpiar(c.entrada), c.salida) << c.entrada;
}

TEST(Limpiar, QuitaGuionesYManejadores) {
    struct Caso {
        std::string entrada, salida;
    };
    const std::vector<Caso> casos = {
        {"<div>a<script>alert(1)</script>b</div>", "<div>ab</div>"},
        {"<div><SCRIPT src=x></SCRIPT><p>c</p></div>", "<div><p>c</p></div>"},
        {"<div>a<script>sin cerrar", "<div>a"},
        {R"h(<img src="a.png" onerror="robar()">)h", R"h(<img src="a.png">)h"},
        {R"h(<button ONCLICK='x()' class="b">B</button>)h", R"h(<button class="b">B</button>)h"},
        // A ">" inside a quoted value does not end the tag early.
        {R"h(<img title=">" onerror="x()">)h", R"h(<img title=">">)h"},
        // A handler right after the tag's name, glued to the next attribute:
        // that attribute must not join the name.
        {R"h(<a onclick="x()"href="b.html">B</a>)h", R"h(<a href="b.html">B</a>)h"},
        // A removed handler must not leave a "=" after the attribute before
        // it: that would open the quote's contents to the browser.
        {R"h(<p a onclick=x =k="v onmouseover=robar()">t</p>)h", "<p a>t</p>"},
        // As a browser reads it: "=" after blanks gives "a" its value, and
        // the handler after that value is an attribute of its own.
        {R"h(<p a =k="v onmouseover=robar()">t</p>)h", R"h(<p a =k="v>t</p>)h"},
        // Nor a "/" after it: glued to "x" it would end the quote early and
        // bring the handler inside it to life.
        {R"h(<p a=x onclick="y"/b="c onmouseover=robar()">t</p>)h", R"h(<p a=x /b="c onmouseover=robar()">t</p>)h"},
        {R"h(<p a=x =z/b="c onmouseover=robar()">t</p>)h", R"h(<p a=x /b="c onmouseover=robar()">t</p>)h"},
        {"<p>uno < dos y <scripted> no es un guion</p>", "<p>uno &lt; dos y <scripted> no es un guion</p>"},
        // What is left around a removed script never joins into a new one.
        {"<div><<script></script>script>robar()</div>", "<div>&lt;script>robar()</div>"},
        {"<div></<script></script>script></div>", "<div></script></div>"},
        {"<style>.a{color:red}</style><div class=a>ok</div>", "<style>.a{color:red}</style><div class=a>ok</div>"},
    };
    for (const auto& c : casos) EXPECT_EQ(sinGuiones(c.entrada), c.salida) << c.entrada;
}

std::string delta(const std::string& texto) {
    return nlohmann::json{{"type", "stream_event"},
                          {"event", {{"type", "content_block_delta"}, {"delta", {{"type", "text_delta"}, {"text", texto}}}}}}
        .dump();
}

TEST(LineasClaude, LaPaginaParcialCreceComoMuchoCadaCuartoDeSegundo) {
    EstadoDirecto estado;
    const auto t0 = std::chrono::steady_clock::now();
    // Text before the first "<" grows but is never shown.
    EXPECT_TRUE(leerLineaClaude(delta("Voy a "), estado, t0).empty());
    auto avisos = leerLineaClaude(delta("<div>"), estado, t0 + 100ms);
    ASSERT_EQ(avisos.size(), 2u);
    EXPECT_EQ(avisos[0].tipo, AvisoTurno::Tipo::parcial);
    EXPECT_EQ(avisos[0].texto, "Voy a <div>");
    EXPECT_EQ(avisos[1].texto, "Escribiendo la página… 0 mil caracteres");
    EXPECT_TRUE(leerLineaClaude(delta("<p>"), estado, t0 + 200ms).empty());
    EXPECT_TRUE(leerLineaClaude(delta("x"), estado, t0 + 300ms).empty());
    EXPECT_EQ(leerLineaClaude(delta(std::string(5400, 'a')), estado, t0 + 400ms).at(1).texto,
              "Escribiendo la página… 5 mil caracteres");
    EXPECT_EQ(estado.texto.substr(0, 15), "Voy a <div><p>x");

    // A new message starts the text anew; "result" is the final answer.
    leerLineaClaude(R"({"type":"stream_event","event":{"type":"message_start"}})", estado, t0 + 1s);
    EXPECT_EQ(estado.texto, "");
    leerLineaClaude(R"({"type":"result","result":"```html\n<b>fin</b>\n```"})", estado, t0 + 2s);
    EXPECT_EQ(limpiar(*estado.resultado), "<b>fin</b>");
    // Lines that are not JSON objects, or of other kinds, change nothing.
    for (const char* otra : {"no es json", "[1,2]", R"({"type":7})", R"({"type":"system","subtype":"init"})",
                             R"({"type":"stream_event","event":{"type":"content_block_delta","delta":{"type":"input_json_delta","partial_json":"<"}}})"})
        EXPECT_TRUE(leerLineaClaude(otra, estado, t0 + 3s).empty()) << otra;
    EXPECT_EQ(estado.texto, "");
}

TEST(LineasClaude, CadaHerramientaTieneSuLinea) {
    struct Caso {
        std::string nombre;
        nlohmann::json entrada;
        std::string linea;
    };
    const std::vector<Caso> casos = {
        {"Skill", {{"skill", "copy-es"}}, "Leyendo la skill «copy-es»…"},
        {"Skill", {{"name", "sectores"}}, "Leyendo la skill «sectores»…"},
        {"Skill", nlohmann::json::object(), "Usando Skill…"},
        {"Read", {{"file_path", "/tmp/x/captura.png"}}, "Mirando la captura de su diseño…"},
        {"Read", {{"file_path", "/w/skills/nivel-agencia/SKILL.md"}}, "Leyendo la skill «nivel-agencia»…"},
        {"Read", {{"file_path", "/w/recurso-logo.png"}}, "Leyendo recurso-logo.png…"},
        {"Glob", nlohmann::json::object(), "Buscando entre las skills de diseño…"},
        {"Grep", {{"pattern", "x"}}, "Buscando entre las skills de diseño…"},
        {"WebSearch", {{"query", std::string(70, 'q')}}, "Buscando en internet: «" + std::string(60, 'q') + "»…"},
        {"WebFetch", {{"url", "https://ejemplo.es:8443/a?b"}}, "Mirando ejemplo.es…"},
        {"WebFetch", {{"url", "no es una url"}}, "Mirando no es una url…"},
        {"Bash", {{"command", "ls"}}, "Usando Bash…"},
    };
    for (const auto& c : casos) EXPECT_EQ(lineaHerramientaClaude(c.nombre, c.entrada), c.linea) << c.nombre;

    EstadoDirecto estado;
    const auto avisos = leerLineaClaude(
        R"({"type":"assistant","message":{"content":[{"type":"text","text":"x"},{"type":"tool_use","name":"Glob","input":{}},{"type":"tool_use","name":"Read","input":{"file_path":"captura.png"}}]}})",
        estado, std::chrono::steady_clock::now());
    ASSERT_EQ(avisos.size(), 2u);
    EXPECT_EQ(avisos[1].texto, "Mirando la captura de su diseño…");
}

TEST(LineasCodex, LineasDeEstadoYUltimoMensaje) {
    Vigia vigia;
    EXPECT_EQ(leerLineaCodex(R"({"item":{"type":"reasoning","text":"  \n**Planeando la cabecera**\nluego"}})", vigia),
              "Planeando la cabecera");
    EXPECT_EQ(leerLineaCodex(R"({"item":{"type":"reasoning","text":" \n \n"}})", vigia), std::nullopt);
    EXPECT_EQ(leerLineaCodex(R"({"type":"item.completed","item":{"type":"file_change"}})", vigia),
              "Escribiendo la página…");
    EXPECT_EQ(leerLineaCodex(R"({"item":{"type":"command_execution","command":"cat skills/x/SKILL.md"}})", vigia),
              "Leyendo las skills de diseño de Sorvenia…");
    EXPECT_EQ(leerLineaCodex(R"({"item":{"type":"command_execution","command":"file captura.png"}})", vigia),
              "Mirando la captura de su diseño…");
    EXPECT_EQ(leerLineaCodex(R"({"item":{"type":"command_execution"}})", vigia), "Revisando…");
    EXPECT_EQ(leerLineaCodex(R"({"item":{"type":"agent_message","text":"LISTO."}})", vigia), std::nullopt);
    EXPECT_EQ(vigia.mensaje, "LISTO.");
    for (const char* otra : {"basura", R"({"item":3})", R"({"type":"turn.completed"})"})
        EXPECT_EQ(leerLineaCodex(otra, vigia), std::nullopt) << otra;
    EXPECT_EQ(vigia.mensaje, "LISTO.");
}

TEST(OrdenDeDiseno, CabecerasSegunElModo) {
    PedidoDiseno p;
    p.peticion = "Una web de fisioterapia";
    p.web = true;
    EXPECT_EQ(detalle::ordenDeDiseno(p),
              "Encargo: WEB COMPLETA de 1440px de ancho (alto libre, crece con el contenido).\n\nPetición del cliente: "
              "Una web de fisioterapia");
    p.web = false;
    p.cambio = true;  // no page to change: the piece's head all the same
    EXPECT_EQ(detalle::ordenDeDiseno(p),
              "Encargo: PIEZA de 1440×900px (ocupa la mesa entera).\n\nPetición del cliente: Una web de fisioterapia");
    p.cambio = false;
    p.html = " \n\t ";  // blanks only: not sent
    EXPECT_TRUE(detalle::ordenDeDiseno(p).ends_with("Petición del cliente: Una web de fisioterapia"));
    p.html = "<div>old</div>";
    p.recursos = {{"logo", "data:image/png;base64,AAAA"}, {"foto", "data:image/jpeg;base64,AAAA"}};
    const std::string pieza = detalle::ordenDeDiseno(p);
    EXPECT_NE(pieza.find("\n\nHTML actual (modifícalo según la petición):\n<div>old</div>\n\nRecursos del cliente"),
              std::string::npos);
    EXPECT_TRUE(pieza.ends_with("«recurso:logo», «recurso:foto»."));
    p.cambio = true;
    const std::string cambio = detalle::ordenDeDiseno(p);
    EXPECT_TRUE(cambio.starts_with("Encargo: CAMBIO SOBRE UNA PÁGINA EXISTENTE"));
    // In a change the images come before the current page.
    EXPECT_LT(cambio.find("Recursos del cliente"), cambio.find("\n\nHTML actual:\n<div>old</div>"));
    EXPECT_TRUE(detalle::ordenDeRevision(p, "<div>1</div>").starts_with(
        "Mesa de trabajo de 1440×900 px. Petición original: Una web de fisioterapia\n\nEste es el HTML"));
    EXPECT_TRUE(detalle::ordenDeRevision(p, "<div>1</div>").ends_with("HTML actual:\n<div>1</div>"));
}

TEST(OrdenDeDiseno, LasImagenesDelClienteEnLaCarpeta) {
    auto carpeta = CarpetaTemporal::crear("recursos-");
    ASSERT_TRUE(carpeta);
    const fs::path dir = carpeta->ruta();
    detalle::escribirRecursos(dir, {{"logo", "data:image/png;base64,iVBORw0KGgo="},
                                    {"foto", "data:image/jpeg;base64,/9j/4AAQ"},
                                    {"icono", "data:image/svg+xml;base64,PHN2Zy8+"},
                                    {"sincoma", "data:image/png;base64"},
                                    {"malo", "data:image/png;base64,@@@@"},
                                    {"../fuera", "data:image/png;base64,AAAA"}});
    std::set<std::string> nombres;
    for (const auto& e : fs::directory_iterator(dir)) nombres.insert(e.path().filename().string());
    EXPECT_EQ(nombres, (std::set<std::string>{"recurso-logo.png", "recurso-foto.jpg", "recurso-icono.svg"}));
    std::ifstream svg(dir / "recurso-icono.svg");
    std::string texto;
    std::getline(svg, texto);
    EXPECT_EQ(texto, "<svg/>");
    EXPECT_EQ(fs::status(dir / "recurso-logo.png").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST(DetalleDeFallo, LasTresUltimasLineas) {
    EXPECT_EQ(detalle::detalleFinal("a\n\nb\nc\nd\n"), "b c d");
    EXPECT_EQ(detalle::detalleFinal("solo"), "solo");
    EXPECT_EQ(detalle::detalleFinal(""), "");
}

TEST(SalidaDelInicio, LoQueDiceCadaTrozo) {
    EXPECT_TRUE(detalle::pideCodigo("Paste code here if prompted > "));
    EXPECT_TRUE(detalle::pideCodigo("Enter the CODE?"));
    EXPECT_FALSE(detalle::pideCodigo("We sent you a code."));
    EXPECT_TRUE(detalle::rechazaCodigo("OAuth ERROR: try again"));
    EXPECT_TRUE(detalle::rechazaCodigo("That code has expired"));
    EXPECT_FALSE(detalle::rechazaCodigo("Login successful."));
    EXPECT_EQ(detalle::enlaceInicio("visit: https://a.example/x?y=1 now"), "https://a.example/x?y=1");
    // A terminal's colour codes after a link are not part of it.
    EXPECT_EQ(detalle::enlaceInicio("\x1b[4mhttps://a.example/z\x1b[0m\r\n"), "https://a.example/z");
    EXPECT_EQ(detalle::enlaceInicio("http://a.example"), std::nullopt);
    EXPECT_EQ(detalle::codigoParaEnviar("  abc#123 \n"), "abc#123");
    EXPECT_EQ(detalle::codigoParaEnviar("abc https://x.example/cb"), "abc ");
    EXPECT_EQ(detalle::argumentosInicio(IA::Tipo::claude), (std::vector<std::string>{"auth", "login", "--claudeai"}));
    EXPECT_EQ(detalle::argumentosInicio(IA::Tipo::codex), (std::vector<std::string>{"login"}));
    EXPECT_TRUE(detalle::argumentosInicio(IA::Tipo::gemini).empty());
}

}  // namespace
}  // namespace sorvenia::IAsLocales
