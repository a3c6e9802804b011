#pragma once
// Showing a file in the desktop's file manager.

#include <filesystem>

namespace sorvenia {

// Asks the file manager to show `ruta` selected; failures are ignored.
void mostrarEnCarpeta(const std::filesystem::path& ruta);

}  // namespace sorvenia
