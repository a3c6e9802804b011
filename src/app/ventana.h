#pragma once
// The application's one window: "Sorvenia Code", 1440 × 900 at first, never
// smaller than 1000 × 640, always dark, showing the root view. Closing it
// quits the application (GTK ends the run when its last window goes), once
// the open designs' changes are saved (five seconds at most).

#include <gtk/gtk.h>

#include <memory>

#include "app/presentador_ajustes.h"
#include "app/raiz.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {

class Ventana {
public:
    Ventana(GtkApplication* app, std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav);
    Ventana(const Ventana&) = delete;
    Ventana& operator=(const Ventana&) = delete;

    void presentar();
    // Closes the window the way the user does: after the final saves.
    void cerrar();
    GtkWindow* ventana() const { return ventana_.get(); }
    const Raiz& raiz() const { return raiz_; }

private:
    static gboolean alPedirCierre(GtkWindow* ventana, gpointer datos);
    // True when the close must wait for the final saves.
    bool retenerCierre();

    std::shared_ptr<Navegacion> nav_;
    bool cerrable_ = false;
    bool esperando_ = false;
    Raiz raiz_;
    Ref<GtkWindow> ventana_;
    PresentadorAjustes ajustes_;
};

}  // namespace sorvenia
