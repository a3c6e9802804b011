#pragma once
// Writing what a design exports (a picture, a page, a whole website) into
// the place the user chose. Nothing appears under the chosen name until it
// is complete: files and new folders are written under a temporary name
// beside it and renamed at the end, so a failed or cancelled export leaves
// nothing half-written behind.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plataforma/resultado.h"

namespace sorvenia::Exportacion {

// Writes `bytes` as `destino` (replacing a file of that name) through a
// temporary file beside it. On failure nothing new is left there.
Hecho escribirArchivo(const std::filesystem::path& destino, std::string_view bytes);

struct Web {
    std::filesystem::path carpeta;
    int escritas = 0;  // pages that reached the folder
    int total = 0;     // pages asked for
};

// Writes the site's pages into `carpeta`, and the scene videos and posters
// they use (from the scene folder of design `doc`) into its "escenas". A
// folder that does not exist yet is built whole under a temporary name and
// renamed at the end; in one that exists, each page replaces its namesake
// and other files stay.
Web escribirWeb(const std::filesystem::path& carpeta, const std::vector<std::pair<std::string, std::string>>& archivos,
                const std::optional<std::string>& doc);

// What the user is told: "Web exportada: 3 páginas en Mi web", "Web
// exportada: 2 de 3 páginas en Mi web", or, when no page was written, that
// the web could not be exported.
std::string aviso(const Web& web);

// Where export choosers start: the user's documents folder when there is
// one, else the home folder.
std::filesystem::path carpetaInicial();

}  // namespace sorvenia::Exportacion
