#pragma once
// An image fill's downloaded bytes made small enough to sit inside a page.

#include <optional>
#include <string>
#include <string_view>

namespace sorvenia::Figma {

// The longest side an image keeps inside a page.
inline constexpr int ladoMaximo = 1600;

// The image (PNG, JPEG, GIF or WebP bytes) as a data: address, its longer
// side reduced to `ladoMaximo` pixels when larger: PNG when it has
// transparency, else JPEG. Nothing when the bytes are no such image or
// declare more pixels than can be decoded safely. Safe off the main thread.
std::optional<std::string> reducir(std::string_view bytes);

}  // namespace sorvenia::Figma
