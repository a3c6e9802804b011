#pragma once
// Small ASCII text helpers shared by both programs and the local services:
// URL percent-encoding and case folding that never look at the locale.

#include <string>
#include <string_view>

namespace sorvenia {

// Every byte but the unreserved ones (letters, digits, "-", ".", "_", "~"),
// and "/" too unless `dejarBarras`, as "%XX" with upper-case digits.
std::string codificarURL(std::string_view texto, bool dejarBarras = false);

// The value of one hexadecimal digit, or -1.
int valorHex(char c);

// "A" to "Z" lowered; every other byte (UTF-8 included) left as it is.
std::string enMinusculas(std::string_view texto);

}  // namespace sorvenia
