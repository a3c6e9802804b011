#include "editor/escenas.h"

#include "plataforma/carpetas.h"

namespace sorvenia::Escenas {

std::filesystem::path raiz() { return Carpetas::aplicacion() / "escenas"; }

std::filesystem::path carpeta(const std::optional<std::string>& doc) {
    std::string nombre;
    for (char c : doc.value_or(""))
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-')
            if (nombre.size() < 64) nombre += c;
    return raiz() / (nombre.empty() ? "sin-guardar" : nombre);
}

}  // namespace sorvenia::Escenas
