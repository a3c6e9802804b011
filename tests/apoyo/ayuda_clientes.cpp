#include "ayuda_clientes.h"

namespace sorvenia::prueba {

std::filesystem::path enCasa(const std::string& relativa) { return ConexionTarvel::casa() / relativa; }

void escribirFichero(const std::filesystem::path& ruta, const std::string& bytes) {
    std::filesystem::create_directories(ruta.parent_path());
    std::ofstream(ruta, std::ios::binary) << bytes;
}

std::string leerFichero(const std::filesystem::path& ruta) {
    std::ifstream f(ruta, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

unsigned modo(const std::filesystem::path& ruta) {
    struct stat st {};
    ::stat(ruta.c_str(), &st);
    return st.st_mode & 07777;
}

void vaciarCasa() {
    for (const auto& e : std::filesystem::directory_iterator(ConexionTarvel::casa())) std::filesystem::remove_all(e);
}

}  // namespace sorvenia::prueba
