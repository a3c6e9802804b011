#pragma once
// A window that is realized but never presented: it gives a widget (a web
// view to photograph, a parked editor) a toplevel and a size without
// showing anything on screen. GTK lays out only mapped windows, so the size
// is allocated here by hand.

#include <gtk/gtk.h>

namespace sorvenia {

class AnfitrionOculto {
public:
    AnfitrionOculto();
    ~AnfitrionOculto();
    AnfitrionOculto(const AnfitrionOculto&) = delete;
    AnfitrionOculto& operator=(const AnfitrionOculto&) = delete;

    // Makes `hijo` (which must have no parent) the window's only child.
    void alojar(GtkWidget* hijo);
    // Gives the child back (it loses its parent); the caller must hold its
    // own reference to keep it.
    void soltar();
    GtkWidget* hijo() const;

    // Realizes the child and allocates it `ancho` x `alto` pixels.
    void dimensionar(int ancho, int alto);

private:
    GtkWindow* ventana_;  // owned by GTK's list of toplevels until destroyed here
};

}  // namespace sorvenia
