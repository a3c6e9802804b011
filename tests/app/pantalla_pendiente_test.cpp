// The servers and agency places, whose screens are still to come: each
// says what it is and what is coming, and its button leads back home.
#include "app/pantalla_pendiente.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

using Pantalla = Navegacion::Pantalla;

void recorrer(GtkWidget* w, std::vector<std::string>& textos, GtkWidget*& boton) {
    if (GTK_IS_BUTTON(w)) {
        boton = w;
        textos.emplace_back(gtk_button_get_label(comoG<GtkButton>(w)));
        return;
    }
    if (GTK_IS_LABEL(w)) textos.emplace_back(gtk_label_get_text(comoG<GtkLabel>(w)));
    for (GtkWidget* h = gtk_widget_get_first_child(w); h != nullptr; h = gtk_widget_get_next_sibling(h))
        recorrer(h, textos, boton);
}

TEST(PantallaPendiente, DiceQueLlegaraYVuelveATusDisenos) {
    ASSERT_TRUE(iniciarGtk());
    const struct {
        Pantalla::Caso caso;
        std::string titulo;
        std::string nombre;
    } casos[] = {{Pantalla::Caso::servidores, "Servidores", "pantalla-servidores"},
                 {Pantalla::Caso::agencia, "Agencia", "pantalla-agencia"}};
    for (const auto& c : casos) {
        auto nav = std::make_shared<Navegacion>();
        nav->fijarPantalla(c.caso == Pantalla::Caso::agencia ? Pantalla::agencia() : Pantalla::servidores());
        GtkWidget* pantalla = g_object_ref_sink(pantallaPendiente(c.caso, nav));
        EXPECT_EQ(std::string(gtk_widget_get_name(pantalla)), c.nombre);
        std::vector<std::string> textos;
        GtkWidget* boton = nullptr;
        recorrer(pantalla, textos, boton);
        ASSERT_EQ(textos.size(), 3u) << c.titulo;
        EXPECT_EQ(textos[0], c.titulo);
        EXPECT_NE(textos[1].find("llegará en una próxima versión de Sorvenia Code para Linux."), std::string::npos)
            << textos[1];
        EXPECT_EQ(textos[2], "Volver a tus diseños");
        ASSERT_NE(boton, nullptr);
        g_signal_emit_by_name(boton, "clicked");
        EXPECT_EQ(nav->pantalla(), Pantalla::inicio()) << c.titulo;

        // With the navigation gone, the button does nothing.
        nav.reset();
        g_signal_emit_by_name(boton, "clicked");
        g_object_unref(pantalla);
    }
}

}  // namespace
}  // namespace sorvenia
