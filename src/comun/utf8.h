#pragma once
// UTF-8 repair: outside bytes become valid UTF-8 text, never an error.

#include <string>
#include <string_view>

namespace sorvenia {

// Every ill-formed sequence (a maximal invalid subpart) becomes U+FFFD.
std::string repararUtf8(std::string_view bytes);

// Length of the valid UTF-8 sequence starting at bytes[0], or 0 when the
// bytes there do not start one (or it is cut short).
std::size_t longitudSecuencia(std::string_view bytes);

}  // namespace sorvenia
