#pragma once
// Lengths of text as the user sees it: extended grapheme clusters ("letters"),
// so that "é" written as e plus a combining accent, a flag or a family emoji
// counts as one, and a cut never splits one.

#include <cstddef>
#include <string_view>

namespace sorvenia {

// How many grapheme clusters the UTF-8 text holds. Ill-formed bytes count
// as replacement characters.
std::size_t contarLetras(std::string_view utf8);

// The longest prefix of the text that holds at most `cuantas` grapheme
// clusters, ending on a cluster boundary.
std::string_view primerasLetras(std::string_view utf8, std::size_t cuantas);

}  // namespace sorvenia
