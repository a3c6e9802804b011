#pragma once
// SHA-256, secure random bytes, hexadecimal and Base64 texts, random UUIDs
// (OpenSSL libcrypto). A failed random draw is a Fallo, never zeros.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plataforma/resultado.h"

namespace sorvenia {

std::array<std::uint8_t, 32> sha256(std::string_view bytes);

// Two lowercase hexadecimal digits per byte.
std::string hex(std::span<const std::uint8_t> bytes);

// `n` bytes from OpenSSL's CSPRNG.
Resultado<std::vector<std::uint8_t>> bytesAleatorios(std::size_t n);

// RFC 4648 Base64 with "=" padding and no line breaks.
std::string base64(std::span<const std::uint8_t> bytes);
// The URL-safe alphabet ("-" and "_") without padding (RFC 4648 section 5).
std::string base64url(std::span<const std::uint8_t> bytes);

// Decodes either alphabet, with full padding or none. Nothing for any other
// character (white space included), misplaced or partial padding, a length
// no encoding gives, or leftover bits that are not zero (so only the
// canonical text of each byte string is accepted).
std::optional<std::vector<std::uint8_t>> desdeBase64(std::string_view texto);

// A random (version 4) UUID in lowercase 8-4-4-4-12 form.
Resultado<std::string> uuid();

}  // namespace sorvenia
