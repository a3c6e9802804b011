// The header lines of an HTTP answer, as the server sends them, through the
// reader that keeps the final answer's headers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "plataforma/cabeceras_http.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    std::string_view resto(reinterpret_cast<const char*>(datos), tamano);
    sorvenia::LectorCabeceras lector;
    // libcurl hands the lines over one by one, each with its line ending.
    while (!resto.empty()) {
        const auto fin = resto.find('\n');
        const auto largo = fin == std::string_view::npos ? resto.size() : fin + 1;
        lector.linea(resto.substr(0, largo));
        resto.remove_prefix(largo);
    }
    for (const auto& [nombre, valor] : lector.cabeceras()) {
        if (!sorvenia::esTokenHTTP(nombre) || !sorvenia::esValorCabecera(valor)) __builtin_trap();
        if (!valor.empty() && (valor.front() == ' ' || valor.back() == ' ' || valor.front() == '\t' || valor.back() == '\t'))
            __builtin_trap();
        const auto encontrado = sorvenia::buscarCabecera(lector.cabeceras(), nombre);
        if (!encontrado || encontrado->find(valor) == std::string::npos) __builtin_trap();
    }
    return 0;
}
