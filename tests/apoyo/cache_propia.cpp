#include "cache_propia.h"

namespace sorvenia::prueba {

void usarCachePropia() {
    struct Cache {
        Cache() {
            std::string plantilla = (std::filesystem::temp_directory_path() / "cache-prueba-XXXXXX").string();
            if (mkdtemp(plantilla.data()) == nullptr) return;
            ruta = plantilla;
            setenv("XDG_CACHE_HOME", plantilla.c_str(), 1);
        }
        ~Cache() {
            std::error_code ec;
            if (!ruta.empty()) std::filesystem::remove_all(ruta, ec);
        }
        std::filesystem::path ruta;
    };
    static const Cache cache;
}

}  // namespace sorvenia::prueba
