#pragma once
// Reading a whole text file that must be UTF-8 (guides, briefs, templates).

#include <filesystem>
#include <optional>
#include <string>

namespace sorvenia {

// The file's bytes when it is a regular file (or a link to one) that can be
// read whole and is valid UTF-8; nothing otherwise.
std::optional<std::string> leerTextoUtf8(const std::filesystem::path& fichero);

}  // namespace sorvenia
