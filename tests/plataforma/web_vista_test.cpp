// The web view wrapper against a real WebKitGTK under a display (Xvfb).

#include "plataforma/gui/web_vista.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "esperar_bucle.h"
#include "plataforma/gui/iniciar_gtk.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;

const std::filesystem::path paginasFuente = std::filesystem::path(SORVENIA_FUENTE) / "tests/plataforma/paginas";

// Every message a view accepted, in order.
struct Buzon {
    std::vector<json> mensajes;

    explicit Buzon(WebVista& vista) {
        vista.alMensaje([this](const json& m) { mensajes.push_back(m); });
    }
    const json* buscar(const std::string& tipo) const {
        for (const json& m : mensajes)
            if (m.value("tipo", "") == tipo) return &m;
        return nullptr;
    }
    const json* esperar(const std::string& tipo) {
        esperarHasta([&] { return buscar(tipo) != nullptr; });
        return buscar(tipo);
    }
};

std::string uriDe(const std::filesystem::path& ruta) {
    const TextoG uri(g_filename_to_uri(ruta.c_str(), nullptr, nullptr));
    return uri.get();
}

bool cargada(WebVista& vista, const std::string& inicioUri) {
    return esperarHasta([&] {
        const char* uri = webkit_web_view_get_uri(vista.vistaWeb());
        return webkit_web_view_is_loading(vista.vistaWeb()) == FALSE && uri != nullptr &&
               std::string_view(uri).starts_with(inicioUri);
    });
}

// A PNG of one flat colour, made here so the test knows its exact size.
std::vector<std::uint8_t> pngDe(int ancho, int alto) {
    const auto pixbuf = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, ancho, alto));
    gdk_pixbuf_fill(pixbuf.get(), 0x336699ff);
    gchar* bufer = nullptr;
    gsize tamano = 0;
    gdk_pixbuf_save_to_buffer(pixbuf.get(), &bufer, &tamano, "png", nullptr, nullptr);
    const TextoG dueno(bufer);
    const auto* datos = reinterpret_cast<const std::uint8_t*>(bufer);
    return {datos, datos + tamano};
}

struct Imagen {
    Ref<GdkPixbuf> pixbuf;
    int ancho() const { return gdk_pixbuf_get_width(pixbuf.get()); }
    int alto() const { return gdk_pixbuf_get_height(pixbuf.get()); }
    std::array<int, 3> color(int x, int y) const {
        const int canales = gdk_pixbuf_get_n_channels(pixbuf.get());
        const guchar* p = gdk_pixbuf_read_pixels(pixbuf.get()) +
                          static_cast<std::ptrdiff_t>(y) * gdk_pixbuf_get_rowstride(pixbuf.get()) + x * canales;
        return {p[0], p[1], p[2]};
    }
};

Imagen decodificar(const std::vector<std::uint8_t>& bytes) {
    const auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    gdk_pixbuf_loader_write(cargador.get(), bytes.data(), bytes.size(), nullptr);
    gdk_pixbuf_loader_close(cargador.get(), nullptr);
    return Imagen{Ref<GdkPixbuf>::compartir(gdk_pixbuf_loader_get_pixbuf(cargador.get()))};
}

void esperarColor(const Imagen& imagen, int x, int y, std::array<int, 3> esperado, int tolerancia) {
    const auto real = imagen.color(x, y);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(real[i], esperado[i], tolerancia) << "pixel (" << x << ", " << y << ") canal " << i;
}

// Dispatches a message the way our pages do, from whatever page the view
// shows, and answers with that page's address. The answer comes back after
// the message was handled, so the test can look at once.
Resultado<json> sondear(WebVista& vista) {
    auto r = esperarTarea(vista.llamar(
        "document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'sonda'})}));\n"
        "return location.href;"));
    if (!r) return Fallo{"Sin respuesta de la página.", "tiempo"};
    return std::move(*r);
}

class WebVistaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run)."; }

    void SetUp() override {
        std::string plantilla = (std::filesystem::temp_directory_path() / "web-vista-XXXXXX").string();
        ASSERT_NE(mkdtemp(plantilla.data()), nullptr);
        raiz_ = plantilla;
        // A space and an accent, as in a real user's folder names.
        carpeta_ = raiz_ / "páginas de prueba";
        std::filesystem::create_directories(carpeta_);
        for (const char* nombre : {"prueba.html", "alta.html"})
            std::filesystem::copy_file(paginasFuente / nombre, carpeta_ / nombre);
    }
    void TearDown() override { std::filesystem::remove_all(raiz_); }

    std::filesystem::path pagina() const { return carpeta_ / "prueba.html"; }

    std::filesystem::path escribir(const std::filesystem::path& ruta, const std::string& contenido) const {
        std::filesystem::create_directories(ruta.parent_path());
        std::ofstream(ruta) << contenido;
        return ruta;
    }

    std::filesystem::path raiz_;
    std::filesystem::path carpeta_;
};

OpcionesWebVista opcionesPrueba() {
    OpcionesWebVista opciones;
    opciones.inspeccionable = true;
    return opciones;
}

TEST_F(WebVistaTest, RecibeLosMensajesDeLaPaginaYLeResponde) {
    WebVista vista("prueba", opcionesPrueba());
    Buzon buzon(vista);
    vista.cargarPagina(pagina(), carpeta_);

    const json* listo = buzon.esperar("listo");
    ASSERT_NE(listo, nullptr);
    // The page's own world has no handler to post to.
    EXPECT_EQ(listo->at("directo"), false);

    // A broken script is ignored and does not stop the next one.
    vista.evaluar("noExiste();");
    vista.evaluar("window.prueba && window.prueba.responder({\"n\": 21})");
    const json* respuesta = buzon.esperar("respuesta");
    ASSERT_NE(respuesta, nullptr);
    EXPECT_EQ(respuesta->at("doble"), 42);
    EXPECT_EQ(respuesta->at("eco"), json({{"n", 21}}));
}

TEST_F(WebVistaTest, LlamarDevuelveElJsonDelResultado) {
    WebVista vista("prueba", opcionesPrueba());
    Buzon buzon(vista);
    vista.cargarPagina(pagina(), carpeta_);
    ASSERT_NE(buzon.esperar("listo"), nullptr);

    const std::string raro = "ñandú \"comillas\" </script> \\ \u2028 fin";
    struct Caso {
        std::string cuerpo;
        json argumentos;
        json esperado;
    };
    const std::vector<Caso> casos = {
        {"return a + b;", {{"a", 2}, {"b", 3}}, 5},
        {"return {texto, doble: n * 2};", {{"texto", raro}, {"n", 2.5}}, {{"texto", raro}, {"doble", 5.0}}},
        {"return await new Promise(r => setTimeout(() => r([1, null, true]), 10));", json::object(),
         json::array({1, nullptr, true})},
        {"return undefined;", json::object(), nullptr},
        {"return () => 1;", json::object(), nullptr},
        {"return nulo === null && lista.length === 3;", {{"nulo", nullptr}, {"lista", {1, 2, 3}}}, true},
        {"return n;", {{"n", 9007199254740991LL}}, 9007199254740991LL},
        {"return window.prueba.responder(x);", {{"x", {{"n", 4}}}},
         {{"tipo", "respuesta"}, {"eco", {{"n", 4}}}, {"doble", 8}}},
        {"return typeof window.webkit?.messageHandlers?.prueba; // a trailing comment", nullptr, "undefined"},
    };
    for (const Caso& caso : casos) {
        const auto resultado = esperarTarea(vista.llamar(caso.cuerpo, caso.argumentos));
        ASSERT_TRUE(resultado.has_value()) << caso.cuerpo;
        ASSERT_TRUE(resultado->ok()) << caso.cuerpo << ": " << resultado->fallo().mensaje;
        EXPECT_EQ(**resultado, caso.esperado) << caso.cuerpo;
    }
}

