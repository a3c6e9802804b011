#include "centro/aparcamiento.h"

#include <algorithm>

#include "centro/trabajos.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

bool es(GtkWidget* w, GType tipo) {
    return g_type_check_instance_is_a(comoG<GTypeInstance>(w), tipo) != FALSE;
}

// Takes the widget out of its container, whichever kind of container it is
// (a window or a box has no generic removal that keeps their books right).
void soltar(GtkWidget* w) {
    GtkWidget* padre = gtk_widget_get_parent(w);
    if (padre == nullptr) return;
    if (es(padre, gtk_window_get_type())) gtk_window_set_child(comoG<GtkWindow>(padre), nullptr);
    else if (es(padre, gtk_box_get_type())) gtk_box_remove(comoG<GtkBox>(padre), w);
    else if (es(padre, gtk_fixed_get_type())) gtk_fixed_remove(comoG<GtkFixed>(padre), w);
    else if (es(padre, gtk_overlay_get_type())) {
        GtkOverlay* capa = comoG<GtkOverlay>(padre);
        if (gtk_overlay_get_child(capa) == w) gtk_overlay_set_child(capa, nullptr);
        else gtk_overlay_remove_overlay(capa, w);
    } else gtk_widget_unparent(w);
}

}  // namespace

Aparcamiento::Aparcamiento() : fijo_(comoG<GtkFixed>(gtk_fixed_new())) {
    anfitrion_.alojar(comoG<GtkWidget>(fijo_));
    anfitrion_.dimensionar(ancho_, alto_);
}

void Aparcamiento::aparcar(GtkWidget* web, int ancho, int alto) {
    ancho = std::max(ancho, 900);
    alto = std::max(alto, 600);
    // Growing only: pages parked earlier keep their own size.
    ancho_ = std::max(ancho_, ancho);
    alto_ = std::max(alto_, alto);

    const auto propia = Ref<GtkWidget>::compartir(web);  // alive between the two parents
    soltar(web);
    gtk_widget_set_size_request(web, ancho, alto);
    gtk_fixed_put(fijo_, web, 0, 0);
    anfitrion_.dimensionar(ancho_, alto_);
}

void Trabajos::aparcar(GtkWidget* web, int ancho, int alto) {
    if (web == nullptr) return;
    if (!ventana_) ventana_ = std::make_shared<Aparcamiento>();
    ventana_->aparcar(web, ancho, alto);
}

}  // namespace sorvenia
