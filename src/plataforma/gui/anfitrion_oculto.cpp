#include "plataforma/gui/anfitrion_oculto.h"

#include "plataforma/objeto_g.h"

namespace sorvenia {

AnfitrionOculto::AnfitrionOculto() : ventana_(comoG<GtkWindow>(gtk_window_new())) {}

AnfitrionOculto::~AnfitrionOculto() {
    soltar();
    gtk_window_destroy(ventana_);
}

void AnfitrionOculto::alojar(GtkWidget* hijo) { gtk_window_set_child(ventana_, hijo); }

void AnfitrionOculto::soltar() { gtk_window_set_child(ventana_, nullptr); }

GtkWidget* AnfitrionOculto::hijo() const { return gtk_window_get_child(ventana_); }

void AnfitrionOculto::dimensionar(int ancho, int alto) {
    GtkWidget* h = hijo();
    if (h == nullptr) return;
    gtk_window_set_default_size(ventana_, ancho, alto);
    gtk_widget_set_size_request(h, ancho, alto);
    gtk_widget_realize(h);
    // GTK complains about allocations that were never measured.
    gtk_widget_measure(h, GTK_ORIENTATION_HORIZONTAL, -1, nullptr, nullptr, nullptr, nullptr);
    gtk_widget_measure(h, GTK_ORIENTATION_VERTICAL, ancho, nullptr, nullptr, nullptr, nullptr);
    const GtkAllocation espacio{0, 0, ancho, alto};
    gtk_widget_size_allocate(h, &espacio, -1);
}

}  // namespace sorvenia
