#include "centro/gui/aparcamiento.h"

#include <algorithm>

#include "centro/trabajos.h"
#include "plataforma/objeto_g.h"
#include "plataforma/gui/soltar_widget.h"

namespace sorvenia {

Aparcamiento::Aparcamiento() : fijo_(comoG<GtkFixed>(gtk_fixed_new())) {
    anfitrion_.alojar(comoG<GtkWidget>(fijo_));
    anfitrion_.dimensionar(ancho_, alto_);
}

void Aparcamiento::aparcar(GtkWidget* web, int ancho, int alto) {
    ancho = std::max(ancho, 900);
    alto = std::max(alto, 600);
    // Growing only: pages parked earlier keep their own size.
    ancho_ = std::max(ancho_, ancho);
    alto_ = std::max(alto_, alto);

    const auto propia = Ref<GtkWidget>::compartir(web);  // alive between the two parents
    soltarDeSuPadre(web);
    gtk_widget_set_size_request(web, ancho, alto);
    gtk_fixed_put(fijo_, web, 0, 0);
    anfitrion_.dimensionar(ancho_, alto_);
}

void Trabajos::aparcar(GtkWidget* web, int ancho, int alto) {
    if (web == nullptr) return;
    if (!ventana_) ventana_ = std::make_shared<Aparcamiento>();
    ventana_->aparcar(web, ancho, alto);
}

}  // namespace sorvenia
