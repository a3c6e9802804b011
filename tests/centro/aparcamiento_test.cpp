// Parking an editor's page in the off-screen window.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include "centro/gui/aparcamiento.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

TEST(Aparcamiento, LaPaginaSigueViva) {
    ASSERT_TRUE(iniciarGtk());
    Aparcamiento aparcamiento;

    // A page shown in a window, inside a box, as the editor view shows it.
    GtkWindow* ventana = comoG<GtkWindow>(gtk_window_new());
    GtkWidget* caja = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_window_set_child(ventana, caja);
    const auto web = Ref<GtkWidget>::adoptar(comoG<GtkWidget>(webkit_web_view_new()));
    gtk_box_append(comoG<GtkBox>(caja), web.get());

    aparcamiento.aparcar(web.get(), 300, 200);
    GtkWidget* fijo = gtk_widget_get_parent(web.get());
    ASSERT_NE(fijo, nullptr);
    EXPECT_NE(fijo, caja);
    EXPECT_EQ(gtk_widget_get_first_child(caja), nullptr) << "taken out of the editor's view";
    EXPECT_EQ(gtk_widget_get_width(web.get()), 900) << "never smaller than 900 x 600";
    EXPECT_EQ(gtk_widget_get_height(web.get()), 600);
    EXPECT_EQ(gtk_widget_get_width(fijo), 1440);
    EXPECT_EQ(gtk_widget_get_height(fijo), 900);

    // A second page, bigger than the window: the window grows; the first
    // page keeps its size, both at the origin of the same window.
    const auto grande = Ref<GtkWidget>::adoptar(comoG<GtkWidget>(webkit_web_view_new()));
    aparcamiento.aparcar(grande.get(), 2000, 1000);
    EXPECT_EQ(gtk_widget_get_parent(grande.get()), fijo);
    EXPECT_EQ(gtk_widget_get_width(grande.get()), 2000);
    EXPECT_EQ(gtk_widget_get_height(grande.get()), 1000);
    EXPECT_EQ(gtk_widget_get_width(fijo), 2000);
    EXPECT_EQ(gtk_widget_get_height(fijo), 1000);
    EXPECT_EQ(gtk_widget_get_width(web.get()), 900);

    // Parking the same page again moves it within the window.
    aparcamiento.aparcar(web.get(), 1200, 700);
    EXPECT_EQ(gtk_widget_get_parent(web.get()), fijo);
    EXPECT_EQ(gtk_widget_get_width(web.get()), 1200);
    EXPECT_EQ(gtk_widget_get_height(web.get()), 700);
    gtk_window_destroy(ventana);
}

}  // namespace
}  // namespace sorvenia
