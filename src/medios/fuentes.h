#pragma once
// The user's own fonts: files added once and used in every design. They live
// in one folder ("fuentes" in the application's data folder) with an index,
// "fuentes.json", in the order they were added. Pages name a font file as
// "fuente://local/<file>"; before a design leaves the application (render,
// export) those references become data URIs.
//
// File work only, synchronous; the family, weight and style come from the
// font file itself (FreeType).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "medios/indice_fuentes.h"

namespace sorvenia::Fuentes {

// The folder, made on use.
std::filesystem::path carpeta();

// The installed fonts, in index order; a broken index is an empty library.
std::vector<Fuente> lista();
// lista() with the five keys.
nlohmann::json json();

// What one font file says of itself.
struct Datos {
    std::string familia;
    std::string peso;
    std::string estilo;
};
// Nothing when the file holds no usable font.
std::optional<Datos> leer(const std::filesystem::path& archivo);

// Adds the fonts of these files and folders; the message for the user.
std::string anadir(const std::vector<std::filesystem::path>& rutas);
// Deletes every font of the family (exact name), files and entries.
void borrarFamilia(const std::string& familia);
// Every "fuente://local/<file>" of an installed file as a data URI.
std::string incrustar(const std::string& html);

// The bytes of the file a "fuente:" URL names (its last path component);
// nothing for an invalid name or anything but a plain file in the folder (a
// symbolic link there is not followed).
std::optional<std::string> servir(std::string_view url);

}  // namespace sorvenia::Fuentes
