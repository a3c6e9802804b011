// The running app's preview, in a real web view over a stand-in page: it
// loads where it is laid, keeps the app's own pages, sends other addresses
// to the browser, and answers the app's confirm with the application's own
// alert.

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "aplicaciones/gui/vista_app.h"
#include "esperar_bucle.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/navegador.h"
#include "ias/descriptor.h"
#include "ias/proceso.h"
#include "medios/puerto_libre.h"

namespace sorvenia {
namespace {

using prueba::esperarHasta;

// Runs `guion` in the view and gives its result as text ("" on failure).
std::string evaluar(WebKitWebView* web, const std::string& guion) {
    struct Espera {
        bool hecho = false;
        std::string valor;
    } espera;
    webkit_web_view_evaluate_javascript(
        web, guion.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* origen, GAsyncResult* resultado, gpointer datos) {
            auto& e = *static_cast<Espera*>(datos);
            if (JSCValue* v = webkit_web_view_evaluate_javascript_finish(comoG<WebKitWebView>(origen), resultado, nullptr)) {
                char* texto = jsc_value_to_string(v);
                e.valor = texto != nullptr ? texto : "";
                g_free(texto);
                g_object_unref(v);
            }
            e.hecho = true;
        },
        &espera);
    esperarHasta([&] { return espera.hecho; });
    return espera.valor;
}

GtkButton* botonConTitulo(GtkWidget* raiz, const std::string& titulo) {
    for (GtkWidget* h = gtk_widget_get_first_child(raiz); h != nullptr; h = gtk_widget_get_next_sibling(h)) {
        if (GTK_IS_BUTTON(h) && gtk_button_get_label(GTK_BUTTON(h)) != nullptr && titulo == gtk_button_get_label(GTK_BUTTON(h)))
            return GTK_BUTTON(h);
        if (auto* b = botonConTitulo(h, titulo)) return b;
    }
    return nullptr;
}

// The visible message dialog, if one shows.
GtkWindow* alertaVisible() {
    GListModel* ventanas = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(ventanas); ++i) {
        auto* v = comoG<GtkWindow>(g_list_model_get_item(ventanas, i));
        g_object_unref(v);  // the list keeps it
        if (GTK_IS_MESSAGE_DIALOG(v) && gtk_widget_get_visible(GTK_WIDGET(v))) return v;
    }
    return nullptr;
}

class VistaAppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run)."; }

    void SetUp() override {
        Navegador::usarAbridor([this](const std::string& uri) {
            abiertas_.push_back(uri);
            return true;
        });
        ventana_ = GTK_WINDOW(gtk_window_new());
        gtk_window_set_default_size(ventana_, 800, 600);
        capas_ = gtk_overlay_new();
        pagina_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_overlay_set_child(GTK_OVERLAY(capas_), pagina_);
        gtk_window_set_child(ventana_, capas_);
        gtk_window_present(ventana_);
        vista_ = std::make_unique<VistaApp>();
    }
    void TearDown() override {
        vista_.reset();
        gtk_window_destroy(ventana_);
        Navegador::usarAbridor({});
    }

    std::string base() const { return "http://127.0.0.1:" + std::to_string(servidor_.puerto()) + "/"; }
    std::string ubicacion() { return evaluar(vista_->vistaWeb(), "location.href"); }

    // The stand-in app: a real Node.js server (WebKit keeps its connections
    // open, which a one-connection-at-a-time stand-in would wait on).
    struct Servidor {
        Servidor() {
            puerto_ = VideoEnDirecto::puertoLibre(24310);
            const std::string guion = R"(
const http = require('http');
const puerto = Number(process.argv[1]);
http.createServer((req, res) => {
  res.setHeader('content-type', 'text/html; charset=utf-8');
  res.end('<!doctype html><meta charset=utf-8><body><h1>Ruta ' + req.url + '</h1>' +
          '<a id=local href="/otra">otra</a> <a id=fuera href="http://127.0.0.2:' + puerto + '/fuera">fuera</a>' +
          ' <a id=correo href="mailto:hola@ejemplo.es">correo</a></body>');
}).listen(puerto, '127.0.0.1', () => console.log('listo'));
)";
            auto tuberia = crearTuberia();
            auto proceso = Proceso::lanzar(Lanzamiento{std::string(NODE_APPS_BIN) + "/node",
                                                       {"-e", guion, std::to_string(puerto_)}, std::nullopt,
                                                       std::nullopt, -1, tuberia->escritura.fd(), -1});
            tuberia->escritura.cerrar();
            EXPECT_TRUE(proceso.ok());
            if (proceso) proceso_ = *proceso;
            std::string salida;
            leerAlgo(tuberia->lectura.fd(), salida);  // "listo" once it listens
        }
        ~Servidor() {
            if (!proceso_) return;
            proceso_->senalar(SIGTERM);
            (void)proceso_->esperar(10);
        }
        std::uint16_t puerto() const { return static_cast<std::uint16_t>(puerto_); }
        int puerto_ = 0;
        std::shared_ptr<Proceso> proceso_;
    } servidor_;
    GtkWindow* ventana_ = nullptr;
    GtkWidget* capas_ = nullptr;
    GtkWidget* pagina_ = nullptr;
    std::unique_ptr<VistaApp> vista_;
    std::vector<std::string> abiertas_;
};

