#include "plataforma/cripto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <new>

namespace sorvenia {
namespace {

constexpr char alfabeto[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char digitos[] = "0123456789abcdef";

// The 6-bit value of a character of either alphabet, or -1.
int valorBase64(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+' || c == '-') return 62;
    if (c == '/' || c == '_') return 63;
    return -1;
}

}  // namespace

std::array<std::uint8_t, 32> sha256(std::string_view bytes) {
    std::array<std::uint8_t, 32> resumen{};
    unsigned int longitud = 0;
    // Fails only when OpenSSL cannot allocate its context.
    if (EVP_Digest(bytes.data(), bytes.size(), resumen.data(), &longitud, EVP_sha256(), nullptr) != 1 ||
        longitud != resumen.size())
        throw std::bad_alloc();
    return resumen;
}

std::string hex(std::span<const std::uint8_t> bytes) {
    std::string texto;
    texto.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        texto.push_back(digitos[b >> 4]);
        texto.push_back(digitos[b & 0x0f]);
    }
    return texto;
}

Resultado<std::vector<std::uint8_t>> bytesAleatorios(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t hecho = 0; hecho < n;) {
        int trozo = static_cast<int>(std::min<std::size_t>(n - hecho, INT_MAX));
        if (RAND_bytes(bytes.data() + hecho, trozo) != 1)
            return Fallo{"No se pudieron obtener datos aleatorios seguros del sistema.", "aleatorio"};
        hecho += static_cast<std::size_t>(trozo);
    }
    return bytes;
}

std::string base64(std::span<const std::uint8_t> bytes) {
    std::string texto;
    texto.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t v = std::uint32_t{bytes[i]} << 16 | std::uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
        texto.push_back(alfabeto[v >> 18]);
        texto.push_back(alfabeto[(v >> 12) & 63]);
        texto.push_back(alfabeto[(v >> 6) & 63]);
        texto.push_back(alfabeto[v & 63]);
    }
    if (std::size_t resto = bytes.size() - i; resto > 0) {
        std::uint32_t v = std::uint32_t{bytes[i]} << 16 | (resto == 2 ? std::uint32_t{bytes[i + 1]} << 8 : 0);
        texto.push_back(alfabeto[v >> 18]);
        texto.push_back(alfabeto[(v >> 12) & 63]);
        texto.push_back(resto == 2 ? alfabeto[(v >> 6) & 63] : '=');
        texto.push_back('=');
    }
    return texto;
}

std::string base64url(std::span<const std::uint8_t> bytes) {
    std::string texto = base64(bytes);
    while (!texto.empty() && texto.back() == '=') texto.pop_back();
    std::replace(texto.begin(), texto.end(), '+', '-');
    std::replace(texto.begin(), texto.end(), '/', '_');
    return texto;
}

std::optional<std::vector<std::uint8_t>> desdeBase64(std::string_view texto) {
    // Padding counts only as the end of a text whose length is a multiple of
    // 4; any other "=" is rejected below as a foreign character.
    if (texto.size() % 4 == 0) texto.remove_suffix(texto.ends_with("==") ? 2 : texto.ends_with('=') ? 1 : 0);
    if (texto.size() % 4 == 1) return std::nullopt;

    std::vector<std::uint8_t> bytes;
    bytes.reserve(texto.size() * 3 / 4);
    std::uint32_t acumulado = 0;
    int bits = 0;
    for (char c : texto) {
        int v = valorBase64(c);
        if (v < 0) return std::nullopt;  // garbage, white space, or "=" before the end
        acumulado = (acumulado << 6 | static_cast<std::uint32_t>(v)) & 0xffffff;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<std::uint8_t>(acumulado >> bits));
        }
    }
    // What is left (2 or 4 bits after a short final group) must be zero.
    if ((acumulado & ((1u << bits) - 1)) != 0) return std::nullopt;
    return bytes;
}

Resultado<std::string> uuid() {
    auto bytes = bytesAleatorios(16);
    if (!bytes) return bytes.fallo();
    auto& b = *bytes;
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0f) | 0x40);  // version 4
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3f) | 0x80);  // RFC 4122 variant
    std::string h = hex(b);
    return h.substr(0, 8) + '-' + h.substr(8, 4) + '-' + h.substr(12, 4) + '-' + h.substr(16, 4) + '-' + h.substr(20);
}

}  // namespace sorvenia