TEST_F(WebVistaTest, LlamarConvierteLasExcepcionesEnFallos) {
    WebVista vista("prueba", opcionesPrueba());
    vista.cargarHTML("<p>hola</p>", "file:///sorvenia/base.html");
    ASSERT_TRUE(cargada(vista, "file:///sorvenia/base.html"));

    struct Caso {
        std::string cuerpo;
        json argumentos;
        std::string enElMensaje;
        std::string codigo;
    };
    const std::vector<Caso> casos = {
        {"throw new Error('se rompió');", json::object(), "se rompió", "javascript"},
        {"return await Promise.reject(new Error('rechazada'));", json::object(), "rechazada", "javascript"},
        {"return noExiste.x;", json::object(), "noExiste", "javascript"},
        {"return (;", json::object(), "", "javascript"},
        {"return 1n;", json::object(), "", "javascript"},  // JSON cannot hold a BigInt
        {"return 1;", {{"1a", 1}}, "1a", "argumentos"},
        {"return 1;", json::array({1}), "", "argumentos"},
    };
    for (const Caso& caso : casos) {
        const auto resultado = esperarTarea(vista.llamar(caso.cuerpo, caso.argumentos));
        ASSERT_TRUE(resultado.has_value()) << caso.cuerpo;
        ASSERT_FALSE(resultado->ok()) << caso.cuerpo;
        EXPECT_EQ(resultado->fallo().codigo, caso.codigo) << caso.cuerpo;
        EXPECT_NE(resultado->fallo().mensaje.find(caso.enElMensaje), std::string::npos)
            << caso.cuerpo << ": " << resultado->fallo().mensaje;
    }
    // The view still answers afterwards.
    const auto despues = esperarTarea(vista.llamar("return 'sigue';"));
    ASSERT_TRUE(despues.has_value() && despues->ok());
    EXPECT_EQ(**despues, "sigue");
}

TEST_F(WebVistaTest, UnMarcoDeLaPaginaNoEntregaMensajes) {
    WebVista vista("prueba", opcionesPrueba());
    Buzon buzon(vista);
    vista.cargarPagina(pagina(), carpeta_);

    // The frame reports after its attempts; its report travels behind them.
    const json* terminado = buzon.esperar("marcoTerminado");
    ASSERT_NE(terminado, nullptr);
    EXPECT_EQ(terminado->at("directo"), false);
    ASSERT_NE(buzon.esperar("listo"), nullptr);
    EXPECT_EQ(buzon.buscar("desdeMarco"), nullptr);
}

TEST_F(WebVistaTest, RechazaLosMensajesDeOtrasPaginas) {
    // A sibling folder whose name starts like the allowed one.
    const std::string vecina = uriDe(escribir(raiz_ / "páginas de prueba-falso" / "otra.html", "<p>otra</p>"));
    const std::string base = "file:///sorvenia/editor/base.html";

    struct Caso {
        std::string nombre;
        std::function<void(WebVista&)> mostrar;  // after our page has loaded
        std::string uri;                         // what the view then shows (its start)
        bool entregado;
    };
    const std::vector<Caso> casos = {
        {"nuestra página", [](WebVista&) {}, "", true},
        {"otra carpeta a la que navega la página",
         [&](WebVista& v) { v.evaluar("location.href = " + json(vecina).dump()); }, vecina, false},
        {"una URI data:",
         [](WebVista& v) { webkit_web_view_load_uri(v.vistaWeb(), "data:text/html,<p>ajena</p>"); }, "data:",
         false},
        {"HTML con la base permitida", [&](WebVista& v) { v.cargarHTML("<p>nuestra</p>", base); }, base, true},
        {"HTML sin base", [](WebVista& v) { v.cargarHTML("<p>sin base</p>", ""); }, "about:blank", false},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nombre);
        WebVista vista("prueba", opcionesPrueba());
        Buzon buzon(vista);
        vista.cargarPagina(pagina(), carpeta_);
        ASSERT_NE(buzon.esperar("listo"), nullptr);
        caso.mostrar(vista);
        const std::string esperada = caso.uri.empty() ? uriDe(pagina()) : caso.uri;
        ASSERT_TRUE(cargada(vista, esperada));

        const auto donde = sondear(vista);
        ASSERT_TRUE(donde.ok()) << donde.fallo().mensaje;
        EXPECT_TRUE(donde->get<std::string>().starts_with(esperada)) << *donde;
        EXPECT_EQ(buzon.buscar("sonda") != nullptr, caso.entregado);
    }
}

