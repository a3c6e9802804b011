#pragma once
// The notice about a settings file that could not be read: it was moved
// aside (Preferencias::tomarApartado) and the application starts from empty
// settings, which also signs the customer out. Saying so, and where the old
// file is, keeps that from looking like a silent sign-out.

#include <gtk/gtk.h>

#include "plataforma/preferencias.h"
#include "plataforma/tarea.h"

namespace sorvenia {

// Shows the alert over `ventana` when `preferencias` moved an unreadable file
// aside and nobody has told the user yet. True when it was shown. Main thread.
Tarea<bool> avisarPreferenciasApartadas(GtkWindow* ventana, Preferencias& preferencias);

}  // namespace sorvenia
