#pragma once
// The per-user folders of the application (the Mac's Application Support,
// Caches, Movies and Sites) and private temporary folders. The paths are
// worked out once, on first use; nothing is created on disk except by
// crearTemporalPrivada.

#include <filesystem>
#include <string_view>

#include "plataforma/resultado.h"

namespace sorvenia {

namespace Carpetas {

// ~/.local/share/SorveniaTarvel (ConexionTarvel::carpeta()): deliberately not
// $XDG_DATA_HOME, which sandboxed AI clients rewrite, so that the bridge and
// the application always agree on it.
const std::filesystem::path& aplicacion();

// $XDG_CONFIG_HOME/SorveniaTarvel, else ~/.config/SorveniaTarvel: where the
// preferences file lives.
const std::filesystem::path& configuracion();

// $XDG_CACHE_HOME/SorveniaTarvel, else ~/.cache/SorveniaTarvel.
const std::filesystem::path& cache();

// The user's XDG videos folder (GLib's G_USER_DIRECTORY_VIDEOS), else ~/Videos.
const std::filesystem::path& videos();

// ~/Sites, where app projects go. The Mac's folder name is kept rather than a
// translated "~/Sitios", so the folder has one name on every system and in
// every language the user's desktop may be set to.
const std::filesystem::path& sitios();

// $XDG_CACHE_HOME/SorveniaTarvelPruebas, else ~/.cache/SorveniaTarvelPruebas:
// the test build's file channel (requests in, answers out).
const std::filesystem::path& canalPruebas();

// Makes a new, empty folder "<prefijo>XXXXXX" with mode 0700 under
// $XDG_RUNTIME_DIR when that is a usable private folder, else under the
// system's temporary folder ($TMPDIR or /tmp). Linux's /tmp is shared between
// users, so the mode is what keeps its contents private. The caller removes
// it (see CarpetaTemporal).
Resultado<std::filesystem::path> crearTemporalPrivada(std::string_view prefijo);

namespace detalle {
// The value of an XDG base-directory variable when it is set, not empty and
// absolute (XDG ignores relative ones), else `porDefecto`.
std::filesystem::path baseXdg(const char* valor, const std::filesystem::path& porDefecto);
// The videos folder from GLib's answer (null when unset). xdg-user-dirs sets
// a folder it disabled to the home folder itself; that counts as unset too.
std::filesystem::path videosDesde(const char* especial, const std::filesystem::path& casa);
// True for an absolute path naming a folder that we own, that no one else may
// enter or change (XDG_RUNTIME_DIR's rules), and that we may write in.
bool esCarpetaPrivada(const std::filesystem::path& carpeta);
}  // namespace detalle

}  // namespace Carpetas

// Owns a private temporary folder and removes it, with all it holds, when it
// goes out of scope. Move-only.
class CarpetaTemporal {
public:
    // Makes a new folder with Carpetas::crearTemporalPrivada.
    static Resultado<CarpetaTemporal> crear(std::string_view prefijo);

    CarpetaTemporal() = default;
    // Takes over an existing folder.
    explicit CarpetaTemporal(std::filesystem::path ruta) : ruta_(std::move(ruta)) {}
    CarpetaTemporal(CarpetaTemporal&& otra) noexcept;
    CarpetaTemporal& operator=(CarpetaTemporal&& otra) noexcept;
    CarpetaTemporal(const CarpetaTemporal&) = delete;
    CarpetaTemporal& operator=(const CarpetaTemporal&) = delete;
    ~CarpetaTemporal();

    // Empty when the folder was moved out or released.
    const std::filesystem::path& ruta() const noexcept { return ruta_; }
    // Gives up ownership: the folder stays on disk.
    std::filesystem::path soltar() noexcept;

private:
    std::filesystem::path ruta_;
};

}  // namespace sorvenia
