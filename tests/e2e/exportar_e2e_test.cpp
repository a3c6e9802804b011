// Exports from the editor of the test build, as a person makes them: the
// export menu, the file chooser answered through the test channel, and the
// files that land where it was pointed. The website folder is then opened
// in a fresh web view of this process, with no application behind it.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "esperar_bucle.h"
#include "foto_prueba.h"
#include "video_prueba.h"
#include "app_e2e.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;

constexpr const char* idDiseno = "0011223344556677";
constexpr const char* archivoFuente = "ab12cd34-DejaVuSerif-Bold.ttf";

// A 4 x 4 red PNG, as a data URL: the page's own image.
std::string pngRojo() {
    auto p = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 4, 4));
    gdk_pixbuf_fill(p.get(), 0xff0000ff);
    gchar* datos = nullptr;
    gsize largo = 0;
    gdk_pixbuf_save_to_buffer(p.get(), &datos, &largo, "png", nullptr, nullptr);
    const TextoG base64(g_base64_encode(reinterpret_cast<const guchar*>(datos), largo));
    g_free(datos);
    return std::string("data:image/png;base64,") + base64.get();
}

json mesa(const char* id, const char* nombre, int x, int ancho, int alto, const std::string& html,
          const std::string& css) {
    return {{"id", id},     {"nombre", nombre}, {"x", x},       {"y", 0},     {"ancho", ancho},
            {"alto", alto}, {"auto", false},    {"html", html}, {"css", css}, {"animaciones", json::array()}};
}

// Two mesas: a cover with a heading in the user's font and an image, and a
// small second page with a scene video beside it (the canvas centres on the
// cover, so the export menu names it).
json disenoConEscena() {
    const std::string inicio =
        "<section data-lid=\"e1\" class=\"portada\"><h1 data-lid=\"e2\">Hola Ág</h1>"
        "<img data-lid=\"e3\" class=\"foto\" src=\"" +
        pngRojo() + "\"></section>";
    const std::string servicios =
        "<video data-lid=\"e4\" data-escena=\"ola\" src=\"escenas/ola.mp4\" "
        "poster=\"escenas/ola.jpg\" class=\"escena\"></video>";
    return {{"formato", 1},
            {"paginas", json::array({{{"id", "p1"},
                                      {"nombre", "Página 1"},
                                      {"portada", "m1"},
                                      {"mesas", json::array({mesa("m1", "Inicio", 0, 800, 400, inicio,
                                                                  ".portada{background:#204080;height:400px}"
                                                                  "h1{font-family:'DejaVu Serif';color:#fff;"
                                                                  "font-size:64px;margin:0}"
                                                                  ".foto{width:200px;height:100px}"),
                                                             mesa("m2", "Servicios", 820, 100, 100, servicios,
                                                                  ".escena{width:400px;height:200px;"
                                                                  "object-fit:fill;display:block}")})},
                                      {"rotulos", json::array()}}})},
            {"pagina", 0},
            {"variables", json::array()},
            {"recursos", json::array()},
            {"siguiente", 10}};
}

