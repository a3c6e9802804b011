#pragma once
// Small file helpers for the AI client tests: the program's home folder is
// its own (ias/aislado.h), and each test starts with it empty.

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "comun/conexion_tarvel.h"

namespace sorvenia::prueba {

inline std::filesystem::path enCasa(const std::string& relativa) { return ConexionTarvel::casa() / relativa; }

inline void escribirFichero(const std::filesystem::path& ruta, const std::string& bytes) {
    std::filesystem::create_directories(ruta.parent_path());
    std::ofstream(ruta, std::ios::binary) << bytes;
}

inline std::string leerFichero(const std::filesystem::path& ruta) {
    std::ifstream f(ruta, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline unsigned modo(const std::filesystem::path& ruta) {
    struct stat st {};
    ::stat(ruta.c_str(), &st);
    return st.st_mode & 07777;
}

inline void vaciarCasa() {
    for (const auto& e : std::filesystem::directory_iterator(ConexionTarvel::casa())) std::filesystem::remove_all(e);
}

}  // namespace sorvenia::prueba
