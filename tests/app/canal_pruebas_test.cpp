// The test build's file channel against real GTK windows and web views
// (under Xvfb): script orders, screenshots, file choosers and alerts.

#include "app/canal_pruebas/canal.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "plataforma/gui/canal_pruebas.h"
#include "app/canal_pruebas/dialogos_canal.h"
#include "app/canal_pruebas/registro_webs.h"
#include "cache_propia.h"
#include "esperar_bucle.h"
#include "plataforma/identidad.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using prueba::esperarHasta;

std::optional<std::string> leer(const fs::path& archivo) {
    std::ifstream entrada(archivo, std::ios::binary);
    if (!entrada) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
}

void escribir(const fs::path& archivo, const std::string& texto) { std::ofstream(archivo, std::ios::binary) << texto; }

fs::path en(const char* nombre) { return CanalPruebas::carpeta() / nombre; }

// A web view showing `html`, shown in a window of its own (or in none).
struct VistaEnVentana {
    explicit VistaEnVentana(const std::string& html, bool enVentana = true) : vista("prueba") {
        if (enVentana) {
            ventana = Ref<GtkWindow>::compartir(comoG<GtkWindow>(gtk_window_new()));
            gtk_window_set_default_size(ventana.get(), 640, 400);
            gtk_window_set_child(ventana.get(), vista.widget());
            gtk_window_present(ventana.get());
        }
        vista.cargarHTML(html, "file:///prueba-canal.html");
        esperarHasta([&] { return webkit_web_view_is_loading(vista.vistaWeb()) == FALSE; });
    }
    ~VistaEnVentana() {
        if (ventana) gtk_window_destroy(ventana.get());
    }
    WebVista vista;
    Ref<GtkWindow> ventana;
};

class CanalPruebasTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prueba::usarCachePropia();
        ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        CanalPruebas::activar();
        CanalPruebas::arrancar();
    }
    void SetUp() override {
        fs::create_directories(CanalPruebas::carpeta());
        for (const char* nombre : {"orden.js", "respuesta.json", "captura.pedir", "captura.png", "panel.elegir",
                                   "panel.hecho", "boton.pulsar", "boton.hecho"})
            fs::remove(en(nombre));
    }

    // Writes an order and waits for its answer.
    static std::optional<json> ordenar(const std::string& orden) {
        escribir(en("orden.js"), orden);
        if (!esperarHasta([] { return fs::exists(en("respuesta.json")); })) return std::nullopt;
        EXPECT_FALSE(fs::exists(en("orden.js"))) << "the order is deleted when taken";
        const json respuesta = json::parse(*leer(en("respuesta.json")));
        fs::remove(en("respuesta.json"));
        return respuesta;
    }
};

TEST_F(CanalPruebasTest, OrdenesDeScript) {
    VistaEnVentana pagina("<title>Canal</title><script>window.valor = 7;</script>");
    CanalPruebas::registrar("conectar", pagina.vista.vistaWeb());

    const struct {
        const char* cuerpo;
        json esperado;
    } casos[] = {
        {"return document.title;", {{"ok", true}, {"valor", "Canal"}}},
        {"return {a: window.valor, b: [1, 'dos', null, true]};",
         {{"ok", true}, {"valor", {{"a", 7}, {"b", {1, "dos", nullptr, true}}}}}},
        {"return await new Promise(r => setTimeout(() => r(window.valor * 6), 50));", {{"ok", true}, {"valor", 42}}},
        {"window.valor = 8;", {{"ok", true}, {"valor", nullptr}}},
    };
    for (const auto& caso : casos) {
        const auto respuesta = ordenar(std::string("// web: conectar\n") + caso.cuerpo);
        ASSERT_TRUE(respuesta) << caso.cuerpo;
        EXPECT_EQ(*respuesta, caso.esperado) << caso.cuerpo;
    }

    // A date is not JSON: its text stands in.
    const auto fecha = ordenar("// web:conectar\nreturn new Date(0);");
    ASSERT_TRUE(fecha);
    EXPECT_EQ(fecha->at("ok"), true);
    ASSERT_TRUE(fecha->at("valor").is_string());
    EXPECT_NE(fecha->at("valor").get<std::string>().find("1970"), std::string::npos) << *fecha;

    const auto fallo = ordenar("// web: conectar\nthrow new Error('se rompió');");
    ASSERT_TRUE(fallo);
    EXPECT_EQ(fallo->at("ok"), false);
    EXPECT_NE(fallo->at("error").get<std::string>().find("se rompió"), std::string::npos) << *fallo;
}

