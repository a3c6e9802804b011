#include "plataforma/carpetas.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include "comun/conexion_tarvel.h"

namespace sorvenia {
namespace fs = std::filesystem;

namespace Carpetas {

namespace detalle {

fs::path baseXdg(const char* valor, const fs::path& porDefecto) {
    if (valor != nullptr && *valor == '/') return valor;
    return porDefecto;
}

fs::path videosDesde(const char* especial, const fs::path& casa) {
    if (especial != nullptr && *especial == '/') {
        fs::path ruta(especial);
        if (ruta.lexically_normal().lexically_relative(casa.lexically_normal()) != ".") return ruta;
    }
    return casa / "Videos";
}

bool esCarpetaPrivada(const fs::path& carpeta) {
    struct stat datos{};
    return carpeta.is_absolute() && stat(carpeta.c_str(), &datos) == 0 && S_ISDIR(datos.st_mode) &&
           datos.st_uid == geteuid() && (datos.st_mode & 077) == 0 && access(carpeta.c_str(), W_OK | X_OK) == 0;
}

}  // namespace detalle

const fs::path& aplicacion() { return ConexionTarvel::carpeta(); }

const fs::path& configuracion() {
    static const fs::path valor =
        detalle::baseXdg(std::getenv("XDG_CONFIG_HOME"), ConexionTarvel::casa() / ".config") / "SorveniaTarvel";
    return valor;
}

const fs::path& cache() {
    static const fs::path valor =
        detalle::baseXdg(std::getenv("XDG_CACHE_HOME"), ConexionTarvel::casa() / ".cache") / "SorveniaTarvel";
    return valor;
}

const fs::path& videos() {
    static const fs::path valor =
        detalle::videosDesde(g_get_user_special_dir(G_USER_DIRECTORY_VIDEOS), ConexionTarvel::casa());
    return valor;
}

const fs::path& canalPruebas() {
    static const fs::path valor =
        detalle::baseXdg(std::getenv("XDG_CACHE_HOME"), ConexionTarvel::casa() / ".cache") / "SorveniaTarvelPruebas";
    return valor;
}

const fs::path& sitios() {
    static const fs::path valor = ConexionTarvel::casa() / "Sites";
    return valor;
}

Resultado<fs::path> crearTemporalPrivada(std::string_view prefijo) {
    auto fallo = [](const std::string& razon) {
        return Fallo{"No se pudo crear una carpeta temporal: " + razon + ".", "temporal"};
    };
    if (prefijo.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
        return fallo("el nombre «" + std::string(prefijo) + "» no es válido");

    fs::path base;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && detalle::esCarpetaPrivada(runtime))
        base = runtime;
    else {
        std::error_code ec;
        base = fs::temp_directory_path(ec);
        if (ec) base = "/tmp";
    }

    std::string plantilla = (base / prefijo).string() + "XXXXXX";
    if (mkdtemp(plantilla.data()) == nullptr) return fallo(std::generic_category().message(errno));
    // mkdtemp asks for 0700, but the umask could have taken bits away.
    if (chmod(plantilla.c_str(), S_IRWXU) != 0) {
        int error = errno;
        rmdir(plantilla.c_str());
        return fallo(std::generic_category().message(error));
    }
    return fs::path(std::move(plantilla));
}

}  // namespace Carpetas

namespace {

void borrarTodo(const fs::path& ruta) noexcept {
    std::error_code ec;
    fs::remove_all(ruta, ec);
    if (!ec) return;
    // A folder inside without write permission (some tools make read-only
    // trees) stops remove_all: give every folder back to its owner, retry.
    std::error_code ignorado;
    fs::permissions(ruta, fs::perms::owner_all, fs::perm_options::add, ignorado);
    for (auto it = fs::recursive_directory_iterator(ruta, fs::directory_options::skip_permission_denied, ignorado);
         it != fs::recursive_directory_iterator(); it.increment(ignorado)) {
        if (ignorado) break;
        if (it->is_directory(ignorado) && !it->is_symlink(ignorado))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignorado);
    }
    fs::remove_all(ruta, ignorado);
}

}  // namespace

Resultado<CarpetaTemporal> CarpetaTemporal::crear(std::string_view prefijo) {
    auto ruta = Carpetas::crearTemporalPrivada(prefijo);
    if (!ruta) return ruta.fallo();
    return CarpetaTemporal(std::move(*ruta));
}

CarpetaTemporal::CarpetaTemporal(CarpetaTemporal&& otra) noexcept : ruta_(otra.soltar()) {}

CarpetaTemporal& CarpetaTemporal::operator=(CarpetaTemporal&& otra) noexcept {
    if (this != &otra) {
        if (!ruta_.empty()) borrarTodo(ruta_);
        ruta_ = otra.soltar();
    }
    return *this;
}

CarpetaTemporal::~CarpetaTemporal() {
    if (!ruta_.empty()) borrarTodo(ruta_);
}

fs::path CarpetaTemporal::soltar() noexcept { return std::exchange(ruta_, {}); }

}  // namespace sorvenia
