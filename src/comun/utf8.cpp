#include "comun/utf8.h"

namespace sorvenia {
namespace {

constexpr std::string_view reemplazo = "\xEF\xBF\xBD";

unsigned char byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// How many bytes of a sequence led by `primero` are well formed so far: the
// allowed range of the second byte depends on the first (no overlongs, no
// surrogates, nothing past U+10FFFF).
std::size_t prefijoValido(std::string_view s) {
    const unsigned char primero = byte(s, 0);
    std::size_t total = 0;
    unsigned char minimo = 0x80, maximo = 0xBF;
    if (primero < 0x80) return 1;
    if (primero >= 0xC2 && primero <= 0xDF) total = 2;
    else if (primero >= 0xE0 && primero <= 0xEF) {
        total = 3;
        if (primero == 0xE0) minimo = 0xA0;
        if (primero == 0xED) maximo = 0x9F;
    } else if (primero >= 0xF0 && primero <= 0xF4) {
        total = 4;
        if (primero == 0xF0) minimo = 0x90;
        if (primero == 0xF4) maximo = 0x8F;
    } else {
        return 0;
    }
    std::size_t i = 1;
    for (; i < total && i < s.size(); ++i) {
        const unsigned char c = byte(s, i);
        const bool dentro = (i == 1) ? (c >= minimo && c <= maximo) : (c >= 0x80 && c <= 0xBF);
        if (!dentro) break;
    }
    return i == total ? total : i;  // i < total: a cut or broken sequence of i bytes
}

}  // namespace

std::size_t longitudSecuencia(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const unsigned char primero = byte(bytes, 0);
    if (primero < 0x80) return 1;
    const std::size_t n = prefijoValido(bytes);
    const std::size_t total = primero >= 0xF0 ? 4 : primero >= 0xE0 ? 3 : 2;
    return n == total ? n : 0;
}

std::string repararUtf8(std::string_view bytes) {
    std::string salida;
    salida.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::string_view resto = bytes.substr(i);
        const std::size_t valida = longitudSecuencia(resto);
        if (valida > 0) {
            salida.append(resto.substr(0, valida));
            i += valida;
        } else {
            salida.append(reemplazo);
            const std::size_t roto = prefijoValido(resto);
            i += roto > 0 ? roto : 1;
        }
    }
    return salida;
}

}  // namespace sorvenia