TEST_F(CanalPruebasTest, SoloWebsRegistradasYEnVentana) {
    VistaEnVentana visible("<p>visible</p>");
    VistaEnVentana oculta("<p>sin ventana</p>", false);
    CanalPruebas::registrar("inicio", visible.vista.vistaWeb());
    CanalPruebas::registrar("ajustes", oculta.vista.vistaWeb());

    const auto sinVentana = ordenar("// web: ajustes\nreturn 1;");
    ASSERT_TRUE(sinVentana);
    EXPECT_EQ(sinVentana->at("ok"), false);
    EXPECT_EQ(sinVentana->at("error"), "no hay web «ajustes» visible");
    const auto visibles = sinVentana->at("visibles").get<std::vector<std::string>>();
    EXPECT_NE(std::find(visibles.begin(), visibles.end(), "inicio"), visibles.end());
    EXPECT_EQ(std::find(visibles.begin(), visibles.end(), "ajustes"), visibles.end());

    // No target line means the editor, which nobody registered; a CRLF
    // line keeps its carriage return and names nothing either.
    EXPECT_EQ(ordenar("return 1;")->at("error"), "no hay web «editor» visible");
    EXPECT_EQ(ordenar("// web: inicio\r\nreturn 1;")->at("error"), "no hay web «inicio\r» visible");

    // A later registration of a name wins.
    VistaEnVentana otra("<title>otra</title>");
    CanalPruebas::registrar("inicio", otra.vista.vistaWeb());
    EXPECT_EQ(ordenar("// web: inicio\nreturn document.title;")->at("valor"), "otra");
}

TEST_F(CanalPruebasTest, UnaWebQueSeVaDejaDeEstarVisible) {
    {
        VistaEnVentana efimera("<p>pronto se va</p>");
        CanalPruebas::registrar("tienda", efimera.vista.vistaWeb());
        EXPECT_TRUE(CanalPruebas::webVisible("tienda"));
    }
    EXPECT_FALSE(CanalPruebas::webRegistrada("tienda"));
    EXPECT_EQ(ordenar("// web: tienda\nreturn 1;")->at("ok"), false);
}

TEST_F(CanalPruebasTest, FueraDeLaCompilacionDePruebaNoSeRegistraNada) {
    VistaEnVentana pagina("<p>normal</p>");
    fijarIdAplicacion("es.sorvenia.tarvel");
    CanalPruebas::registrar("servidores", pagina.vista.vistaWeb());
    fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
    EXPECT_FALSE(CanalPruebas::webRegistrada("servidores"));
}

struct Png {
    int ancho = 0, alto = 0;
};
std::optional<Png> leerPng(const fs::path& archivo) {
    GError* error = nullptr;
    GdkPixbuf* crudo = gdk_pixbuf_new_from_file(archivo.c_str(), &error);
    if (error != nullptr) g_error_free(error);
    if (crudo == nullptr) return std::nullopt;
    const auto imagen = Ref<GdkPixbuf>::adoptar(crudo);
    return Png{gdk_pixbuf_get_width(crudo), gdk_pixbuf_get_height(crudo)};
}

