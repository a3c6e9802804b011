#pragma once
// Reading and rewriting the configuration files of the AI clients. These
// files belong to the user and may hold other servers' secrets, so a rewrite
// keeps their permissions and their symbolic links.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sorvenia::EscrituraCliente {

// The suffix of the one-time backup beside a client's file.
inline constexpr std::string_view sufijoCopia = ".antes-sorvenia-tarvel";

// The whole file when it is a readable regular file (a link is followed);
// nothing for a missing file, a folder or a read error.
std::optional<std::string> leer(const std::filesystem::path& ruta);

// Copies the file to ruta + sufijoCopia, with its mode, when the file exists
// and no backup does yet. Throws std::runtime_error (a Spanish sentence).
void copia(const std::filesystem::path& ruta);

// Writes `bytes` atomically in place of the file: through a symbolic link to
// its target, with the old file's permissions (0600 for a new file), its
// folders created first. Throws std::runtime_error (a Spanish sentence).
void escribir(const std::filesystem::path& ruta, std::string_view bytes);

}  // namespace sorvenia::EscrituraCliente
