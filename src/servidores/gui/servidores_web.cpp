#include "servidores/gui/servidores_web.h"

#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/recursos.h"
#include "servidores/gui/servidores_modelo.h"

namespace sorvenia {
namespace {

std::unique_ptr<WebVista> crearVista(std::weak_ptr<ServidoresModelo> modelo) {
    OpcionesWebVista opciones;
    opciones.inspeccionable = true;  // in every build
    auto vista = std::make_unique<WebVista>("servidores", opciones);
    vista->alMensaje([modelo](const nlohmann::json& mensaje) {
        if (const auto m = modelo.lock()) m->recibir(mensaje);
    });
    CanalPruebas::registrar("servidores", vista->vistaWeb());
    const GdkRGBA transparente{0.0F, 0.0F, 0.0F, 0.0F};
    webkit_web_view_set_background_color(vista->vistaWeb(), &transparente);
    gtk_widget_set_hexpand(vista->widget(), TRUE);
    gtk_widget_set_vexpand(vista->widget(), TRUE);
    return vista;
}

void alApagar(GApplication*, gpointer datos) { static_cast<ServidoresModelo*>(datos)->cerrarTodo(); }

}  // namespace

ServidoresWeb::ServidoresWeb(std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav)
    : modelo_(std::make_shared<ServidoresModelo>()), vista_(crearVista(modelo_)) {
    modelo_->fijarCuenta(cuenta);
    modelo_->fijarNav(nav);
    modelo_->fijarWeb(vista_.get());
    // Quitting ends the terminals even if the window outlives the loop.
    if (GApplication* app = g_application_get_default())
        alSalir_ = g_signal_connect(app, "shutdown", G_CALLBACK(alApagar), modelo_.get());
    // A missing folder leaves the view blank, and says nothing.
    if (const auto editor = Recursos::ruta("editor"))
        vista_->cargarPagina(*editor / "servidores" / "servidores.html", *editor);
}

ServidoresWeb::~ServidoresWeb() {
    if (GApplication* app = g_application_get_default(); app != nullptr && alSalir_ != 0)
        g_signal_handler_disconnect(app, alSalir_);
    modelo_->cerrarTodo();
    modelo_->fijarWeb(nullptr);
}

GtkWidget* ServidoresWeb::widget() const { return vista_->widget(); }

}  // namespace sorvenia
