#pragma once
// Answering the application's modal window from the test channel:
//   "panel.elegir" — a file chooser: "cancelar" cancels it; an absolute path
//     selects that file and accepts it; any other text accepts its current
//     choice. "panel.hecho" then holds "cancelado", the
//     chosen path, or "(sin url)", and a line feed.
//   "boton.pulsar" — any other modal window (an alert): "boton.hecho" gets
//     {"textos": [...], "botones": [...]}; then the button whose title is
//     exactly the request is pressed ("?" presses nothing).
// A request waits in the folder until the right kind of window is shown.

#include <gtk/gtk.h>

#include <nlohmann/json.hpp>

#include <vector>

namespace sorvenia::CanalPruebas {

void mirarPanel();
void mirarBoton();

// The texts and buttons of a window's content, depth first, each widget
// before its children. A button's own label is its title, not a text.
struct ContenidoAlerta {
    std::vector<std::string> textos;
    std::vector<GtkWidget*> botones;  // not owned: valid while the window is
    nlohmann::json comoJSON() const;
};
ContenidoAlerta recorrer(GtkWidget* raiz);

}  // namespace sorvenia::CanalPruebas
