#include "app/sorvenia_tarvel_app.h"

#include <glib-unix.h>

#include <csignal>

#include "navegacion/argumentos_lanzamiento.h"
#include "app/aviso_preferencias.h"
#include "aplicaciones/proyecto_aplicacion.h"
#include "centro/centro.h"
#include "editor/gui/tienda_editor.h"
#include "ias/inicio_sesion.h"
#include "pantallas/gui/tienda_ventana.h"
#include "plataforma/argumentos.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"

namespace sorvenia {

SorveniaTarvelApp::SorveniaTarvelApp()
    : app_(Ref<GtkApplication>::adoptar(gtk_application_new(idAplicacion().c_str(), G_APPLICATION_HANDLES_OPEN))) {
    conectarSenal(app_.get(), "startup", &SorveniaTarvelApp::alArrancar, this);
    conectarSenal(app_.get(), "activate", &SorveniaTarvelApp::alActivar, this);
    conectarSenal(app_.get(), "open", &SorveniaTarvelApp::alAbrir, this);
    conectarSenal(app_.get(), "shutdown", &SorveniaTarvelApp::alApagar, this);
}

SorveniaTarvelApp::~SorveniaTarvelApp() = default;

int SorveniaTarvelApp::correr(int argc, char** argv) {
    std::vector<std::string> argumentos(argv, argv + argc);
    Argumentos::fijar(argumentos);
    // GApplication refuses options it does not know ("--nuevo"...): it gets
    // the program and the addresses handed over by the desktop only.
    std::vector<char*> suyos{argv[0]};
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]).starts_with("sorvenia-tarvel:")) suyos.push_back(argv[i]);
    suyos.push_back(nullptr);
    return g_application_run(comoG<GApplication>(app_.get()), static_cast<int>(suyos.size() - 1), suyos.data());
}

void SorveniaTarvelApp::alArrancar(GApplication* app, gpointer datos) {
    auto& self = *static_cast<SorveniaTarvelApp*>(datos);
    self.delegado_.alTerminarArranque();
    // A request to end (the session logging out, `kill`, Ctrl+C in a
    // terminal) takes the Quit item's road: the open designs are saved first.
    for (const int senal : {SIGTERM, SIGINT, SIGHUP}) g_unix_signal_add(senal, &SorveniaTarvelApp::alPedirFin, datos);
    // Kept running while the account reads its key off the main thread.
    g_application_hold(app);
    lanzar(self.crearCuenta());
}

Tarea<void> SorveniaTarvelApp::crearCuenta() {
    cuenta_ = co_await Cuenta::crear();
    entregarEnlaces();
    if (ventanaPedida_) mostrarVentana();
    g_application_release(comoG<GApplication>(app_.get()));
}

void SorveniaTarvelApp::alActivar(GApplication*, gpointer datos) {
    auto& self = *static_cast<SorveniaTarvelApp*>(datos);
    self.ventanaPedida_ = true;
    if (self.cuenta_) self.mostrarVentana();
}

void SorveniaTarvelApp::alAbrir(GApplication*, gpointer archivos, gint n, gchar*, gpointer datos) {
    auto& self = *static_cast<SorveniaTarvelApp*>(datos);
    auto* lista = static_cast<GFile**>(archivos);
    for (gint i = 0; i < n; ++i) {
        const TextoG uri(g_file_get_uri(lista[i]));
        if (uri) self.enlacesPendientes_.emplace_back(uri.get());
    }
    self.ventanaPedida_ = true;
    if (!self.cuenta_) return;  // delivered once the account exists
    self.mostrarVentana();
    self.entregarEnlaces();
}

void SorveniaTarvelApp::entregarEnlaces() {
    for (const std::string& enlace : std::exchange(enlacesPendientes_, {})) Delegado::enlace(enlace);
}

void SorveniaTarvelApp::mostrarVentana() {
    if (!ventana_) {
        ventana_ = std::make_unique<Ventana>(app_.get(), cuenta_, nav_);
        menus_ = std::make_unique<Menus>(
            app_.get(), cuenta_, nav_, [this] { return ventana_->ventana(); }, [this] { ventana_->cerrar(); });
        // The hub's server starts with the first window, so that outside AI
        // clients find the application as soon as it is on screen.
        Centro::compartido().arrancar(cuenta_, nav_);
        // The editor reaches the store window, which sits above it, through this.
        usarAbridorTienda([nav = std::weak_ptr<Navegacion>(nav_)](std::shared_ptr<Cuenta> cuenta, std::string seccion,
                                                                 std::optional<std::string> ir,
                                                                 std::function<void()> alComprar) {
            TiendaVentana::abrir(std::move(cuenta), nav, std::move(seccion), std::move(ir), std::move(alComprar));
        });
        aplicarArgumentosLanzamiento(Argumentos::todos(), cuenta_->cliente().has_value(), *nav_);
        ventana_->presentar();
        // Settings that could not be read were moved aside while the account
        // was restored: the user learns why the sign-in page is back.
        lanzar(avisarPreferenciasApartadas(ventana_->ventana(), Preferencias::estandar()));
        return;
    }
    ventana_->presentar();
}

gboolean SorveniaTarvelApp::alPedirFin(gpointer datos) {
    auto& self = *static_cast<SorveniaTarvelApp*>(datos);
    if (self.ventana_) {
        self.ventana_->cerrar();
    } else {
        g_application_quit(comoG<GApplication>(self.app_.get()));
    }
    return G_SOURCE_CONTINUE;
}

void SorveniaTarvelApp::alApagar(GApplication*, gpointer) {
    Centro::compartido().alTerminar();
    // No app project's local server outlives the application.
    ProyectoAplicacion::pararTodos();
    // A sign-in of an AI tool still waiting for the browser ends with us.
    IAsLocales::terminarInicios();
}

}  // namespace sorvenia
