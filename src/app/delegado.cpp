#include "app/delegado.h"

#include <gtk/gtk.h>

#include <csignal>
#include <string>

#include "plataforma/gui/tema.h"
#include "cuenta/cuenta.h"
#include "cuenta/enlace_conexion.h"

namespace sorvenia {

void Delegado::alTerminarArranque() {
    std::signal(SIGPIPE, SIG_IGN);
    Tema::registrarFuentes();
    g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
}

void Delegado::enlace(std::string_view texto) {
    if (!esURL(texto)) return;
    if (const auto cuenta = Cuenta::actual()) cuenta->recibir(std::string(texto));
}

}  // namespace sorvenia
