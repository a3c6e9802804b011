#pragma once
// A local AI tool's icon as a picture for the pages.
//
// On the Mac the icon is that of the tool's desktop application. The
// command-line tools ship no picture of their own on Linux, so the icon is
// the one a desktop application of the tool installs into the hicolor icon
// theme at 64 × 64 pixels, looked up by these names, in this order (the
// order of the Mac's application bundles):
//   claude: "claude", "claude-desktop"
//   codex:  "chatgpt", "codex"
//   gemini: "gemini", "google-chrome" (Chrome's package installs one)
// in "icons/hicolor/64x64/apps/<name>.png" under $XDG_DATA_HOME (else
// ~/.local/share), then under each folder of $XDG_DATA_DIRS (else
// /usr/local/share and /usr/share). Without one the pages show no icon.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ias/ia.h"

namespace sorvenia::IAsLocales {

// "data:image/png;base64," and the Base64 text of the PNG file, without line
// breaks; nothing when no such file exists. Only a readable PNG file of
// 64 × 64 pixels (by its header) and at most 1 MiB counts. Looks at the disk
// at each call.
std::optional<std::string> icono(IA::Tipo tipo);

namespace detalle {
// The icon-theme names looked up for a tool, in order.
std::vector<std::string> nombresDeIcono(IA::Tipo tipo);
// The data folders searched, in order, from the environment now.
std::vector<std::filesystem::path> carpetasDeDatos();
// icono() over the given data folders.
std::optional<std::string> iconoEn(IA::Tipo tipo, const std::vector<std::filesystem::path>& carpetas);
}  // namespace detalle

}  // namespace sorvenia::IAsLocales
