#pragma once
// The log of an app's local run, and the decoding of its output as it comes.

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace sorvenia {

// The latest lines of the install and of the server's output, oldest first.
class RegistroEjecucion {
public:
    static constexpr std::size_t maximoLineas = 300;

    // Splits `texto` at "\n" and appends the non-empty pieces; blank lines
    // never enter the log. Beyond maximoLineas the oldest lines go.
    void anotar(std::string_view texto);
    // The last `n` lines (all of them when there are fewer) joined with
    // "\n", without a line feed at the end.
    std::string ultimas(std::size_t n) const;
    void vaciar() { lineas_.clear(); }
    std::size_t tamano() const { return lineas_.size(); }

private:
    std::deque<std::string> lineas_;
};

// Decodes a byte stream chunk by chunk as UTF-8: a character whose bytes are
// split between two chunks is held back and decoded whole with the next one;
// other invalid bytes become U+FFFD.
class DecodificadorUtf8 {
public:
    std::string anadir(std::string_view bytes);
    // What is held back at the end of the stream, repaired.
    std::string terminar();

private:
    std::string pendiente_;
};

}  // namespace sorvenia
