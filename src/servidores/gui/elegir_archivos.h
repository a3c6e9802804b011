#pragma once
// The desktop's side of the file browser: the panel that chooses what to
// upload (the platform's chooser), and showing a downloaded item in the
// file manager.

#include <gtk/gtk.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plataforma/gui/mostrar_en_carpeta.h"
#include "plataforma/tarea.h"

namespace sorvenia {

// The files the user chooses (several allowed) in a native panel with the
// button "Subir" and `mensaje` as its title; empty when cancelled. In the
// test build, a list of paths written to "subir.json" in the test channel's
// folder is taken (and removed) instead of showing the panel.
Tarea<std::vector<std::string>> elegirArchivos(GtkWidget* padre, std::string mensaje);

}  // namespace sorvenia
