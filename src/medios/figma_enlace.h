#pragma once
// A pasted Figma link read into what the import asks the API for: the file's
// key and, when the link points inside the file, the node id. Pure: the text
// comes from the user's clipboard.

#include <optional>
#include <string>
#include <string_view>

namespace sorvenia::Figma {

struct Enlace {
    std::string clave;
    std::optional<std::string> nodo;  // "12:34" (the link writes "12-34")
    bool operator==(const Enlace&) const = default;
};

// The link's key and node, or nothing when the text is no link to a Figma
// file: the host must end with "figma.com", the path hold "file", "design",
// "proto" or "board" followed by a key of 10 to 64 letters and digits. An
// empty or missing "node-id" leaves the whole file.
std::optional<Enlace> partir(std::string_view enlace);

// Every byte but ASCII letters and digits as "%XX": node ids ("12:34")
// travel inside the API's paths and queries.
std::string codificarId(std::string_view id);

// The sentence for a text that is no Figma link.
inline constexpr std::string_view enlaceMalo = "Eso no parece un enlace de Figma (https://www.figma.com/design/…).";

}  // namespace sorvenia::Figma
