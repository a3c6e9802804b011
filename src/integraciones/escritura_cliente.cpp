#include "integraciones/escritura_cliente.h"

#include <glib.h>
#include <sys/stat.h>

#include <stdexcept>
#include <system_error>

namespace sorvenia::EscrituraCliente {
namespace fs = std::filesystem;
namespace {

std::runtime_error fallo(const std::string& que, const fs::path& ruta, const std::string& causa) {
    return std::runtime_error("No se ha podido " + que + " " + ruta.string() + ": " + causa);
}

// Where the bytes really live: dotfile managers link these files into a
// repository, and replacing the link would cut the user's file off from it.
fs::path destino(fs::path ruta) {
    for (int saltos = 0; saltos < 40; ++saltos) {
        std::error_code ec;
        if (!fs::is_symlink(ruta, ec)) return ruta;
        fs::path siguiente = fs::read_symlink(ruta, ec);
        if (ec) return ruta;
        ruta = siguiente.is_absolute() ? siguiente : ruta.parent_path() / siguiente;
    }
    return ruta;
}

// The permission bits of the file there; 0600 when there is none, since the
// client may later put keys into it.
mode_t modoDe(const fs::path& ruta) {
    struct stat st {};
    if (::stat(ruta.c_str(), &st) != 0) return 0600;
    return st.st_mode & 07777;
}

}  // namespace

std::optional<std::string> leer(const fs::path& ruta) {
    gchar* datos = nullptr;
    gsize largo = 0;
    if (!g_file_get_contents(ruta.c_str(), &datos, &largo, nullptr)) return std::nullopt;
    std::string texto(datos, largo);
    g_free(datos);
    return texto;
}

void copia(const fs::path& ruta) {
    std::error_code ec;
    const fs::path respaldo = ruta.string() + std::string(sufijoCopia);
    if (!fs::exists(ruta, ec) || fs::exists(fs::symlink_status(respaldo, ec))) return;
    // copy_file creates the backup with the original's mode.
    fs::copy_file(ruta, respaldo, fs::copy_options::none, ec);
    if (ec) throw fallo("copiar", ruta, ec.message());
}

void escribir(const fs::path& ruta, std::string_view bytes) {
    const fs::path real = destino(ruta);
    const mode_t modo = modoDe(real);
    std::error_code ec;
    if (real.has_parent_path()) fs::create_directories(real.parent_path(), ec);
    if (ec) throw fallo("crear la carpeta de", real, ec.message());
    GError* error = nullptr;
    if (!g_file_set_contents_full(real.c_str(), bytes.data(), static_cast<gssize>(bytes.size()),
                                  G_FILE_SET_CONTENTS_CONSISTENT, static_cast<int>(modo), &error)) {
        const std::string causa = error != nullptr ? error->message : "error desconocido";
        g_clear_error(&error);
        throw fallo("escribir", real, causa);
    }
    // The umask may have narrowed the mode of the new file; give back exactly the old one.
    (void)::chmod(real.c_str(), modo);
}

}  // namespace sorvenia::EscrituraCliente
