// The Figma import in the test build: the user pastes a link in the editor
// page's dialog, the token comes from the user's "figma" connection (kept
// under a generated id), the API and its download host are stand-ins on
// 127.0.0.1 serving the fixture file. The page shows the progress, gets one mesa per
// frame, and each mesa's screenshot shows the frame's layout; one is kept
// in build/capturas/ for a person to look at.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <future>
#include <regex>

#include "app_e2e.h"
#include "cliente_mcp.h"
#include "figma_prueba.h"
#include "foto_prueba.h"
#include "fotos_prueba.h"
#include "plataforma/cripto.h"
#include "plataforma/secretos.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;
using prueba::FigmaPrueba;
using prueba::textoDe;

constexpr const char* idConexion = "5f1c0de0-figma-generada";

struct Foto {
    int ancho = 0, alto = 0;
    std::vector<std::uint8_t> bytes;
    GdkPixbuf* pixeles = nullptr;
    ~Foto() {
        if (pixeles != nullptr) g_object_unref(pixeles);
    }
    std::string color(int x, int y) const {
        if (pixeles == nullptr || x >= ancho || y >= alto) return "";
        const guchar* px = gdk_pixbuf_get_pixels(pixeles) + y * gdk_pixbuf_get_rowstride(pixeles) +
                           x * gdk_pixbuf_get_n_channels(pixeles);
        char texto[8];
        std::snprintf(texto, sizeof texto, "#%02x%02x%02x", px[0], px[1], px[2]);
        return texto;
    }
};

std::unique_ptr<Foto> leerPNG(const std::string& base64) {
    auto bytes = desdeBase64(base64);
    if (!bytes) return nullptr;
    GdkPixbufLoader* cargador = gdk_pixbuf_loader_new_with_type("png", nullptr);
    const bool bien = gdk_pixbuf_loader_write(cargador, bytes->data(), bytes->size(), nullptr) &&
                      gdk_pixbuf_loader_close(cargador, nullptr);
    std::unique_ptr<Foto> r;
    if (GdkPixbuf* p = bien ? gdk_pixbuf_loader_get_pixbuf(cargador) : nullptr) {
        r = std::make_unique<Foto>();
        r->ancho = gdk_pixbuf_get_width(p);
        r->alto = gdk_pixbuf_get_height(p);
        r->bytes = std::move(*bytes);
        r->pixeles = GDK_PIXBUF(g_object_ref(p));
    }
    g_object_unref(cargador);
    return r;
}

// Within a few steps of each channel (JPEG shifts colours a little).
bool cerca(const std::string& color, std::uint32_t esperado) {
    if (color.size() != 7) return false;
    const auto valor = std::stoul(color.substr(1), nullptr, 16);
    for (int desplazamiento : {16, 8, 0}) {
        const auto a = static_cast<int>((valor >> desplazamiento) & 0xFFu);
        const auto b = static_cast<int>((esperado >> desplazamiento) & 0xFFu);
        if (std::abs(a - b) > 4) return false;
    }
    return true;
}

class FigmaE2E : public prueba::AppE2E {
protected:
    void TearDown() override {
        std::async(std::launch::async, [] {
            (void)borrarSecreto(prueba::idPruebas, std::string("conexion:") + idConexion);
        }).get();
        AppE2E::TearDown();
    }

