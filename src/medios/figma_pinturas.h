#pragma once
// Figma paints and colours as CSS: a node's "fills" become one CSS background
// value, a Figma colour a CSS colour text. Pure: every value comes from the
// Figma REST API and is untrusted, so numbers are checked and clamped and no
// text of the answer reaches the CSS.

#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace sorvenia::Figma {

// A JSON number as a double; anything else (null, a string, a missing key
// passed as null) is nothing. Infinities come through as they are.
std::optional<double> num(const nlohmann::json& valor);

// One Figma colour ({"r","g","b","a"} in 0..1) as CSS: "#rrggbb" when the
// alpha (opacidad × "a") is at least 0.999, else "rgba(R,G,B,0.500)".
// Anything but an object gives "transparent". Channels are clamped to 0..255
// and the alpha to 0..1; the text never depends on the process locale.
std::string color(const nlohmann::json& c, double opacidad);

// A list of paints as one CSS background value, the last paint first (it is
// the topmost); nothing when no paint gives a layer. A lone solid colour is
// the plain colour. `imagenes` maps an image fill's "imageRef" to its data:
// address; a reference missing from it, or an address that is not a plain
// data: or https: address, gives no layer.
std::optional<std::string> relleno(const nlohmann::json& pinturas, const std::map<std::string, std::string>& imagenes);

}  // namespace sorvenia::Figma
