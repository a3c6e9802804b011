#pragma once
// A Figma node subtree as absolutely positioned HTML with inline CSS: one
// element per visible node, vectors drawn from their SVG exports. Pure, for
// the fuzz build. The node tree is untrusted: names and texts are escaped,
// numbers are clamped, the nesting is bounded.

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace sorvenia::Figma {

// A rectangle in the document's absolute coordinates.
struct R {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const R&) const = default;
};

// The node's "absoluteBoundingBox" (each value 0 when missing; an empty box
// when the key is missing). Values that are not finite become 0, positions
// are kept within ±1,000,000 and sizes within 0..1,000,000.
R rect(const nlohmann::json& nodo);

// Whether the node is drawn from its SVG export rather than with CSS.
bool esVector(const nlohmann::json& nodo);

// "&", "<", ">" and the double quote as entities, in that order.
std::string esc(std::string_view texto);

// A number for CSS: an integral value as an integer ("12"), any other with
// two decimals and no trailing zeros ("1.5", 1.004 gives "1"). Never depends
// on the process locale; not-finite values give "0".
std::string fmt(double x);

// The HTML of one node and its subtree, positioned relative to `padre` (the
// parent's rectangle). `svgs` maps a node "id" to its SVG export's text;
// `imagenes` maps an image reference to a data: address. Every font family
// a text uses is added to `fuentes` (only letters, digits, blanks, "-", "_"
// and "." are kept of a family's name). A hidden node gives "".
std::string html(const nlohmann::json& nodo, const R& padre, const std::map<std::string, std::string>& svgs,
                 const std::map<std::string, std::string>& imagenes, std::set<std::string>& fuentes);

// The same, for one of several nodes of a page: `recursos` counts the bytes
// of pictures and vector exports the page embeds so far, across all of them.
// Past the page's budget a node keeps its box but embeds nothing more.
std::string html(const nlohmann::json& nodo, const R& padre, const std::map<std::string, std::string>& svgs,
                 const std::map<std::string, std::string>& imagenes, std::set<std::string>& fuentes,
                 std::size_t& recursos);

// The page's budget of embedded bytes.
inline constexpr std::size_t presupuestoRecursos = 64 * 1024 * 1024;

}  // namespace sorvenia::Figma
