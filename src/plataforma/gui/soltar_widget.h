#pragma once
// Moving a widget between containers (a page between its screen and the
// off-screen parking window).

#include <gtk/gtk.h>

namespace sorvenia {

// Takes the widget out of its container, whichever kind of container it is
// (a window or a box has no generic removal that keeps their books right).
// The caller holds a reference when the widget must outlive the move.
void soltarDeSuPadre(GtkWidget* w);

}  // namespace sorvenia
