#pragma once
// The house design brief: the system text every local AI tool gets with a
// design turn, and the "encargo" design guide of the hub.

#include <filesystem>
#include <optional>
#include <string>

namespace sorvenia::IAsLocales {

// The text of "skills/tarvel-sorvenia/encargo.md" among the resources, read
// once per run; a one-line fallback when it is missing or not UTF-8.
const std::string& sistema();

namespace detalle {
// What sistema() reads, from the given file.
std::string leerSistema(const std::optional<std::filesystem::path>& fichero);
}  // namespace detalle

}  // namespace sorvenia::IAsLocales
