#pragma once
// The one file chooser of the application: open one or several files,
// choose a folder, or name a file to save. A modal GTK file chooser over the
// given window, awaited; the test channel answers it like any other panel
// ("panel.elegir": "cancelar" cancels, anything else accepts the current
// choice).
//
// In save mode the chooser itself asks before a typed name replaces a file
// that exists; callers that write more than the chosen name (a folder made
// inside the chosen one) ask on their own.

#include <gtk/gtk.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "plataforma/tarea.h"

namespace sorvenia {

enum class ModoEleccion { abrir, carpeta, guardar };

struct PeticionRutas {
    ModoEleccion modo = ModoEleccion::abrir;
    std::string titulo;
    std::string boton;    // the accept button's label
    bool varios = false;  // open mode: several files at once
    // Open mode: the name and the patterns ("*.ttf") of the one filter; no
    // patterns, no filter.
    std::string nombreFiltro;
    std::vector<std::string> patrones;
    // Where the chooser starts; none: GTK's own choice.
    std::optional<std::filesystem::path> carpetaInicial;
    std::string nombreSugerido;  // save mode: the proposed file name
};

// The chosen paths (at least one), or nothing when the user cancelled or
// the chooser went away unanswered. In folder mode with no folder selected
// the chooser's current folder is the choice. Main thread only; a
// cancellation of the awaiting task closes the chooser.
Tarea<std::optional<std::vector<std::filesystem::path>>> elegirRutas(GtkWindow* padre, PeticionRutas peticion);

// The window a widget sits in, or null.
GtkWindow* ventanaDe(GtkWidget* widget);

}  // namespace sorvenia
