#include "pantallas/gui/inicio_web.h"

#include "plataforma/gui/canal_pruebas.h"
#include "pantallas/gui/inicio_modelo.h"
#include "plataforma/preferencias.h"
#include "plataforma/recursos.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

std::unique_ptr<WebVista> crearVista(std::weak_ptr<InicioModelo> modelo) {
    OpcionesWebVista opciones;
    opciones.inspeccionable = true;  // the home page, in every build
    auto vista = std::make_unique<WebVista>("inicio", opciones);
    vista->alMensaje([modelo](const nlohmann::json& mensaje) {
        if (const auto m = modelo.lock()) m->recibir(mensaje);
    });
    CanalPruebas::registrar("inicio", vista->vistaWeb());
    // The page's own background shows through; the window's backdrop is
    // behind it.
    const GdkRGBA transparente{0.0F, 0.0F, 0.0F, 0.0F};
    webkit_web_view_set_background_color(vista->vistaWeb(), &transparente);
    gtk_widget_set_hexpand(vista->widget(), TRUE);
    gtk_widget_set_vexpand(vista->widget(), TRUE);
    return vista;
}

// A customer without designs gets the welcome design, once per user of
// this computer, whoever signs in; never after a failed refresh, whose
// empty list says nothing. The flag is written before the editor opens, so
// leaving the design unsaved does not bring it back.
void bienvenida(const Cuenta& cuenta, Navegacion& nav) {
    auto& preferencias = Preferencias::estandar();
    if (!cuenta.disenos().empty() || cuenta.error() || preferencias.booleano("bienvenidaCreada")) return;
    preferencias.fijarBooleano("bienvenidaCreada", true);
    nav.fijarPantalla(Navegacion::Pantalla::editor(std::nullopt, Plantilla::bienvenida()));
}

}  // namespace

InicioWeb::InicioWeb(std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav)
    : modelo_(std::make_shared<InicioModelo>()), vista_(crearVista(modelo_)) {
    modelo_->fijarCuenta(cuenta);
    modelo_->fijarNav(nav);
    modelo_->fijarWeb(vista_.get());
    const std::weak_ptr<InicioModelo> debil = modelo_;
    suscripcionCuenta_ = cuenta->observar([debil](Cuenta::Cambio cambio) {
        if (cambio != Cuenta::Cambio::disenos && cambio != Cuenta::Cambio::error) return;
        // From the main loop, once the account has finished its change.
        enPrincipal([debil] {
            if (const auto m = debil.lock()) m->enviar();
        });
    });
    suscripcionNav_ = nav->observar([debil, navDebil = std::weak_ptr<Navegacion>(nav)](Navegacion::Cambio cambio) {
        const auto m = debil.lock();
        const auto n = navDebil.lock();
        if (!m || !n) return;
        // A sheet that closes may have changed the integrations or the tools.
        if ((cambio == Navegacion::Cambio::ajustes && !n->ajustes()) ||
            (cambio == Navegacion::Cambio::agentes && !n->agentes()))
            m->enviar();
    });
    suscripcionTrabajos_ = Trabajos::compartido().observar([debil] {
        if (const auto m = debil.lock()) m->enviarTrabajos();
    });
    // A missing folder leaves the view blank, and says nothing.
    if (const auto editor = Recursos::ruta("editor")) vista_->cargarPagina(*editor / "inicio" / "inicio.html", *editor);
    lanzar(alMostrar(modelo_, cuenta, nav));
}

InicioWeb::~InicioWeb() { modelo_->fijarWeb(nullptr); }

GtkWidget* InicioWeb::widget() const { return vista_->widget(); }

Tarea<void> InicioWeb::alMostrar(std::weak_ptr<InicioModelo> modelo, std::weak_ptr<Cuenta> cuenta,
                                 std::weak_ptr<Navegacion> nav) {
    // The refresh runs to its end even when the screen goes meanwhile:
    // cutting it short would leave its cancellation as the account's error.
    if (const auto c = cuenta.lock()) co_await c->refrescar();
    const auto m = modelo.lock();
    const auto c = cuenta.lock();
    const auto n = nav.lock();
    if (!m || m->web() == nullptr || !c || !n) co_return;
    m->enviar();
    m->mirarActualizacion();
    bienvenida(*c, *n);
}

}  // namespace sorvenia