    // The customer signed in, a "figma" connection made from the settings
    // catalogue (a generated id) with its token in the keyring, the Figma
    // hosts at the stand-ins, a new design open, the bridge initialised.
    void arrancar() {
        const bool guardado = std::async(std::launch::async, [] {
                                  return static_cast<bool>(guardarSecreto(
                                      prueba::idPruebas, std::string("conexion:") + idConexion, FigmaPrueba::token));
                              }).get();
        ASSERT_TRUE(guardado);
        const fs::path datos = raiz_ / "home/.local/share/SorveniaTarvel";
        fs::create_directories(datos);
        std::ofstream(datos / "conexiones.json") << json::array({{{"id", idConexion},
                                                                  {"nombre", "figma"},
                                                                  {"tipo", "clave"},
                                                                  {"variable", "FIGMA_TOKEN"},
                                                                  {"para", "Leer e importar tus diseños de Figma"},
                                                                  {"activa", true}}});
        entrarComoCliente();
        arrancarCuentaLocal();
        const fs::path prefs = raiz_ / "config/SorveniaTarvel/preferencias-pruebas.json";
        json p = json::parse(prueba::leer(prefs).value_or("{}"));
        p["pruebas.hostsServicios"]["figma"] = figma.baseAPI();
        p["pruebas.hostsServicios"]["figmaImagenes"] = figma.baseImagenes();
        std::ofstream(prefs) << p;
        arrancarAplicacion({"--nuevo", "web"});
        ASSERT_TRUE(
            esperarQue([&] { return herramienta("ver_tarvel").find("«Página web»") != std::string::npos; }, 40s));
        ASSERT_TRUE(esperarQue([&] { return fs::exists(datos / "mcp.json"); }));
        mcp = std::make_unique<prueba::ClienteMCP>((raiz_ / "home/.sorvenia-tarvel/bin/tarvel").string(), entorno_);
        ASSERT_TRUE(mcp->pedir("initialize", {{"protocolVersion", "2025-06-18"},
                                              {"capabilities", json::object()},
                                              {"clientInfo", {{"name", "claude-code"}, {"version", "1.0"}}}}));
    }

    // Pastes the link in the page's "Importar de Figma" dialog (the new
    // mesa menu) and keeps every "figma" answer in the page.
    void importar(const std::string& enlace) {
        const json r = valor(
            "if (!window.__figma) { const antes = window.tarvel.figma.bind(window.tarvel); "
            "window.tarvel.figma = (d) => { window.__figma.push(d); return antes(d); }; } window.__figma = []; "
            "document.getElementById('mesa-nueva').click(); "
            "const opcion = [...document.querySelectorAll('#mesa-nueva-menu .opcion')]"
            ".find((b) => b.textContent.startsWith('Importar de Figma')); "
            "if (!opcion) return 'sin opción'; opcion.click(); "
            "document.getElementById('enlace-figma').value = " +
                json(enlace).dump() + "; document.getElementById('dialogo-aceptar').click(); return 1;",
            "editor");
        EXPECT_EQ(r, 1);
    }
    json respuestas() { return valor("return window.__figma;", "editor"); }
    bool terminada() {
        const json r = respuestas();
        return r.is_array() && !r.empty() && !r.back().contains("progreso");
    }

    // The mesa's screenshot through the bridge.
    std::unique_ptr<Foto> captura(const std::string& mesa) {
        const json r = mcp->herramienta("captura", {{"id", mesa}});
        if (r.value("isError", true)) {
            ADD_FAILURE() << r;
            return nullptr;
        }
        return leerPNG(r.at("content").at(0).value("data", ""));
    }

    FigmaPrueba figma;
    std::unique_ptr<prueba::ClienteMCP> mcp;
};

