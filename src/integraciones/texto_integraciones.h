#pragma once
// Text helpers of the integrations: Unicode white space trimming and
// case-insensitive search, neither depending on the locale.

#include <string>
#include <string_view>

namespace sorvenia::TextoIntegraciones {

// Without Unicode white space and line breaks at both ends. Text that is not
// UTF-8 is trimmed of ASCII white space only.
std::string recortar(std::string_view texto);

// Without spaces and tabs at both ends (line breaks kept).
std::string recortarHorizontal(std::string_view texto);

// Whether `texto` holds `buscado`, both case-folded (Unicode).
bool contieneSinMayusculas(std::string_view texto, std::string_view buscado);

// The first `bytes` bytes read as UTF-8, broken sequences replaced by U+FFFD.
std::string extractoUtf8(std::string_view cuerpo, std::size_t bytes);

}  // namespace sorvenia::TextoIntegraciones