class ExportarE2E : public prueba::AppE2E {
protected:
    void SetUp() override {
        AppE2E::SetUp();
        casa_ = raiz_ / "home";
        // The user's font library, with one font.
        const fs::path fuentes = casa_ / ".local/share/SorveniaTarvel/fuentes";
        fs::create_directories(fuentes);
        fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf", fuentes / archivoFuente);
        std::ofstream(fuentes / "fuentes.json") << json::array({{{"familia", "DejaVu Serif"},
                                                                 {"peso", "700"},
                                                                 {"estilo", "normal"},
                                                                 {"archivo", archivoFuente},
                                                                 {"formato", "truetype"}}});
        // The design's scene: a video file and its green poster.
        const fs::path escenas = casa_ / ".local/share/SorveniaTarvel/escenas" / idDiseno;
        fs::create_directories(escenas);
        std::ofstream(escenas / "ola.mp4") << "no es un vídeo de verdad";
        auto poster = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 64, 32));
        gdk_pixbuf_fill(poster.get(), 0x00c800ff);
        ASSERT_TRUE(gdk_pixbuf_save(poster.get(), (escenas / "ola.jpg").c_str(), "jpeg", nullptr, nullptr));

        entrarComoCliente();
        guardarDiseno({{"id", idDiseno},
                       {"nombre", "Mi web"},
                       {"version", 1},
                       {"creado", "2026-12-01 10:00:00"},
                       {"modificado", "2026-12-01 10:00:00"},
                       {"doc", documento()}});
        arrancarCuentaLocal();
        arrancarAplicacion({"--abrir", idDiseno});
        ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find(mesaEsperada()) != std::string::npos; }, 40s))
            << herramienta("ver_tarvel");
    }

    // The design the editor opens, and a mesa name that shows it is open.
    virtual json documento() const { return disenoConEscena(); }
    virtual std::string mesaEsperada() const { return "«Servicios»"; }

    // Picks an entry of the editor's export menu.
    void exportarCon(const std::string& opcion) {
        const json hecho = valor(
            "document.getElementById('exportar-boton').click();"
            "await new Promise(r => setTimeout(r, 100));"
            "const b = [...document.querySelectorAll('#exportar-menu .opcion')]"
            "  .find(b => b.textContent.startsWith(" +
                json(opcion).dump() +
                "));"
                "if (!b || b.disabled) return false; b.click(); return true;",
            "editor");
        ASSERT_EQ(hecho, true) << opcion;
    }

    // Answers the chooser the application shows; its answer file.
    std::string responderPanel(const std::string& respuesta) {
        fs::remove(canal_ / "panel.hecho");
        // As a person does, once the chooser shows where it stands: it reads
        // its folder a moment after it appears.
        std::this_thread::sleep_for(2s);
        std::ofstream(canal_ / "panel.elegir") << respuesta;
        std::string hecho;
        esperarQue([&] {
            hecho = prueba::leer(canal_ / "panel.hecho").value_or("");
            return !hecho.empty();
        });
        return hecho;
    }

    bool avisoDice(const std::string& texto) {
        return esperarQue([&] {
            return valor("return document.body.innerText.includes(" + json(texto).dump() + ");", "editor") == true;
        });
    }

    fs::path casa_;
};

struct Pagina {
    explicit Pagina(const fs::path& archivo) : vista("prueba") {
        vista.cargarPagina(archivo, archivo.parent_path());
        // Scripts run in the blank page until the file's document takes its place.
        prueba::esperarHasta([&] { return medir("return location.protocol;") == "file:"; }, 20s);
    }
    json medir(const std::string& cuerpo) {
        const auto r = prueba::esperarTarea(vista.llamar(cuerpo), 30s);
        if (!r) return "sin respuesta";
        return r->ok() ? **r : json(r->fallo().mensaje);
    }
    WebVista vista;
};