TEST_F(CanalPruebasTest, CapturasDeUnaWebYDeLaVentana) {
    VistaEnVentana pagina("<body style='background:#3366ff'><h1>Captura</h1></body>");
    CanalPruebas::registrar("agencia", pagina.vista.vistaWeb());
    esperarHasta([&] { return gtk_widget_get_width(pagina.vista.widget()) > 0; });

    escribir(en("captura.png"), "vieja");
    escribir(en("captura.pedir"), "  agencia\n");
    ASSERT_TRUE(esperarHasta([] { return leerPng(en("captura.png")).has_value(); }));
    EXPECT_FALSE(fs::exists(en("captura.pedir")));
    const auto web = leerPng(en("captura.png"));
    EXPECT_EQ(web->ancho, gtk_widget_get_width(pagina.vista.widget()));

    fs::remove(en("captura.png"));
    gtk_window_present(pagina.ventana.get());
    escribir(en("captura.pedir"), "ventana");
    ASSERT_TRUE(esperarHasta([] { return leerPng(en("captura.png")).has_value(); }));
    const auto ventana = leerPng(en("captura.png"));
    EXPECT_GT(ventana->ancho, 0);
    EXPECT_GT(ventana->alto, 0);

    // An unregistered name: the request is taken, the old picture goes and
    // no new one comes.
    escribir(en("captura.pedir"), "nadie");
    ASSERT_TRUE(esperarHasta([] { return !fs::exists(en("captura.pedir")); }));
    EXPECT_FALSE(esperarHasta([] { return fs::exists(en("captura.png")); }, std::chrono::milliseconds(600)));
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
// A modal file chooser whose response the test records.
struct Panel {
    explicit Panel(const fs::path& elegido) {
        dialogo = Ref<GtkWidget>::compartir(gtk_file_chooser_dialog_new("Abrir", nullptr, GTK_FILE_CHOOSER_ACTION_OPEN,
                                                                         "Cancelar", GTK_RESPONSE_CANCEL, "Abrir",
                                                                         GTK_RESPONSE_ACCEPT, nullptr));
        gtk_window_set_modal(comoG<GtkWindow>(dialogo.get()), TRUE);
        conectarSenal(dialogo.get(), "response", &Panel::alResponder, this);
        if (!elegido.empty()) {
            const auto archivo = Ref<GFile>::adoptar(g_file_new_for_path(elegido.c_str()));
            gtk_file_chooser_set_file(comoG<GtkFileChooser>(dialogo.get()), archivo.get(), nullptr);
        }
        gtk_window_present(comoG<GtkWindow>(dialogo.get()));
    }
    ~Panel() { gtk_window_destroy(comoG<GtkWindow>(dialogo.get())); }
    static void alResponder(GtkDialog*, int id, gpointer datos) { static_cast<Panel*>(datos)->respuesta = id; }
    Ref<GtkWidget> dialogo;
    std::optional<int> respuesta;
};
G_GNUC_END_IGNORE_DEPRECATIONS

TEST_F(CanalPruebasTest, PanelesDeArchivos) {
    const fs::path carpeta = fs::temp_directory_path() / "canal-panel";
    fs::create_directories(carpeta);
    escribir(carpeta / "diseño.html", "<p>");

    // Waits in the folder while no file chooser is shown.
    escribir(en("panel.elegir"), "cancelar");
    EXPECT_FALSE(esperarHasta([] { return !fs::exists(en("panel.elegir")); }, std::chrono::milliseconds(600)));
    {
        Panel panel({});
        ASSERT_TRUE(esperarHasta([&] { return panel.respuesta.has_value(); }));
        EXPECT_EQ(*panel.respuesta, GTK_RESPONSE_CANCEL);
        EXPECT_EQ(leer(en("panel.hecho")), "cancelado\n");
    }
    {
        Panel panel(carpeta / "diseño.html");
        // The chooser selects the file once it has read the folder.
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        ASSERT_TRUE(esperarHasta([&] {
            return Ref<GFile>::adoptar(gtk_file_chooser_get_file(comoG<GtkFileChooser>(panel.dialogo.get()))).get() !=
                   nullptr;
        }));
        G_GNUC_END_IGNORE_DEPRECATIONS
        escribir(en("panel.elegir"), "Cancelar");  // not "cancelar": accepts the choice
        ASSERT_TRUE(esperarHasta([&] { return panel.respuesta.has_value(); }))
            << leer(en("panel.hecho")).value_or("(sin respuesta)");
        EXPECT_EQ(*panel.respuesta, GTK_RESPONSE_ACCEPT) << leer(en("panel.hecho")).value_or("(sin respuesta)");
        EXPECT_EQ(leer(en("panel.hecho")), (carpeta / "diseño.html").string() + "\n");
    }
    {
        // A path chooses that file in a chooser that had none.
        escribir(carpeta / "otro.ttf", "x");
        Panel panel({});
        escribir(en("panel.elegir"), (carpeta / "otro.ttf").string());
        ASSERT_TRUE(esperarHasta([&] { return panel.respuesta.has_value(); }))
            << leer(en("panel.hecho")).value_or("(sin respuesta)");
        EXPECT_EQ(*panel.respuesta, GTK_RESPONSE_ACCEPT);
        EXPECT_EQ(leer(en("panel.hecho")), (carpeta / "otro.ttf").string() + "\n");
    }
    fs::remove_all(carpeta);
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
struct Alerta {
    Alerta() {
        dialogo = Ref<GtkWidget>::compartir(gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
                                                                    GTK_BUTTONS_NONE, "%s",
                                                                    "¿Cerrar la sesión de Sorvenia en este ordenador?"));
        gtk_message_dialog_format_secondary_text(comoG<GtkMessageDialog>(dialogo.get()), "%s",
                                                 "Tus diseños siguen en tu cuenta.");
        gtk_dialog_add_button(comoG<GtkDialog>(dialogo.get()), "Cerrar sesión", 1);
        gtk_dialog_add_button(comoG<GtkDialog>(dialogo.get()), "Cancelar", 2);
        conectarSenal(dialogo.get(), "response", &Alerta::alResponder, this);
        gtk_window_present(comoG<GtkWindow>(dialogo.get()));
    }
    ~Alerta() { gtk_window_destroy(comoG<GtkWindow>(dialogo.get())); }
    static void alResponder(GtkDialog*, int id, gpointer datos) { static_cast<Alerta*>(datos)->respuesta = id; }
    Ref<GtkWidget> dialogo;
    std::optional<int> respuesta;
};
G_GNUC_END_IGNORE_DEPRECATIONS

TEST_F(CanalPruebasTest, BotonesDeUnaAlerta) {
    Alerta alerta;
    const json esperado = {{"textos", {"¿Cerrar la sesión de Sorvenia en este ordenador?", "Tus diseños siguen en tu cuenta."}},
                           {"botones", {"Cerrar sesión", "Cancelar"}}};

    // "?" only lists; a title no button has lists too and presses nothing.
    for (const char* peticion : {"?", "Aceptar"}) {
        escribir(en("boton.pulsar"), peticion);
        ASSERT_TRUE(esperarHasta([] { return fs::exists(en("boton.hecho")); })) << peticion;
        EXPECT_EQ(json::parse(*leer(en("boton.hecho"))), esperado) << peticion;
        fs::remove(en("boton.hecho"));
    }
    prueba::esperarHasta([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_FALSE(alerta.respuesta);

    escribir(en("boton.pulsar"), "Cancelar\n");
    ASSERT_TRUE(esperarHasta([&] { return alerta.respuesta.has_value(); }));
    EXPECT_EQ(*alerta.respuesta, 2);
}

TEST_F(CanalPruebasTest, UnaPeticionDeBotonNoContestaAUnPanel) {
    Panel panel({});
    escribir(en("boton.pulsar"), "?");
    EXPECT_FALSE(esperarHasta([] { return fs::exists(en("boton.hecho")); }, std::chrono::milliseconds(600)));
    EXPECT_TRUE(fs::exists(en("boton.pulsar")));
}

}  // namespace
}  // namespace sorvenia
