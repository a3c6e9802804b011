#pragma once
// The colours of the native parts of the interface and the two typefaces the
// application ships ("editor/fuentes/inter.woff2" and
// "editor/fuentes/jetbrains-mono.woff2" in the resources).

#include <gdk/gdk.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sorvenia::Tema {

// The window's background: pure black.
const GdkRGBA& fondo();
// Near-black panels: 2 % white.
const GdkRGBA& panel();
// Text: a soft white.
const GdkRGBA& tinta();
// Hairlines: 16.5 % white.
const GdkRGBA& linea2();

// A colour as CSS text, for the style sheets of native widgets.
std::string css(const GdkRGBA& color);

// Adds `hoja` to the default display's styles, above the theme's, the first
// time a given `clave` comes; later calls with that key do nothing, so a
// widget can install its looks each time it is built. Nothing without a
// display.
void instalarHoja(const std::string& clave, const std::string& hoja);

// The shipped font files, in registration order. A missing file is left out.
std::vector<std::filesystem::path> archivosFuentes(const std::optional<std::filesystem::path>& recursos);

// Makes the shipped typefaces available to this process only (fontconfig's
// application fonts), so native text can use them. A missing or unreadable
// file is skipped without a word. Call once at launch, on the main thread,
// before the window is made. Gives how many files were registered.
int registrarFuentes();

}  // namespace sorvenia::Tema