TEST_F(ExportarE2E, LaWebEnteraSeAbreSinLaAplicacion) {
    exportarCon("Web entera");
    // The chooser starts in the home folder (no documents folder here).
    EXPECT_EQ(responderPanel("elegir"), casa_.string() + "\n");
    ASSERT_TRUE(avisoDice("Web exportada: 2 páginas en Mi web"));
    const fs::path web = casa_ / "Mi web";
    for (const char* archivo : {"index.html", "servicios.html", "escenas/ola.mp4", "escenas/ola.jpg"})
        EXPECT_TRUE(fs::is_regular_file(web / archivo)) << archivo;
    // Nothing but the folder was left in the chosen place.
    for (const auto& e : fs::directory_iterator(casa_))
        EXPECT_FALSE(e.path().filename().string().starts_with(".Mi web")) << e.path();

    ASSERT_TRUE(iniciarGtk());
    Pagina inicio(web / "index.html");
    // The page links the web fonts too, which this machine may not reach:
    // what is waited for is the page's own parts. The embedded face is
    // known only once the stylesheet is applied, which may come after
    // DOMContentLoaded: it is asked for again, for ten seconds at most.
    const json portada = inicio.medir(
        "await new Promise(r => { if (document.readyState !== 'loading') r(); else addEventListener('DOMContentLoaded', r); });"
        "const cargada = () => [...document.fonts].some(f => f.family.replace(/\"/g, '') === 'DejaVu Serif' && f.status === 'loaded');"
        "for (let i = 0; i < 100 && !cargada(); i++) {"
        "  await document.fonts.load('700 64px \"DejaVu Serif\"'); if (!cargada()) await new Promise(r => setTimeout(r, 100)); }"
        "const i = document.querySelector('img'); await i.decode().catch(() => {});"
        "return {titulo: document.title, imagen: i ? i.naturalWidth : -1, fuente: cargada(),"
        "  embebida: document.documentElement.outerHTML.includes('data:font/ttf;base64,'),"
        "  local: document.documentElement.outerHTML.includes('fuente://')};");
    EXPECT_EQ(portada,
              json({{"titulo", "Inicio"}, {"imagen", 4}, {"fuente", true}, {"embebida", true}, {"local", false}}));

    Pagina servicios(web / "servicios.html");
    const json escena = servicios.medir(
        "await new Promise(r => { if (document.readyState !== 'loading') r(); else addEventListener('DOMContentLoaded', r); });"
        "const v = document.querySelector('video[data-escena=ola]');"
        "const p = new Image(); p.src = v.poster; await p.decode().catch(() => {});"
        "return {titulo: document.title, poster: v.getAttribute('poster'), ancho: p.naturalWidth};");
    EXPECT_EQ(escena, json({{"titulo", "Servicios"}, {"poster", "escenas/ola.jpg"}, {"ancho", 64}}));
    const auto foto = prueba::esperarTarea(servicios.vista.instantanea(800, FormatoImagen::png), 30s);
    ASSERT_TRUE(foto && foto->ok());
    std::ofstream(prueba::rutaCaptura("web-exportada-servicios.png"), std::ios::binary)
        .write(reinterpret_cast<const char*>((*foto)->data()), static_cast<std::streamsize>((*foto)->size()));
    auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    gdk_pixbuf_loader_write(cargador.get(), (*foto)->data(), (*foto)->size(), nullptr);
    gdk_pixbuf_loader_close(cargador.get(), nullptr);
    GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(cargador.get());
    ASSERT_NE(p, nullptr);
    const guchar* px =
        gdk_pixbuf_get_pixels(p) + 100 * gdk_pixbuf_get_rowstride(p) + 200 * gdk_pixbuf_get_n_channels(p);
    EXPECT_TRUE(px[0] < 60 && px[1] > 150 && px[2] < 60) << int(px[0]) << "," << int(px[1]) << "," << int(px[2]);

    // A second export to the same place asks first; "Cancelar" leaves the
    // folder as it was.
    fs::remove(web / "servicios.html");
    exportarCon("Web entera");
    responderPanel("elegir");
    std::ofstream(canal_ / "boton.pulsar") << "Cancelar";
    ASSERT_TRUE(esperarQue([&] { return fs::exists(canal_ / "boton.hecho"); }));
    EXPECT_NE(prueba::leer(canal_ / "boton.hecho").value_or("").find("Ya hay una carpeta «Mi web» ahí."),
              std::string::npos);
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(fs::exists(web / "servicios.html"));
}