TEST_F(FigmaE2E, ImportaUnaMesaPorMarcoConSuDibujo) {
    figma.svg("1:4", FigmaPrueba::ficheroFixtura("estrella.svg"));
    figma.svg("1:9", FigmaPrueba::ficheroFixtura("logo.svg"));
    figma.imagen("foto-grande", prueba::imagenDe(3000, 2000, "jpeg", 0x00897B));
    ASSERT_NO_FATAL_FAILURE(arrancar());
    importar(figma.enlace());
    ASSERT_TRUE(esperarQue([&] { return terminada(); }, 60s)) << respuestas();

    // The progress, then the two frames (the page keeps what it was sent).
    const json r = respuestas();
    std::vector<std::string> progreso;
    for (const auto& d : r)
        if (d.contains("progreso")) progreso.push_back(d["progreso"]);
    EXPECT_EQ(progreso, (std::vector<std::string>{"Leyendo el archivo de Figma…", "Trayendo 2 iconos y vectores…",
                                                  "Trayendo 1 imagen…", "Montando las páginas…"}));
    ASSERT_TRUE(r.back().contains("marcos")) << r.back().dump().substr(0, 300);
    ASSERT_EQ(r.back()["marcos"].size(), 2u);
    for (const auto& p : figma.peticionesImagenes()) EXPECT_FALSE(p.cabeceras.contains("x-figma-token")) << p.ruta;

    // One new mesa per frame, with the frame's name and size.
    const std::string lista = herramienta("mesas", {{"accion", "listar"}});
    std::smatch inicio, contacto;
    ASSERT_TRUE(std::regex_search(lista, inicio, std::regex(R"((\S+) «Inicio» · 400 × 300)"))) << lista;
    ASSERT_TRUE(std::regex_search(lista, contacto, std::regex(R"((\S+) «Contacto» · 300 × 200)"))) << lista;

    // The screenshots show the layout of the fixture.
    const auto foto = captura(inicio[1]);
    ASSERT_TRUE(foto);
    EXPECT_TRUE(prueba::guardarCaptura("figma-importada-inicio.png", foto->bytes));
    ASSERT_EQ(std::make_pair(foto->ancho, foto->alto), std::make_pair(400, 300));
    EXPECT_EQ(foto->color(390, 150), "#e53935");          // the frame's background
    EXPECT_EQ(foto->color(100, 60), "#1e88e5");           // the box
    EXPECT_EQ(foto->color(270, 70), "#43a047");           // the star's SVG export
    EXPECT_TRUE(cerca(foto->color(200, 230), 0x00897B));  // the reduced image fill (a JPEG)
    EXPECT_EQ(foto->color(360, 40), "#212121");           // the logo's SVG export
    const auto otra = captura(contacto[1]);
    ASSERT_TRUE(otra);
    EXPECT_EQ(std::make_pair(otra->ancho, otra->alto), std::make_pair(300, 200));
    EXPECT_EQ(otra->color(10, 10), "#fdd835");
    EXPECT_EQ(otra->color(100, 100), "#8e44ad");  // the circle, drawn with CSS
    EXPECT_EQ(otra->color(52, 52), "#fdd835");    // outside the circle's curve
    EXPECT_TRUE(capturar("ventana", "figma-importada-editor.png", "editor"));
}

TEST_F(FigmaE2E, UnErrorDeFigmaSeDiceEnLaPagina) {
    ASSERT_NO_FATAL_FAILURE(arrancar());
    // The dialog where the link is pasted, kept for a person to look at.
    valor(
        "document.getElementById('mesa-nueva').click(); [...document.querySelectorAll('#mesa-nueva-menu .opcion')]"
        ".find((b) => b.textContent.startsWith('Importar de Figma')).click(); return 1;",
        "editor");
    EXPECT_TRUE(capturar("ventana", "figma-dialogo-enlace.png", "editor"));
    valor("document.getElementById('dialogo-cancelar').click(); return 1;", "editor");
    figma.fallarCon(404);
    importar(figma.enlace());
    ASSERT_TRUE(esperarQue([&] { return terminada(); }, 60s)) << respuestas();
    EXPECT_EQ(respuestas().back(),
              json({{"error", "Ese archivo de Figma no existe o no está compartido con tu cuenta."}}));
    const std::string lista = herramienta("mesas", {{"accion", "listar"}});
    EXPECT_EQ(lista.find("«Inicio»"), std::string::npos) << lista;

    importar("https://example.com/design/" + std::string(FigmaPrueba::clave));
    ASSERT_TRUE(esperarQue([&] { return terminada(); }, 30s)) << respuestas();
    EXPECT_EQ(respuestas(),
              json::array({{{"error", "Eso no parece un enlace de Figma (https://www.figma.com/design/…)."}}}));
}

}  // namespace
}  // namespace sorvenia
