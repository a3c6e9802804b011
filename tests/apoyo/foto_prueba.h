#pragma once
// Pictures the tests keep for a person to look at, all in one folder of the
// build: build/capturas/. Open them when the page or view they show changes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sorvenia::prueba {

// build/capturas/<nombre>; the folder is made when missing.
std::filesystem::path rutaCaptura(const std::string& nombre);

// Writes the image bytes to build/capturas/<nombre>; false when they could
// not be written whole.
bool guardarCaptura(const std::string& nombre, const std::vector<std::uint8_t>& bytes);

}  // namespace sorvenia::prueba
