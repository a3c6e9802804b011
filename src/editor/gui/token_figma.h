#pragma once
// The dialog that asks once for the user's Figma personal access token and
// keeps it as the secret of the user's connection "figma" (in the keychain,
// never in a file).

#include <gtk/gtk.h>

#include <optional>
#include <string>

#include "plataforma/tarea.h"

namespace sorvenia {

// Shows the dialog over `padre` (may be null) and gives the token the user
// saved, trimmed; nothing when the user cancels or leaves the field empty.
// The token is stored before it is given; when the keychain refuses, the
// token still serves this import and `aviso` receives why it was not kept.
// Main thread only.
Tarea<std::optional<std::string>> pedirTokenFigma(GtkWindow* padre, std::function<void(const std::string&)> aviso);

// Stores the token as the secret of the connection "figma" (made when the
// user has none, else the one of that name): nothing, or why it failed.
// Blocking: worker threads only.
std::optional<std::string> guardarTokenFigma(const std::string& token);

}  // namespace sorvenia
