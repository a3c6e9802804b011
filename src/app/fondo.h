#pragma once
// The window's backdrop behind every screen: black, a faint dot grid every
// 22 px, and a blue glow falling from the middle of the top edge.

#include <gtk/gtk.h>

#include <cairo.h>

namespace sorvenia {

// How many dots fit across `ancho` and down `alto` (one per 22 px step that
// starts inside the area).
struct RejillaPuntos {
    int columnas;
    int filas;
};
RejillaPuntos rejillaPara(int ancho, int alto);

// Paints the backdrop onto `cr` over `ancho` × `alto`.
void pintarFondo(cairo_t* cr, int ancho, int alto);

// A drawing area that paints the backdrop and fills whatever it is given.
GtkWidget* crearFondo();

}  // namespace sorvenia
