#pragma once
// Writing a project's text files whole: a new file beside the old one, then
// renamed over it, so an agent or editor reading it sees the old file or the
// new one, never half of each.

#include <sys/types.h>

#include <filesystem>
#include <string_view>

#include "plataforma/resultado.h"

namespace sorvenia {

// Writes `bytes` to `fichero` atomically. The file keeps the permissions of
// the file it replaces (`modo` for a new one). On failure nothing is left
// beside it; the Spanish sentence names the file and the system's reason.
Hecho escribirArchivo(const std::filesystem::path& fichero, std::string_view bytes, mode_t modo = 0644);

}  // namespace sorvenia