TEST_F(ExportarE2E, UnaMesaComoImagenYComoPagina) {
    exportarCon("Imagen PNG de la mesa");
    EXPECT_EQ(responderPanel("elegir"), (casa_ / "Inicio.png").string() + "\n");
    ASSERT_TRUE(avisoDice("Mesa exportada en Inicio.png."));
    auto imagen = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_new_from_file((casa_ / "Inicio.png").c_str(), nullptr));
    ASSERT_TRUE(imagen);
    EXPECT_EQ(gdk_pixbuf_get_width(imagen.get()), 800);
    EXPECT_EQ(gdk_pixbuf_get_height(imagen.get()), 400);
    const auto color = [&](int x, int y) {
        const guchar* px = gdk_pixbuf_get_pixels(imagen.get()) + y * gdk_pixbuf_get_rowstride(imagen.get()) +
                           x * gdk_pixbuf_get_n_channels(imagen.get());
        return std::array<int, 3>{px[0], px[1], px[2]};
    };
    const auto fondo = color(780, 380);  // the section's background, #204080
    EXPECT_TRUE(std::abs(fondo[0] - 0x20) < 6 && std::abs(fondo[1] - 0x40) < 6 && std::abs(fondo[2] - 0x80) < 6)
        << fondo[0] << "," << fondo[1] << "," << fondo[2];
    const auto rojo = color(100, 150);  // inside the image, under the heading
    EXPECT_TRUE(rojo[0] > 200 && rojo[1] < 50 && rojo[2] < 50) << rojo[0] << "," << rojo[1] << "," << rojo[2];

    exportarCon("HTML de la mesa");
    EXPECT_EQ(responderPanel("elegir"), (casa_ / "Inicio.html").string() + "\n");
    ASSERT_TRUE(avisoDice("Mesa exportada en Inicio.html."));
    const std::string html = prueba::leer(casa_ / "Inicio.html").value_or("");
    EXPECT_TRUE(html.starts_with("<!doctype html>"));
    EXPECT_NE(html.find("<title>Inicio</title>"), std::string::npos);
    EXPECT_NE(html.find("Hola Ág"), std::string::npos);
    EXPECT_NE(html.find("data:font/ttf;base64,"), std::string::npos);
    EXPECT_EQ(html.find("fuente://"), std::string::npos);
}

// A dismissed chooser writes nothing, and the page hears of it: its export
// button is free again at once (not after the minute it waits for an answer
// that never comes).
TEST_F(ExportarE2E, CancelarNoDejaNada) {
    const auto botonLibre = [&] {
        return esperarQue(
            [&] { return valor("return document.getElementById('exportar-boton').disabled;", "editor") == false; },
            5s);
    };
    for (const char* opcion : {"Web entera", "Imagen PNG de la mesa"}) {
        exportarCon(opcion);
        EXPECT_EQ(valor("return document.getElementById('exportar-boton').disabled;", "editor"), true) << opcion;
        EXPECT_EQ(responderPanel("cancelar"), "cancelado\n");
        EXPECT_TRUE(botonLibre()) << opcion;
    }
    EXPECT_FALSE(fs::exists(casa_ / "Mi web"));
    EXPECT_FALSE(fs::exists(casa_ / "Inicio.png"));
}

// An image from the computer replaces the selected <img>: the file becomes
// one of the design's resources; a file that is not a picture is refused
// with its sentence and the <img> keeps what it had.
TEST_F(ExportarE2E, UnaImagenDelOrdenadorSustituyeLaDelDiseno) {
    auto azul = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 4, 4));
    gdk_pixbuf_fill(azul.get(), 0x0000ffff);
    ASSERT_TRUE(gdk_pixbuf_save(azul.get(), (casa_ / "Logo azul.png").c_str(), "png", nullptr, nullptr));
    std::ofstream(casa_ / "notas.png") << "esto no es una imagen";
    const auto pedir = [&] {
        const json hecho = valor(
            "const m = await import(new URL('principal.js', location.href).href);"
            "m.elegirImagenPara('m1', 'e3'); return true;",
            "editor");
        ASSERT_EQ(hecho, true);
    };
    const auto fuenteDeLaImagen = [&] {
        const std::string mesa = herramienta("leer", {{"id", "m1"}});
        const auto i = mesa.find("data-lid=\"e3\"");
        return i == std::string::npos ? mesa : mesa.substr(i, 120);
    };

    pedir();
    EXPECT_EQ(responderPanel((casa_ / "notas.png").string()), (casa_ / "notas.png").string() + "\n");
    ASSERT_TRUE(avisoDice("Ese archivo no es una imagen PNG, JPEG, GIF, WebP o SVG."));
    EXPECT_NE(fuenteDeLaImagen().find("data:image/png"), std::string::npos) << fuenteDeLaImagen();

    pedir();
    EXPECT_EQ(responderPanel((casa_ / "Logo azul.png").string()), (casa_ / "Logo azul.png").string() + "\n");
    ASSERT_TRUE(esperarQue([&] { return fuenteDeLaImagen().find("recurso:Logo-azul") != std::string::npos; }))
        << fuenteDeLaImagen();
}

