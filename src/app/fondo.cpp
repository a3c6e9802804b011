#include "app/fondo.h"

#include "plataforma/gui/tema.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

constexpr int paso = 22;
constexpr double ladoPunto = 1.4;
constexpr double grisPunto = 0.12;
constexpr double radioBrillo = 620.0;

int cuantos(int medida) { return medida <= 0 ? 0 : (medida + paso - 1) / paso; }

void pintarPuntos(cairo_t* cr, int ancho, int alto) {
    cairo_set_source_rgb(cr, grisPunto, grisPunto, grisPunto);
    const RejillaPuntos rejilla = rejillaPara(ancho, alto);
    const double radio = ladoPunto / 2.0;
    for (int i = 0; i < rejilla.columnas; ++i)
        for (int j = 0; j < rejilla.filas; ++j) {
            cairo_new_sub_path(cr);
            cairo_arc(cr, i * paso + radio, j * paso + radio, radio, 0.0, 2.0 * G_PI);
        }
    cairo_fill(cr);
}

void pintarBrillo(cairo_t* cr, int ancho, int alto) {
    const double centro = ancho / 2.0;
    cairo_pattern_t* brillo = cairo_pattern_create_radial(centro, 0.0, 0.0, centro, 0.0, radioBrillo);
    cairo_pattern_add_color_stop_rgba(brillo, 0.0, 0.36, 0.48, 1.0, 0.13);
    cairo_pattern_add_color_stop_rgba(brillo, 1.0, 0.36, 0.48, 1.0, 0.0);
    cairo_set_source(cr, brillo);
    cairo_rectangle(cr, 0.0, 0.0, ancho, alto);
    cairo_fill(cr);
    cairo_pattern_destroy(brillo);
}

void dibujar(GtkDrawingArea*, cairo_t* cr, int ancho, int alto, gpointer) { pintarFondo(cr, ancho, alto); }

}  // namespace

RejillaPuntos rejillaPara(int ancho, int alto) { return {cuantos(ancho), cuantos(alto)}; }

void pintarFondo(cairo_t* cr, int ancho, int alto) {
    const GdkRGBA& negro = Tema::fondo();
    cairo_set_source_rgb(cr, static_cast<double>(negro.red), static_cast<double>(negro.green),
                         static_cast<double>(negro.blue));
    cairo_paint(cr);
    pintarPuntos(cr, ancho, alto);
    pintarBrillo(cr, ancho, alto);
}

GtkWidget* crearFondo() {
    GtkWidget* area = gtk_drawing_area_new();
    gtk_drawing_area_set_draw_func(comoG<GtkDrawingArea>(area), &dibujar, nullptr, nullptr);
    gtk_widget_set_hexpand(area, TRUE);
    gtk_widget_set_vexpand(area, TRUE);
    return area;
}

}  // namespace sorvenia