TEST_F(VistaAppTest, SeColocaSobreLaPaginaYSeQuedaEnElOrigenDeLaApp) {
    vista_->colocar(pagina_, VistaApp::Rect{20, 30, 500, 400}, base());
    EXPECT_EQ(gtk_widget_get_parent(vista_->widget()), capas_);
    EXPECT_TRUE(gtk_widget_get_visible(vista_->widget()));
    EXPECT_EQ(gtk_widget_get_margin_start(vista_->widget()), 20);
    EXPECT_EQ(gtk_widget_get_margin_top(vista_->widget()), 30);
    EXPECT_EQ(vista_->origen().puerto, servidor_.puerto());
    ASSERT_TRUE(esperarHasta([&] { return vista_->cargas() == 1; }));
    EXPECT_EQ(evaluar(vista_->vistaWeb(), "document.querySelector('h1').textContent"), "Ruta /");

    // The app's own link stays in the view.
    evaluar(vista_->vistaWeb(), "document.getElementById('local').click(); 1");
    ASSERT_TRUE(esperarHasta([&] { return ubicacion() == base() + "otra"; }));

    // Another origin and a mail link open outside; the view stays.
    evaluar(vista_->vistaWeb(), "document.getElementById('fuera').click(); 1");
    ASSERT_TRUE(esperarHasta([&] { return abiertas_.size() == 1; }));
    EXPECT_EQ(abiertas_[0], "http://127.0.0.2:" + std::to_string(servidor_.puerto()) + "/fuera");
    evaluar(vista_->vistaWeb(), "document.getElementById('correo').click(); 1");
    ASSERT_TRUE(esperarHasta([&] { return abiertas_.size() == 2; }));
    EXPECT_EQ(abiertas_[1], "mailto:hola@ejemplo.es");
    EXPECT_EQ(ubicacion(), base() + "otra");

    // The same address laid again does not reload; no rectangle hides it.
    vista_->colocar(pagina_, VistaApp::Rect{0, 0, 300, 200}, base() + "otra");
    vista_->colocar(pagina_, std::nullopt, std::nullopt);
    EXPECT_FALSE(gtk_widget_get_visible(vista_->widget()));
}

TEST_F(VistaAppTest, ElConfirmDeLaAppUsaLaAlertaPropia) {
    vista_->colocar(pagina_, VistaApp::Rect{0, 0, 400, 300}, base());
    ASSERT_TRUE(esperarHasta([&] { return vista_->cargas() == 1; }));
    const struct {
        const char* boton;
        const char* respuesta;
    } casos[] = {{"Aceptar", "true"}, {"Cancelar", "false"}};
    for (const auto& c : casos) {
        const std::string largo(450, 'x');
        evaluar(vista_->vistaWeb(), "window.__r = 'pendiente'; setTimeout(() => { window.__r = String(confirm('" +
                                        largo + "')); }, 0); 1");
        GtkWindow* alerta = nullptr;
        ASSERT_TRUE(esperarHasta([&] { return (alerta = alertaVisible()) != nullptr; }));
        GtkButton* boton = botonConTitulo(GTK_WIDGET(alerta), c.boton);
        ASSERT_NE(boton, nullptr) << c.boton;
        g_signal_emit_by_name(boton, "clicked");
        ASSERT_TRUE(esperarHasta([&] { return evaluar(vista_->vistaWeb(), "window.__r") == c.respuesta; })) << c.boton;
    }
}

}  // namespace
}  // namespace sorvenia
