#include "cuenta/gui/web_conectar.h"

#include "plataforma/gui/canal_pruebas.h"
#include "cuenta/gui/conectar_modelo.h"
#include "plataforma/recursos.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

OpcionesWebVista opciones() {
    OpcionesWebVista o;
    o.inspeccionable = true;  // the sign-in page, in every build
    return o;
}

}  // namespace

WebConectar::WebConectar(ConectarModelo& modelo)
    : modelo_(modelo), vista_(std::make_unique<WebVista>("conectar", opciones())) {
    vista_->alMensaje([this](const nlohmann::json& mensaje) { modelo_.recibir(mensaje); });
    CanalPruebas::registrar("conectar", vista_->vistaWeb());
    const GdkRGBA transparente{0.0F, 0.0F, 0.0F, 0.0F};
    webkit_web_view_set_background_color(vista_->vistaWeb(), &transparente);
    gtk_widget_set_hexpand(vista_->widget(), TRUE);
    gtk_widget_set_vexpand(vista_->widget(), TRUE);
    modelo_.fijarWeb(vista_.get());
    // A missing folder leaves the view blank, and says nothing.
    if (const auto editor = Recursos::ruta("editor"))
        vista_->cargarPagina(*editor / "conectar" / "conectar.html", *editor);
}

WebConectar::~WebConectar() { modelo_.fijarWeb(nullptr); }

GtkWidget* WebConectar::widget() const { return vista_->widget(); }

}  // namespace sorvenia
