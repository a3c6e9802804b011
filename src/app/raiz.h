#pragma once
// The window's root view: the backdrop, and over it the sign-in page while
// nobody is signed in, the signed-in screens otherwise. It follows the
// account: signing in or out swaps the screen (a new sign-in page each
// time, as the old one goes with its model and view).

#include <gtk/gtk.h>

#include <memory>

#include "cuenta/cuenta.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {

class ConectarWeb;

class Raiz {
public:
    explicit Raiz(std::shared_ptr<Cuenta> cuenta);
    ~Raiz();
    Raiz(const Raiz&) = delete;
    Raiz& operator=(const Raiz&) = delete;

    GtkWidget* widget() const { return comoG<GtkWidget>(capas_.get()); }
    // Whether the sign-in page is what the window shows.
    bool muestraConectar() const { return conectar_ != nullptr; }

private:
    void mostrarPantalla();

    std::shared_ptr<Cuenta> cuenta_;
    Ref<GtkOverlay> capas_;
    GtkWidget* pantalla_ = nullptr;  // the overlay owns it
    std::unique_ptr<ConectarWeb> conectar_;
    Cuenta::Suscripcion suscripcion_;
};

}  // namespace sorvenia
