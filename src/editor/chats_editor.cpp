// One file of chat history per design, in the per-user application
// folder, read back when the design opens.

#include <glib.h>

#include <string>
#include <system_error>

#include "centro/editor_modelo.h"
#include "plataforma/carpetas.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t largoMaximoId = 80;

// "^[A-Za-z0-9_-]{1,80}$": what keeps every file inside the folder.
bool idAceptable(std::string_view id) {
    if (id.empty() || id.size() > largoMaximoId) return false;
    for (const char c : id) {
        const bool valido =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!valido) return false;
    }
    return true;
}

bool esListaDeObjetos(const nlohmann::json& valor) {
    if (!valor.is_array()) return false;
    for (const auto& elemento : valor)
        if (!elemento.is_object()) return false;
    return true;
}

}  // namespace

std::optional<fs::path> EditorModelo::archivoChats(std::string_view id) {
    if (!idAceptable(id)) return std::nullopt;
    const fs::path& aplicacion = Carpetas::aplicacion();
    if (aplicacion.empty()) return std::nullopt;
    const fs::path carpeta = aplicacion / "chats";
    std::error_code ignorado;
    fs::create_directories(carpeta, ignorado);
    return carpeta / (std::string(id) + ".json");
}

void EditorModelo::escribirChats(const nlohmann::json& chats, const std::optional<std::string>& diseno) {
    if (!diseno || !esListaDeObjetos(chats)) return;
    const auto archivo = archivoChats(*diseno);
    if (!archivo) return;
    std::string bytes;
    try {
        bytes = chats.dump();  // compact; throws on a text that is not UTF-8
    } catch (const nlohmann::json::exception&) {
        return;
    }
    // GLib's atomic replacement: a temporary file in the same folder, flushed,
    // then renamed over the old one; the old file stays whole on any failure.
    // Private to the user, like the rest of the folder's contents.
    GError* crudo = nullptr;
    g_file_set_contents_full(archivo->c_str(), bytes.data(), static_cast<gssize>(bytes.size()),
                             G_FILE_SET_CONTENTS_CONSISTENT, 0600, &crudo);
    const ErrorG error(crudo);  // a failed write is ignored
}

nlohmann::json EditorModelo::leerChats(const std::optional<std::string>& id) {
    auto vacia = nlohmann::json::array();
    if (!id) return vacia;
    const auto archivo = archivoChats(*id);
    if (!archivo) return vacia;
    gchar* contenido = nullptr;
    gsize largo = 0;
    if (g_file_get_contents(archivo->c_str(), &contenido, &largo, nullptr) == FALSE) return vacia;
    const TextoG propio(contenido);
    auto chats = nlohmann::json::parse(std::string_view(contenido, largo), nullptr, false);
    if (chats.is_discarded() || !esListaDeObjetos(chats)) return vacia;
    return chats;
}

}  // namespace sorvenia
