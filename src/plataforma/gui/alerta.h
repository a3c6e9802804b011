#pragma once
// The platform's alert (the Mac's NSAlert run modally), awaited instead of
// blocking: a modal GtkMessageDialog with a message, an informative text and
// buttons.
//
// Only its buttons end it: Escape, the window's close button and the window
// manager's close do nothing (a question whose answer deletes something must
// not be answered by a stray key). It also ends when it is destroyed (its
// parent was destroyed, the application quit); then there is no answer.
//
// The first button is the default (Return chooses it) and stands at the
// trailing edge, as on the Mac and in GNOME; the buttons appear in the
// window from the last to the first. Their labels are shown as written
// (no "_" mnemonics), so the test channel's "boton.pulsar" finds each one by
// its exact title.

#include <gtk/gtk.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "plataforma/tarea.h"

namespace sorvenia {

// Shows the alert over `padre` (may be null) and gives the index in
// `botones` of the button pressed, or nothing when the alert ended another
// way. A cancellation of the awaiting task closes the alert and ends the
// wait with TareaCancelada. Main thread only.
Tarea<std::optional<std::size_t>> alerta(GtkWindow* padre, std::string mensaje, std::string informativo,
                                         std::vector<std::string> botones);

}  // namespace sorvenia
