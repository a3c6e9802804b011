#pragma once
// Files only the user may read: briefs, agent configurations with secrets.

#include <filesystem>
#include <string_view>

#include "plataforma/resultado.h"

namespace sorvenia {

// Writes `bytes` to `fichero` atomically (a new file beside it, mode 0600,
// then renamed over it), so a reader sees the old whole file or the new one
// and no other user ever sees the contents. On failure nothing is left
// beside it; the Spanish sentence names the file.
Hecho escribirPrivado(const std::filesystem::path& fichero, std::string_view bytes);

}  // namespace sorvenia
