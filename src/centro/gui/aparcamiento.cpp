#include "centro/gui/aparcamiento.h"

#include <algorithm>

#include "plataforma/objeto_g.h"
#include "plataforma/gui/soltar_widget.h"

namespace sorvenia {

Aparcamiento& Aparcamiento::compartido() {
    // Never destroyed, like the registry that keeps the parked editors: their
    // pages must not be torn down after the toolkit has gone at exit.
    static Aparcamiento* ventana = new Aparcamiento();
    return *ventana;
}

Aparcamiento::Aparcamiento() : fijo_(comoG<GtkFixed>(gtk_fixed_new())) {
    anfitrion_.alojar(comoG<GtkWidget>(fijo_));
    anfitrion_.dimensionar(ancho_, alto_);
}

void Aparcamiento::aparcar(GtkWidget* web, int ancho, int alto) {
    if (web == nullptr) return;
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

}  // namespace sorvenia
