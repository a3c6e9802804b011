#include "pantallas/gui/agencia_web.h"

#include "pantallas/gui/agencia_modelo.h"
#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace {

std::unique_ptr<WebVista> crearVista(std::weak_ptr<AgenciaModelo> modelo) {
    OpcionesWebVista opciones;
    opciones.inspeccionable = true;  // the agency page, in every build
    auto vista = std::make_unique<WebVista>("agencia", opciones);
    vista->alMensaje([modelo](const nlohmann::json& mensaje) {
        if (const auto m = modelo.lock()) m->recibir(mensaje);
    });
    CanalPruebas::registrar("agencia", vista->vistaWeb());
    // The page's own background shows through; the window's backdrop is
    // behind it.
    const GdkRGBA transparente{0.0F, 0.0F, 0.0F, 0.0F};
    webkit_web_view_set_background_color(vista->vistaWeb(), &transparente);
    gtk_widget_set_hexpand(vista->widget(), TRUE);
    gtk_widget_set_vexpand(vista->widget(), TRUE);
    return vista;
}

}  // namespace

AgenciaWeb::AgenciaWeb(std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav, FicheroAgencia fichero)
    : modelo_(std::make_shared<AgenciaModelo>(std::move(fichero))), vista_(crearVista(modelo_)) {
    modelo_->fijarCuenta(cuenta);
    modelo_->fijarNav(nav);
    modelo_->fijarWeb(vista_.get());
    const std::weak_ptr<AgenciaModelo> debil = modelo_;
    suscripcionCuenta_ = cuenta->observar([debil](Cuenta::Cambio cambio) {
        if (cambio != Cuenta::Cambio::disenos) return;
        // From the main loop, once the account has finished its change.
        enPrincipal([debil] {
            if (const auto m = debil.lock()) m->enviarDisenos();
        });
    });
    suscripcionTrabajos_ = Trabajos::compartido().observar([debil] {
        if (const auto m = debil.lock()) m->enviarTrabajos();
    });
    // A missing folder leaves the view blank, and says nothing.
    if (const auto editor = Recursos::ruta("editor"))
        vista_->cargarPagina(*editor / "agencia" / "agencia.html", *editor);
}

AgenciaWeb::~AgenciaWeb() {
    modelo_->fijarWeb(nullptr);
    modelo_->alSalir();
}

GtkWidget* AgenciaWeb::widget() const { return vista_->widget(); }

}  // namespace sorvenia
