#include "foto_prueba.h"

#include <fstream>

namespace sorvenia::prueba {

std::filesystem::path rutaCaptura(const std::string& nombre) {
    const std::filesystem::path carpeta = SORVENIA_CAPTURAS;
    std::filesystem::create_directories(carpeta);
    return carpeta / nombre;
}

bool guardarCaptura(const std::string& nombre, const std::vector<std::uint8_t>& bytes) {
    std::ofstream archivo(rutaCaptura(nombre), std::ios::binary | std::ios::trunc);
    archivo.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    archivo.close();
    return archivo.good();
}

}  // namespace sorvenia::prueba
