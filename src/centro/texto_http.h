#pragma once
// Small text helpers shared by the framing and the answering of the local
// MCP endpoint.

#include <string>
#include <string_view>
#include <vector>

#include "comun/texto.h"

namespace sorvenia {

// The parts of `texto` between occurrences of `separador`, leaving out
// empty parts.
std::vector<std::string_view> partir(std::string_view texto, std::string_view separador);

// `texto` without leading and trailing tabs and space separators (U+0020,
// U+00A0, U+1680, U+2000 to U+200A, U+202F, U+205F, U+3000). Line breaks
// are kept.
std::string_view recortarEspacios(std::string_view texto);


}  // namespace sorvenia
