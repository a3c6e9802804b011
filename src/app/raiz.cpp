#include "app/raiz.h"

#include "app/fondo.h"
#include "cuenta/conectar_web.h"

namespace sorvenia {
namespace {

// The signed-in screens come with the navigation model; until then an empty
// screen over the backdrop.
GtkWidget* pantallaConectado() {
    GtkWidget* caja = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_name(caja, "pantalla-conectado");
    return caja;
}

}  // namespace

Raiz::Raiz(std::shared_ptr<Cuenta> cuenta)
    : cuenta_(std::move(cuenta)), capas_(Ref<GtkOverlay>::adoptar(comoG<GtkOverlay>(gtk_overlay_new()))) {
    gtk_overlay_set_child(capas_.get(), crearFondo());
    suscripcion_ = cuenta_->observar([this](Cuenta::Cambio cambio) {
        if (cambio == Cuenta::Cambio::cliente) mostrarPantalla();
    });
    mostrarPantalla();
}

Raiz::~Raiz() = default;

void Raiz::mostrarPantalla() {
    const bool conectado = cuenta_->cliente().has_value();
    if (pantalla_ != nullptr && conectado == !muestraConectar()) return;  // already the right one
    if (pantalla_ != nullptr) gtk_overlay_remove_overlay(capas_.get(), pantalla_);
    conectar_.reset();
    if (conectado) {
        pantalla_ = pantallaConectado();
    } else {
        conectar_ = std::make_unique<ConectarWeb>(cuenta_);
        pantalla_ = conectar_->widget();
    }
    gtk_overlay_add_overlay(capas_.get(), pantalla_);
}

}  // namespace sorvenia
