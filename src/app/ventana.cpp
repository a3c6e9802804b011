#include "app/ventana.h"

#include "navegacion/salida.h"

namespace sorvenia {
namespace {

constexpr int anchoInicial = 1440, altoInicial = 900;
constexpr int anchoMinimo = 1000, altoMinimo = 640;
constexpr double segundosParaGuardar = 5.0;
// How long the agents get to end by themselves at quit.
constexpr double segundosParaParar = 2.0;

// A flat black title bar with no title: the window reads as one dark surface.
GtkWidget* barraTitulo() {
    GtkWidget* barra = gtk_header_bar_new();
    gtk_header_bar_set_title_widget(comoG<GtkHeaderBar>(barra), gtk_label_new(nullptr));
    gtk_widget_add_css_class(barra, "sorvenia-barra");
    return barra;
}

void aplicarEstilo(GtkWidget* widget) {
    static constexpr const char* css =
        ".sorvenia-barra { background: #000; box-shadow: none; border: none; min-height: 30px; }\n"
        "window.sorvenia { background: #000; }\n";
    const auto proveedor = Ref<GtkCssProvider>::adoptar(gtk_css_provider_new());
    gtk_css_provider_load_from_data(proveedor.get(), css, -1);
    gtk_style_context_add_provider_for_display(gtk_widget_get_display(widget),
                                               comoG<GtkStyleProvider>(proveedor.get()),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace

Ventana::Ventana(GtkApplication* app, std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav)
    : nav_(nav),
      raiz_(std::move(cuenta), std::move(nav)),
      ventana_(Ref<GtkWindow>::compartir(comoG<GtkWindow>(gtk_application_window_new(app)))) {
    GtkWidget* widget = comoG<GtkWidget>(ventana_.get());
    aplicarEstilo(widget);
    gtk_widget_add_css_class(widget, "sorvenia");
    gtk_window_set_title(ventana_.get(), "Sorvenia Code");
    gtk_window_set_titlebar(ventana_.get(), barraTitulo());
    gtk_window_set_default_size(ventana_.get(), anchoInicial, altoInicial);
    gtk_widget_set_size_request(raiz_.widget(), anchoMinimo, altoMinimo);
    gtk_window_set_child(ventana_.get(), raiz_.widget());
    gtk_application_window_set_show_menubar(comoG<GtkApplicationWindow>(ventana_.get()), TRUE);
    g_signal_connect(ventana_.get(), "close-request", G_CALLBACK(&Ventana::alPedirCierre), this);
}

void Ventana::cerrar() { gtk_window_close(ventana_.get()); }

gboolean Ventana::alPedirCierre(GtkWindow*, gpointer datos) {
    return static_cast<Ventana*>(datos)->retenerCierre() ? TRUE : FALSE;
}

bool Ventana::retenerCierre() {
    if (cerrable_) return false;
    if (esperando_) return true;
    // Open sheets close first: the editor's page hears of it.
    nav_->fijarAjustes(false);
    nav_->fijarAgentes(false);
    auto editores = editoresPorGuardar();
    if (editores.empty() && agentesEnMarcha().empty()) return false;
    esperando_ = true;
    // The saves first (an agent's last step may still be arriving), then
    // the agents go: none outlives the application.
    guardarAntesDeSalir(std::move(editores), segundosParaGuardar, [this] {
        pararAgentesAntesDeSalir(agentesEnMarcha(), segundosParaParar, [this] {
            cerrable_ = true;
            gtk_window_close(ventana_.get());
        });
    });
    return true;
}

void Ventana::presentar() { gtk_window_present(ventana_.get()); }

}  // namespace sorvenia
