#pragma once
// The off-screen window where the pages of parked editors keep running
// while their agents work: realized, never shown, big enough for every
// page in it. Each page sits at the window's origin. The job registry
// (centro/trabajos.h) keeps the parked editors' models alive; this window
// keeps their pages laid out.

#include <gtk/gtk.h>

#include "plataforma/gui/anfitrion_oculto.h"

namespace sorvenia {

class Aparcamiento {
public:
    // The application's parking window, made on first use.
    static Aparcamiento& compartido();

    Aparcamiento();  // 1440 x 900 to begin with
    Aparcamiento(const Aparcamiento&) = delete;
    Aparcamiento& operator=(const Aparcamiento&) = delete;

    // Takes `web` from wherever it is shown and lays it out here at `ancho`
    // x `alto`, but never smaller than 900 x 600; the window grows to hold it.
    // A null `web` does nothing.
    void aparcar(GtkWidget* web, int ancho, int alto);

private:
    AnfitrionOculto anfitrion_;
    GtkFixed* fijo_;  // the window's child; the window owns it
    int ancho_ = 1440;
    int alto_ = 900;
};

}  // namespace sorvenia