TEST_F(WebVistaTest, CadaVistaSirveSuPropioEsquema) {
    std::vector<std::string> pedidosA;
    WebVista a("prueba", opcionesPrueba());
    a.registrarEsquema("prueba-recurso", [&](std::string_view uri) -> RespuestaEsquema {
        pedidosA.emplace_back(uri);
        if (uri == "prueba-recurso://imagenes/punto.png") return RecursoEsquema{pngDe(7, 3), "image/png"};
        return std::nullopt;
    });
    WebVista b("prueba", opcionesPrueba());
    b.registrarEsquema("prueba-recurso", [](std::string_view uri) -> RespuestaEsquema {
        if (uri.ends_with("punto.png")) return RecursoEsquema{pngDe(11, 5), "image/png"};
        throw std::runtime_error("recurso roto");
    });
    // Registered on the shared context by the others, but not by this one.
    WebVista c("prueba", opcionesPrueba());

    const std::string medir =
        "const i = document.getElementById('imagen'), f = document.getElementById('falta');\n"
        "return {ancho: i.naturalWidth, alto: i.naturalHeight, falta: f.complete ? f.naturalWidth : -1};";
    const std::vector<std::pair<WebVista*, json>> casos = {
        {&a, {{"ancho", 7}, {"alto", 3}, {"falta", 0}}},
        {&b, {{"ancho", 11}, {"alto", 5}, {"falta", 0}}},
        {&c, {{"ancho", 0}, {"alto", 0}, {"falta", 0}}},
    };
    for (auto& [vista, esperado] : casos) {
        Buzon buzon(*vista);
        vista->cargarPagina(pagina(), carpeta_);
        ASSERT_NE(buzon.esperar("listo"), nullptr);  // after every image has loaded or failed
        const auto medido = esperarTarea(vista->llamar(medir));
        ASSERT_TRUE(medido.has_value() && medido->ok());
        EXPECT_EQ(**medido, esperado) << "vista " << (vista == &a ? "a" : vista == &b ? "b" : "c");
    }
    EXPECT_EQ(pedidosA, (std::vector<std::string>{"prueba-recurso://imagenes/punto.png",
                                                  "prueba-recurso://no/existe.png"}));
}

