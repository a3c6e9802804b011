#pragma once
// The read-only files the application ships (pages, fonts, skills,
// templates): the `resources/` tree.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace sorvenia::Recursos {

// The resources folder, looked for once, in this order: $SORVENIA_RECURSOS
// (tests point it at a tree of their own), the build tree's copy
// (SORVENIA_RECURSOS_COMPILADOS: the sources' resources plus the files the
// build fetches, such as the fonts), the source tree the program was built
// from (SORVENIA_FUENTE + "/resources", for a build that was not
// installed), and the installed tree
// "<folder of the executable>/../share/sorvenia-tarvel/resources". The first
// that is a folder wins; nothing when none is.
std::optional<std::filesystem::path> carpeta();

// The file or folder at the relative path under carpeta(); nothing when it is
// missing, or when the path is absolute or climbs out with "..".
std::optional<std::filesystem::path> ruta(std::string_view relativa);

namespace detalle {
// The candidates of carpeta(), in order, from the variable's value (null
// when unset), the build tree's copy, the source root and the running
// executable's path; empty inputs give no candidate.
std::vector<std::filesystem::path> candidatas(const char* variable, const std::filesystem::path& compilados,
                                              const std::filesystem::path& fuente,
                                              const std::filesystem::path& ejecutable);
// The first candidate that is a folder, in canonical form.
std::optional<std::filesystem::path> primera(const std::vector<std::filesystem::path>& candidatas);
// ruta() against a given root.
std::optional<std::filesystem::path> bajo(const std::optional<std::filesystem::path>& raiz, std::string_view relativa);
}  // namespace detalle

}  // namespace sorvenia::Recursos
