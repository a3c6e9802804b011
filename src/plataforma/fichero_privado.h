#pragma once
// Files only the user may read, written whole: preferences, briefs, agent
// configurations with secrets, the connection file.

#include <sys/stat.h>

#include <filesystem>
#include <string_view>

#include "plataforma/resultado.h"

namespace sorvenia {

// Writes `bytes` to `fichero` atomically (a new file beside it, mode 0600,
// then renamed over it), so a reader sees the old whole file or the new one
// and no other user ever sees the contents. On failure nothing is left
// beside it; the Spanish sentence names the file.
Hecho escribirPrivado(const std::filesystem::path& fichero, std::string_view bytes);

// The same, and durable: the contents and the rename are on disk before it
// returns, so a crash right after cannot leave an empty or old file behind.
// Gives the new file's status as of the rename, which a caller watching the
// file compares to tell its own version from one someone else wrote later.
Resultado<struct stat> escribirPrivadoDuradero(const std::filesystem::path& fichero, std::string_view bytes);

// A new name beside `destino` for a file written whole and then renamed over
// it (exports, recordings): hidden while it is being written, and its random
// end keeps two writers to one place apart.
std::filesystem::path temporalJunto(const std::filesystem::path& destino);

}  // namespace sorvenia