TEST_F(WebVistaTest, InstantaneaDelDocumentoEnteroSinMostrarla) {
    WebVista vista("prueba", opcionesPrueba());
    vista.cargarPagina(carpeta_ / "alta.html", carpeta_);

    const auto png = esperarTarea(vista.instantanea(800, FormatoImagen::png));
    ASSERT_TRUE(png.has_value());
    ASSERT_TRUE(png->ok()) << png->fallo().mensaje;
    const Imagen imagen = decodificar(**png);
    ASSERT_TRUE(imagen.pixbuf);
    const auto altoDocumento = esperarTarea(vista.llamar("return document.documentElement.scrollHeight;"));
    ASSERT_TRUE(altoDocumento.has_value() && altoDocumento->ok());
    EXPECT_EQ(**altoDocumento, 2000);
    EXPECT_EQ(imagen.ancho(), 800);
    EXPECT_EQ(imagen.alto(), 2000);
    esperarColor(imagen, 5, 5, {255, 0, 0}, 2);
    esperarColor(imagen, 795, 199, {255, 0, 0}, 2);
    esperarColor(imagen, 400, 200, {0, 255, 0}, 2);
    esperarColor(imagen, 400, 1799, {0, 255, 0}, 2);
    esperarColor(imagen, 5, 1800, {0, 0, 255}, 2);
    esperarColor(imagen, 795, 1995, {0, 0, 255}, 2);

    const auto jpeg = esperarTarea(vista.instantanea(500, FormatoImagen::jpeg, 80));
    ASSERT_TRUE(jpeg.has_value());
    ASSERT_TRUE(jpeg->ok()) << jpeg->fallo().mensaje;
    ASSERT_GE((*jpeg)->size(), 3u);
    EXPECT_EQ((**jpeg)[0], 0xFF);  // the JPEG start-of-image marker
    EXPECT_EQ((**jpeg)[1], 0xD8);
    const Imagen comprimida = decodificar(**jpeg);
    ASSERT_TRUE(comprimida.pixbuf);
    EXPECT_EQ(comprimida.ancho(), 500);
    EXPECT_EQ(comprimida.alto(), 2000);
    esperarColor(comprimida, 20, 20, {255, 0, 0}, 24);
    esperarColor(comprimida, 250, 1000, {0, 255, 0}, 24);
    esperarColor(comprimida, 480, 1980, {0, 0, 255}, 24);
}

TEST_F(WebVistaTest, InstantaneaRechazaAnchosNoValidosYVistasEnVentana) {
    WebVista vista("prueba", opcionesPrueba());
    vista.cargarPagina(carpeta_ / "alta.html", carpeta_);
    for (int ancho : {0, -5, 100000}) {
        const auto r = esperarTarea(vista.instantanea(ancho, FormatoImagen::png));
        ASSERT_TRUE(r.has_value());
        ASSERT_FALSE(r->ok()) << ancho;
        EXPECT_EQ(r->fallo().codigo, "ancho");
    }

    const auto caja = Ref<GtkWidget>::adoptar(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0));
    gtk_box_append(comoG<GtkBox>(caja.get()), vista.widget());
    const auto enVentana = esperarTarea(vista.instantanea(800, FormatoImagen::png));
    ASSERT_TRUE(enVentana.has_value());
    ASSERT_FALSE(enVentana->ok());
    EXPECT_EQ(enVentana->fallo().codigo, "ventana");
    gtk_box_remove(comoG<GtkBox>(caja.get()), vista.widget());

    // Once hosted for a picture, the view can be taken out and shown.
    ASSERT_TRUE(esperarTarea(vista.instantanea(300, FormatoImagen::png)).value().ok());
    EXPECT_NE(gtk_widget_get_parent(vista.widget()), nullptr);
    vista.soltarDelAnfitrion();
    EXPECT_EQ(gtk_widget_get_parent(vista.widget()), nullptr);
}

TEST_F(WebVistaTest, UnaLlamadaPendienteTerminaAunqueLaVistaSeDestruya) {
    auto vista = std::make_unique<WebVista>("prueba", opcionesPrueba());
    vista->cargarHTML("<p>hola</p>", "file:///sorvenia/base.html");
    ASSERT_TRUE(cargada(*vista, "file:///sorvenia/base.html"));

    prueba::Pendiente<Resultado<json>> pendiente(
        vista->llamar("return await new Promise(r => setTimeout(() => r(7), 100));"));
    esperarHasta([] { return false; }, std::chrono::milliseconds(30));  // lets the call reach WebKit
    vista.reset();
    const auto resultado = pendiente.esperar();
    ASSERT_TRUE(resultado.has_value());
    ASSERT_TRUE(resultado->ok()) << resultado->fallo().mensaje;
    EXPECT_EQ(**resultado, 7);
}

}  // namespace
}  // namespace sorvenia
