#pragma once
// The menu bar: the application's own menu (about, settings, agents,
// sign-out, quit), "Archivo" (new designs), "Ir" (the screens) and "Ayuda"
// (tutorial, guides, support). Each item is an action of the application;
// the items that need a signed-in customer are disabled while there is none
// and follow the account.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

#include "cuenta/cuenta.h"

namespace sorvenia {

class Navegacion;

// The service's public site, home of the guides and support pages.
std::string webPublica();

class Menus {
public:
    // `salir` is what the quit item does (the window's close road).
    Menus(GtkApplication* app, std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav,
          std::function<GtkWindow*()> ventana, std::function<void()> salir);
    ~Menus();
    Menus(const Menus&) = delete;
    Menus& operator=(const Menus&) = delete;

    // Whether the application's action `nombre` can be used now.
    bool activa(const std::string& nombre) const;

private:
    struct Accion;
    void agregar(const char* nombre, bool conCuenta, std::function<void()> hacer);
    void seguirCuenta();
    Tarea<void> cerrarSesion();

    GtkApplication* app_;  // outlives the menus: it owns the window they serve
    std::shared_ptr<Cuenta> cuenta_;
    std::shared_ptr<Navegacion> nav_;
    std::function<GtkWindow*()> ventana_;
    std::vector<std::unique_ptr<Accion>> acciones_;
    Cuenta::Suscripcion suscripcion_;
};

}  // namespace sorvenia
