#include "comun/shell.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace sorvenia {

std::string comillasShell(std::string_view s) {
    std::string resultado;
    resultado.reserve(s.size() + 2);
    resultado.push_back('\'');
    for (char c : s) {
        if (c == '\'') resultado += "'\\''";
        else resultado.push_back(c);
    }
    resultado.push_back('\'');
    return resultado;
}

std::string numeroShell(double x) {
    if (!std::isfinite(x)) return "0";
    // Past 1e15 a double has no thousandths left to round, and scaling by
    // 1000 would only add error (or overflow).
    const double r = std::fabs(x) < 1e15 ? std::round(x * 1000.0) / 1000.0 : x;
    std::array<char, 400> buffer{};
    if (std::trunc(r) == r && std::fabs(r) < 1e15) {
        auto [fin, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<std::int64_t>(r));
        return std::string(buffer.data(), fin);
    }
    // Fixed notation with three decimals, then the trailing zeros (and a
    // point left alone) go. to_chars never looks at the locale.
    auto [fin, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), r, std::chars_format::fixed, 3);
    std::string texto(buffer.data(), fin);
    while (!texto.empty() && texto.back() == '0') texto.pop_back();
    if (!texto.empty() && texto.back() == '.') texto.pop_back();
    return texto;
}

}  // namespace sorvenia
