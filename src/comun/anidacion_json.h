#pragma once
// A cheap look at how deep a JSON text nests before it is parsed: outside
// bytes nested deeper than a reader expects are refused before a recursive
// parser (or code walking its result) can exhaust the stack.

#include <cstddef>
#include <string_view>

namespace sorvenia {

// Whether `texto` opens more than `maximo` arrays and objects at once,
// counting brackets outside strings. Only meaningful for valid JSON, which
// is all that matters: anything else is refused by the parser anyway.
bool anidacionExcede(std::string_view texto, std::size_t maximo);

}  // namespace sorvenia
