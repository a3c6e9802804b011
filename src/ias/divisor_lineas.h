#pragma once
// Cuts a child's standard output into lines as it arrives.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvenia {

// Only the line feed ends a line (a carriage return before it stays in the
// text); empty lines are dropped; each line is decoded whole with UTF-8
// repair, so a character whose bytes arrive in two reads is never split.
class DivisorLineas {
public:
    // Adds a read's bytes; the lines they complete go to the end of `lineas`.
    void anadir(std::string_view bytes, std::vector<std::string>& lineas);
    // At end of file: what is left after the last line feed, if anything.
    std::optional<std::string> terminar();

private:
    std::string pendiente_;
};

}  // namespace sorvenia
