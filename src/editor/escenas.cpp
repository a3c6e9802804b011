#include "editor/escenas.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "plataforma/carpetas.h"

namespace sorvenia::Escenas {
namespace {

namespace fs = std::filesystem;

bool idValido(const std::string& id) {
    return !id.empty() && id.size() <= 40 &&
           (std::islower(static_cast<unsigned char>(id[0])) != 0 ||
            std::isdigit(static_cast<unsigned char>(id[0])) != 0) &&
           std::ranges::all_of(id, [](char c) {
               return std::islower(static_cast<unsigned char>(c)) != 0 ||
                      std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-';
           });
}

}  // namespace

fs::path raiz() { return Carpetas::aplicacion() / "escenas"; }

fs::path carpeta(const std::optional<std::string>& doc) {
    std::string nombre;
    for (char c : doc.value_or(""))
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-')
            if (nombre.size() < 64) nombre += c;
    return raiz() / (nombre.empty() ? "sin-guardar" : nombre);
}

int copiar(const std::set<std::string>& ids, const std::optional<std::string>& doc, const fs::path& destino) {
    std::error_code ec;
    const fs::path escenas = destino / "escenas";
    fs::create_directories(escenas, ec);
    const fs::path origen = carpeta(doc);
    int videos = 0;
    for (const std::string& id : ids) {
        if (!idValido(id)) continue;
        for (const char* extension : {".mp4", ".jpg"}) {
            const fs::path archivo = origen / (id + extension);
            if (!fs::is_regular_file(archivo, ec)) continue;
            if (fs::copy_file(archivo, escenas / (id + extension), fs::copy_options::overwrite_existing, ec) &&
                std::string_view(extension) == ".mp4")
                ++videos;
        }
    }
    return videos;
}

}  // namespace sorvenia::Escenas
