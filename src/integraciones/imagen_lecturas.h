#pragma once
// What the image services answer: the picture's address or bytes, or the
// provider's own message. Pure, so that the fuzz build can drive it with any
// bytes; the requests are made in imagen_cliente.cpp.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorvenia::Imagenes {

// The aspect ratio fal is asked for: "16:9", "4:3", "1:1", "3:4" or "9:16"
// by width over height (a height below 1 counts as 1).
std::string aspectoFal(std::int64_t ancho, std::int64_t alto);
// The OpenAI size: landscape, portrait or square by which side is more than
// a quarter longer.
std::string tamanoOpenAI(std::int64_t ancho, std::int64_t alto);

// One answer read: the image (an https address or a "data:" URL, safe to
// put inside an HTML attribute) or, when there is none, the provider's
// message (nothing: none to pass on).
struct Lectura {
    std::optional<std::string> src;
    std::optional<std::string> mensaje;
};
Lectura leerFal(std::string_view cuerpo);
Lectura leerOpenAI(std::string_view cuerpo);
Lectura leerGemini(std::string_view cuerpo);

// "data:" + the media type (an image/… token, else "image/png") +
// ";base64," + the data, when the data is plain Base64; nothing otherwise.
std::optional<std::string> urlDatos(std::string_view tipo, std::string_view base64);

}  // namespace sorvenia::Imagenes
