#pragma once
// The application structure: the GTK application with its id (one running
// instance per id: a second start hands its URL to the first and ends), the
// account for the whole run, the delegate and the one window.

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "app/delegado.h"
#include "app/menus.h"
#include "navegacion/navegacion.h"
#include "app/ventana.h"
#include "cuenta/cuenta.h"
#include "plataforma/objeto_g.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class SorveniaTarvelApp {
public:
    // The id comes from idAplicacion(): set it first.
    SorveniaTarvelApp();
    ~SorveniaTarvelApp();
    SorveniaTarvelApp(const SorveniaTarvelApp&) = delete;
    SorveniaTarvelApp& operator=(const SorveniaTarvelApp&) = delete;

    // Runs until the window closes; the process's exit status.
    int correr(int argc, char** argv);

private:
    static void alArrancar(GApplication* app, gpointer datos);
    static void alActivar(GApplication* app, gpointer datos);
    static void alAbrir(GApplication* app, gpointer archivos, gint n, gchar* pista, gpointer datos);
    static void alApagar(GApplication* app, gpointer datos);
    static gboolean alPedirFin(gpointer datos);

    Tarea<void> crearCuenta();
    void mostrarVentana();
    void entregarEnlaces();

    Ref<GtkApplication> app_;
    Delegado delegado_;
    std::shared_ptr<Cuenta> cuenta_;
    std::shared_ptr<Navegacion> nav_ = std::make_shared<Navegacion>();
    std::unique_ptr<Ventana> ventana_;
    std::unique_ptr<Menus> menus_;
    // URLs and window requests that came before the account was ready.
    std::vector<std::string> enlacesPendientes_;
    bool ventanaPedida_ = false;
};

}  // namespace sorvenia
