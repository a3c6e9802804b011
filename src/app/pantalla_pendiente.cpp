#include "app/pantalla_pendiente.h"

#include <string>

#include "plataforma/gui/tema.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

struct Textos {
    const char* nombre;
    const char* titulo;
    const char* explicacion;
};

Textos textosDe(Navegacion::Pantalla::Caso caso) {
    if (caso == Navegacion::Pantalla::Caso::agencia)
        return {"pantalla-agencia", "Agencia",
                "Aquí organizarás el trabajo de tu agencia: clientes, encargos y diseños. Esta pantalla llegará en una "
                "próxima versión de Sorvenia Code para Linux."};
    return {"pantalla-servidores", "Servidores",
            "Aquí verás y administrarás tus servidores. Esta pantalla llegará en una próxima versión de Sorvenia Code "
            "para Linux."};
}

// The card's looks, installed once for the whole display.
void instalarEstilo() {
    const std::string hoja = ".pendiente-tarjeta { background-color: " + Tema::css(Tema::panel()) +
                             "; border: 1px solid " + Tema::css(Tema::linea2()) +
                             "; border-radius: 4px; padding: 28px; }\n"
                             ".pendiente-titulo { color: " + Tema::css(Tema::tinta()) +
                             "; font-size: 20px; font-weight: 600; }\n"
                             ".pendiente-texto { color: " + Tema::css(Tema::tinta()) + "; font-size: 14px; }\n";
    Tema::instalarHoja("pantalla-pendiente", hoja);
}

void alVolver(GtkButton* boton, gpointer) {
    const auto* nav = static_cast<std::weak_ptr<Navegacion>*>(g_object_get_data(G_OBJECT(boton), "nav"));
    if (nav == nullptr) return;
    if (const auto n = nav->lock()) n->fijarPantalla(Navegacion::Pantalla::inicio());
}

GtkWidget* etiqueta(const char* texto, const char* clase) {
    GtkWidget* e = gtk_label_new(texto);
    gtk_label_set_wrap(comoG<GtkLabel>(e), TRUE);
    gtk_label_set_max_width_chars(comoG<GtkLabel>(e), 60);
    gtk_label_set_justify(comoG<GtkLabel>(e), GTK_JUSTIFY_CENTER);
    gtk_widget_add_css_class(e, clase);
    return e;
}

}  // namespace

GtkWidget* pantallaPendiente(Navegacion::Pantalla::Caso caso, std::weak_ptr<Navegacion> nav) {
    instalarEstilo();
    const Textos textos = textosDe(caso);
    GtkWidget* capa = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_name(capa, textos.nombre);
    GtkWidget* tarjeta = gtk_box_new(GTK_ORIENTATION_VERTICAL, 14);
    gtk_widget_add_css_class(tarjeta, "pendiente-tarjeta");
    gtk_widget_set_halign(tarjeta, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(tarjeta, GTK_ALIGN_CENTER);
    gtk_widget_set_vexpand(tarjeta, TRUE);
    GtkWidget* boton = gtk_button_new_with_label("Volver a tus diseños");
    gtk_widget_set_halign(boton, GTK_ALIGN_CENTER);
    g_object_set_data_full(G_OBJECT(boton), "nav", new std::weak_ptr<Navegacion>(std::move(nav)),
                           [](gpointer p) { delete static_cast<std::weak_ptr<Navegacion>*>(p); });
    g_signal_connect(boton, "clicked", G_CALLBACK(alVolver), nullptr);
    gtk_box_append(comoG<GtkBox>(tarjeta), etiqueta(textos.titulo, "pendiente-titulo"));
    gtk_box_append(comoG<GtkBox>(tarjeta), etiqueta(textos.explicacion, "pendiente-texto"));
    gtk_box_append(comoG<GtkBox>(tarjeta), boton);
    gtk_box_append(comoG<GtkBox>(capa), tarjeta);
    return capa;
}

}  // namespace sorvenia
