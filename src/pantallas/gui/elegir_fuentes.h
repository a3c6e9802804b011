#pragma once
// The file chooser of the font library: font files (several at once), over
// the settings sheet, awaited. The chosen paths, or nothing when the user
// cancelled.

#include <gtk/gtk.h>

#include <optional>
#include <string>
#include <vector>

#include "plataforma/tarea.h"

namespace sorvenia {

Tarea<std::optional<std::vector<std::string>>> elegirFuentes(GtkWindow* padre);

}  // namespace sorvenia
