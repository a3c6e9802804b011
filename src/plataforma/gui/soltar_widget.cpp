#include "plataforma/gui/soltar_widget.h"

#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

bool es(GtkWidget* w, GType tipo) {
    return g_type_check_instance_is_a(comoG<GTypeInstance>(w), tipo) != FALSE;
}

}  // namespace

void soltarDeSuPadre(GtkWidget* w) {
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

}  // namespace sorvenia
