// The user's notifications of ended jobs, through the desktop's
// notification service. GNotification goes through the running
// GApplication (and its installed .desktop file); without one, as in a
// command-line tool, nothing is shown.
#include <gio/gio.h>

#include "centro/trabajos.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {

void Trabajos::avisarConAplicacion(const Aviso& aviso) {
    GApplication* aplicacion = g_application_get_default();
    if (aplicacion == nullptr) return;
    const auto notificacion = Ref<GNotification>::adoptar(g_notification_new(aviso.titulo.c_str()));
    g_notification_set_body(notificacion.get(), aviso.cuerpo.c_str());
    // The same id replaces an earlier notification of the same job.
    g_application_send_notification(aplicacion, aviso.identificador.c_str(), notificacion.get());
}

}  // namespace sorvenia
