#pragma once
// Words for a POSIX shell command line.

#include <string>
#include <string_view>

namespace sorvenia {

// One shell word, in single quotes, whose value is exactly `s`.
std::string comillasShell(std::string_view s);

// A number for a command line: at most three decimals, no trailing zeros,
// "0" for infinities and NaN. Never depends on the process locale.
std::string numeroShell(double x);

}  // namespace sorvenia
