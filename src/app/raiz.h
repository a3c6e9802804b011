#pragma once
// The window's root view: the backdrop, and over it the sign-in page while
// nobody is signed in, otherwise the screen the navigation names. It follows
// the account and the navigation: signing in or out, or moving to another
// screen, swaps what it shows. The editor screen is kept while its identity
// (the design's id, or the new design's template) stays the same.

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "navegacion/navegacion.h"
#include "cuenta/cuenta.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {

class ConectarWeb;
class EditorVista;
class AgenciaWeb;
class InicioWeb;
class ServidoresWeb;

class Raiz {
public:
    Raiz(std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav);
    ~Raiz();
    Raiz(const Raiz&) = delete;
    Raiz& operator=(const Raiz&) = delete;

    GtkWidget* widget() const { return comoG<GtkWidget>(capas_.get()); }
    // Whether the sign-in page is what the window shows.
    bool muestraConectar() const { return conectar_ != nullptr; }
    // The editor screen when it is the one shown.
    const EditorVista* editor() const { return editor_.get(); }

private:
    void mostrarPantalla();
    // What the window should show now: "conectar", "editor:" + identity, or
    // the name of another screen.
    std::string pantallaDeseada() const;
    void quitarPantalla();

    std::shared_ptr<Cuenta> cuenta_;
    std::shared_ptr<Navegacion> nav_;
    Ref<GtkOverlay> capas_;
    GtkWidget* pantalla_ = nullptr;  // the overlay owns it
    std::string mostrada_;
    std::unique_ptr<ConectarWeb> conectar_;
    std::unique_ptr<EditorVista> editor_;
    std::unique_ptr<InicioWeb> inicio_;
    std::unique_ptr<AgenciaWeb> agencia_;
    std::unique_ptr<ServidoresWeb> servidores_;
    Cuenta::Suscripcion suscripcion_;
    Navegacion::Suscripcion suscripcionNav_;
};

}  // namespace sorvenia
