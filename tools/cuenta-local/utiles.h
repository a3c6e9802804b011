#pragma once
// Small helpers of the local account service: digests, random texts, times,
// files written atomically, and the checks of paths that clients send.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "comun/texto.h"

namespace sorvenia::cuenta_local {

// Lowercase hexadecimal SHA-256.
std::string sha256Hex(std::string_view bytes);
// Unpadded base64url of the SHA-256: the sign-in challenge of a verifier.
std::string retoDe(std::string_view verificador);
// `n` random bytes as unpadded base64url, or as lowercase hexadecimal.
std::string azarUrl(std::size_t n);
std::string azarHex(std::size_t n);

// "yyyy-MM-dd HH:mm:ss" in UTC, `segundos` from now.
std::string fechaTexto(std::int64_t segundos = 0);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> leerFichero(const std::filesystem::path& ruta);
// Writes through a temporary file renamed into place, making the folders.
bool escribirFichero(const std::filesystem::path& ruta, std::string_view bytes);

// A relative path of plain segments: no absolute path, no "." or ".."
// segments, no empty segment, no backslash or NUL. `vaciaVale` lets ""
// through (the root of a folder).
bool rutaRelativaSegura(std::string_view ruta, bool vaciaVale = false);

using sorvenia::codificarURL;
// Escapes text for HTML element content and attribute values.
std::string escaparHTML(std::string_view texto);

bool esUtf8(std::string_view bytes);

}  // namespace sorvenia::cuenta_local