// A mesa wider than a video may be (2000 x 1001: recorded at 1920 x 960)
// with two animations: its own CSS turning a band from red to blue over the
// whole three seconds, linearly, and the editor's fade-in of a black box
// from 1 s to 2 s. No effect ends after 2 s, so the page asks for 3 s.
json disenoAnimado(const std::vector<json>& animaciones) {
    json m = mesa("m1", "Animada", 0, 2000, 1001,
                  "<div data-lid=\"e1\" class=\"banda\"></div><div data-lid=\"e2\" class=\"caja\"></div>",
                  "body{background:#fff}.banda{height:500px;background:#f00;animation:color 3s linear both}"
                  "@keyframes color{from{background:#ff0000}to{background:#0000ff}}"
                  ".caja{margin:100px 0 0 900px;width:200px;height:200px;background:#000}");
    m["animaciones"] = animaciones;
    return {{"formato", 1},
            {"paginas", json::array({{{"id", "p1"},
                                      {"nombre", "Página 1"},
                                      {"portada", "m1"},
                                      {"mesas", json::array({m})},
                                      {"rotulos", json::array()}}})},
            {"pagina", 0},
            {"variables", json::array()},
            {"recursos", json::array()},
            {"siguiente", 10}};
}

const json aparecer = {{"lid", "e2"}, {"tipo", "aparecer"}, {"retraso", 1000}, {"duracion", 1000}};

class ExportarVideoE2E : public ExportarE2E {
protected:
    json documento() const override { return disenoAnimado({aparecer}); }
    std::string mesaEsperada() const override { return "«Animada»"; }

    std::string boton() { return valor("return document.getElementById('exportar-boton').textContent;", "editor"); }

    // Nothing in the home folder but what was there and what is named.
    std::vector<std::string> parciales() {
        std::vector<std::string> r;
        for (const auto& e : fs::directory_iterator(casa_))
            if (e.path().filename().string().find(".parcial-") != std::string::npos) r.push_back(e.path());
        return r;
    }
};

