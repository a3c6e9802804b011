#include "plataforma/texto_utf8.h"

#include <fstream>
#include <iterator>

#include "comun/utf8.h"

namespace sorvenia {

std::optional<std::string> leerTextoUtf8(const std::filesystem::path& fichero) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(fichero, error)) return std::nullopt;
    std::ifstream entrada(fichero, std::ios::binary);
    if (!entrada) return std::nullopt;
    std::string texto{std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
    if (entrada.bad() || repararUtf8(texto) != texto) return std::nullopt;
    return texto;
}

}  // namespace sorvenia
