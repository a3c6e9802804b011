#pragma once
// An image file the user picks from the computer for an <img> of the design:
// read whole (up to a limit, since it is stored inside the design as a data
// URL) and accepted only when its first bytes say it is a picture the page
// can show. The file's name or extension is never trusted.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "plataforma/resultado.h"

namespace sorvenia::ImagenElegida {

// Larger files would make every save of the design carry them.
inline constexpr std::size_t limiteBytes = 15 * 1024 * 1024;

// "image/png", "image/jpeg", "image/gif", "image/webp" or "image/svg+xml"
// from the file's content; nothing for anything else.
std::optional<std::string> tipo(std::string_view bytes);

// The "data:<tipo>;base64,…" URL of the bytes, or the sentence for the user.
Resultado<std::string> urlDatos(std::string_view bytes);

// Reads the file (never more than the limit and one byte) and makes its URL.
Resultado<std::string> leer(const std::filesystem::path& ruta);

}  // namespace sorvenia::ImagenElegida
