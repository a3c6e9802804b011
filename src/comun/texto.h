#pragma once
// Small ASCII text helpers shared by both programs and the local services:
// URL percent-encoding, case folding and dates that never look at the locale.

#include <chrono>
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

// The moment in UTC to the second, as ISO 8601: "2025-03-01T09:30:00Z".
std::string fechaISO(std::chrono::system_clock::time_point instante);

}  // namespace sorvenia
