#include "app/aviso_preferencias.h"

#include "plataforma/gui/alerta.h"

namespace sorvenia {

Tarea<bool> avisarPreferenciasApartadas(GtkWindow* ventana, Preferencias& preferencias) {
    const auto apartado = preferencias.tomarApartado();
    if (!apartado) co_return false;
    const std::string informativo = "El fichero de preferencias estaba dañado. Se ha guardado aparte como «" +
                                    apartado->filename().string() + "» en " + apartado->parent_path().string() +
                                    " y se empieza con los ajustes de siempre. Si tenías la sesión iniciada, "
                                    "vuelve a conectar tu cuenta.";
    (void)co_await alerta(ventana, "No se han podido leer tus preferencias", informativo, {"Aceptar"});
    co_return true;
}

}  // namespace sorvenia
