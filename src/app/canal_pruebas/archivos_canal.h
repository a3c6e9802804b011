#pragma once
// The files of the test channel's folder: requests are read as UTF-8 text
// and deleted when taken; answers are replaced atomically so a harness that
// polls never reads half a file. Every failure is ignored: the harness then
// sees no answer.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sorvenia::CanalPruebas {

// The path of `nombre` in the channel's folder.
std::filesystem::path enCarpeta(std::string_view nombre);

// The file's text; nothing when it is absent, unreadable or not UTF-8.
std::optional<std::string> leerPeticion(const std::filesystem::path& archivo);

void borrar(const std::filesystem::path& archivo);

// A temporary file, then a rename over `archivo`.
void escribirAtomico(const std::filesystem::path& archivo, std::string_view bytes);

// Written in place (the harness reads until it parses).
void escribirDirecto(const std::filesystem::path& archivo, std::string_view bytes);

}  // namespace sorvenia::CanalPruebas