TEST_F(ExportarVideoE2E, LaMesaAnimadaSeGrabaEnMp4) {
    exportarCon("Vídeo MP4 de la mesa");
    EXPECT_EQ(responderPanel("elegir"), (casa_ / "Animada.mp4").string() + "\n");
    // The page shows how far the recording is.
    ASSERT_TRUE(esperarQue([&] { return boton().starts_with("Vídeo "); }, 30s)) << boton();
    ASSERT_TRUE(avisoDice("Vídeo guardado en " + (casa_ / "Animada.mp4").string() + "."));
    EXPECT_EQ(boton(), "Exportar");
    EXPECT_TRUE(parciales().empty());

    const fs::path archivo = casa_ / "Animada.mp4";
    const auto video = prueba::leerVideo(archivo);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->codec, "h264");
    EXPECT_EQ(video->ancho, 1920);
    EXPECT_EQ(video->alto, 960);
    EXPECT_EQ(video->fps, "30/1");
    EXPECT_EQ(video->fotogramas, 90);
    EXPECT_NEAR(video->duracion, 3.0, 0.05);

    // The band at (200, 100) of the design, the box's centre at (1000, 700),
    // both scaled by 0.96.
    const auto en = [&](double segundos, int x, int y) {
        const auto c = prueba::colorEnVideo(archivo, segundos, static_cast<int>(x * 0.96), static_cast<int>(y * 0.96));
        return c.value_or(std::array<int, 3>{-1, -1, -1});
    };
    const auto texto = [](const std::array<int, 3>& c) {
        return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
    };
    const auto cerca = [](const std::array<int, 3>& c, const std::array<int, 3>& e, int margen) {
        for (std::size_t i = 0; i < 3; ++i)
            if (std::abs(c[i] - e[i]) > margen) return false;
        return true;
    };
    // First frame: red band, no box yet (white). Last frame: nearly blue,
    // the box black.
    EXPECT_TRUE(cerca(en(0, 200, 100), {255, 0, 0}, 24)) << texto(en(0, 200, 100));
    EXPECT_TRUE(cerca(en(0, 1000, 700), {255, 255, 255}, 16)) << texto(en(0, 1000, 700));
    EXPECT_TRUE(cerca(en(2.9, 200, 100), {8, 0, 247}, 24)) << texto(en(2.9, 200, 100));
    EXPECT_TRUE(cerca(en(2.9, 1000, 700), {0, 0, 0}, 16)) << texto(en(2.9, 1000, 700));
    // The middle frame (1.5 s): the band half-way between red and blue, the
    // box half faded in (grey: its easing runs ahead of linear time, so
    // darker than mid-grey, but not yet black).
    ASSERT_TRUE(prueba::guardarFotogramaVideo(archivo, 1.5, prueba::rutaCaptura("video-mitad.png")));
    const auto banda = en(1.5, 200, 100);
    EXPECT_TRUE(cerca(banda, {128, 0, 127}, 24)) << texto(banda);
    const auto caja = en(1.5, 1000, 700);
    EXPECT_TRUE(caja[0] > 16 && caja[0] < 200 && std::abs(caja[0] - caja[1]) < 12 && std::abs(caja[0] - caja[2]) < 12)
        << texto(caja);
}

// A long recording (the fade-in starts at 19 s: 20 s of video) cancelled
// from the export menu leaves no file, neither under its name nor under a
// temporary one, and frees the page's button.
class CancelarVideoE2E : public ExportarVideoE2E {
protected:
    json documento() const override {
        json tarde = aparecer;
        tarde["retraso"] = 19000;
        return disenoAnimado({tarde});
    }
};

TEST_F(CancelarVideoE2E, CancelarLaGrabacionNoDejaArchivo) {
    // Dismissing the chooser records nothing and frees the button.
    exportarCon("Vídeo MP4 de la mesa");
    EXPECT_EQ(responderPanel("cancelar"), "cancelado\n");
    ASSERT_TRUE(esperarQue([&] {
        return valor("document.getElementById('exportar-boton').click();"
                     "await new Promise(r => setTimeout(r, 100));"
                     "const hay = [...document.querySelectorAll('#exportar-menu .opcion')]"
                     "  .some(b => b.textContent.startsWith('Vídeo MP4 de la mesa'));"
                     "document.getElementById('exportar-boton').click(); return hay;",
                     "editor") == true;
    }, 5s));

    exportarCon("Vídeo MP4 de la mesa");
    EXPECT_EQ(responderPanel("elegir"), (casa_ / "Animada.mp4").string() + "\n");
    ASSERT_TRUE(esperarQue([&] { return boton().starts_with("Vídeo ") && boton() != "Vídeo 0 %"; }, 60s)) << boton();
    EXPECT_FALSE(parciales().empty());  // the recording is being written beside
    exportarCon("Cancelar el vídeo");
    ASSERT_TRUE(esperarQue([&] { return boton() == "Exportar"; }, 15s)) << boton();
    EXPECT_TRUE(esperarQue([&] { return parciales().empty(); }, 5s));
    EXPECT_FALSE(fs::exists(casa_ / "Animada.mp4"));
    EXPECT_EQ(valor("return document.body.innerText.includes('Vídeo guardado');", "editor"), false);
}

}  // namespace
}  // namespace sorvenia
