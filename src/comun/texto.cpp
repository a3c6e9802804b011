#include "comun/texto.h"

#include <ctime>

namespace sorvenia {

std::string codificarURL(std::string_view texto, bool dejarBarras) {
    static constexpr char digitos[] = "0123456789ABCDEF";
    std::string salida;
    salida.reserve(texto.size());
    for (const char c : texto) {
        const auto u = static_cast<unsigned char>(c);
        const bool libre = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || (dejarBarras && c == '/');
        if (libre) {
            salida.push_back(c);
        } else {
            salida.push_back('%');
            salida.push_back(digitos[u >> 4]);
            salida.push_back(digitos[u & 0xF]);
        }
    }
    return salida;
}

int valorHex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string enMinusculas(std::string_view texto) {
    std::string r(texto);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string fechaISO(std::chrono::system_clock::time_point instante) {
    const std::time_t segundos = std::chrono::system_clock::to_time_t(instante);
    std::tm utc{};
    gmtime_r(&segundos, &utc);
    char texto[32];
    return {texto, std::strftime(texto, sizeof texto, "%Y-%m-%dT%H:%M:%SZ", &utc)};
}

}  // namespace sorvenia
