#include "plataforma/preferencias.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "comun/utf8.h"
#include "plataforma/carpetas.h"
#include "plataforma/cripto.h"
#include "plataforma/fichero_privado.h"
#include "plataforma/identidad.h"

namespace sorvenia {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// What tells one version of the file from another without reading it.
struct Firma {
    bool existe = false;
    dev_t dispositivo = 0;
    ino_t inodo = 0;
    off_t tamano = 0;
    timespec modificado{};
    timespec cambiado{};

    static Firma de(const struct stat& datos) {
        return {true, datos.st_dev, datos.st_ino, datos.st_size, datos.st_mtim, datos.st_ctim};
    }
    bool operator==(const Firma& otra) const {
        auto igual = [](const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
        return existe == otra.existe && dispositivo == otra.dispositivo && inodo == otra.inodo &&
               tamano == otra.tamano && igual(modificado, otra.modificado) && igual(cambiado, otra.cambiado);
    }
};

std::string razon(int error) { return std::generic_category().message(error); }

// Makes each missing folder of the path with mode 0700.
bool crearCarpetas(const fs::path& carpeta) {
    if (carpeta.empty()) return true;
    struct stat datos{};
    if (stat(carpeta.c_str(), &datos) == 0) {
        if (S_ISDIR(datos.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    if (carpeta.has_relative_path() && carpeta.parent_path() != carpeta && !crearCarpetas(carpeta.parent_path()))
        return false;
    return mkdir(carpeta.c_str(), S_IRWXU) == 0 || errno == EEXIST;
}

std::optional<std::string> leerTodo(int fd) {
    std::string bytes;
    char trozo[65536];
    for (;;) {
        ssize_t leidos = read(fd, trozo, sizeof trozo);
        if (leidos < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (leidos == 0) return bytes;
        bytes.append(trozo, static_cast<std::size_t>(leidos));
    }
}

}  // namespace

struct Preferencias::Estado {
    const fs::path fichero;
    std::mutex cerrojo;
    json contenido = json::object();
    Firma firma;         // of the version in `contenido`
    bool leido = false;  // false until the first access
    std::optional<fs::path> apartado;  // where an unreadable file went, until taken

    explicit Estado(fs::path f) : fichero(std::move(f)) {}

    // Brings `contenido` up to date with the file. Holds the lock.
    void refrescar() {
        struct stat datos{};
        Firma actual = stat(fichero.c_str(), &datos) == 0 ? Firma::de(datos) : Firma{};
        if (leido && actual == firma) return;
        leido = true;
        firma = actual;
        contenido = json::object();
        if (!actual.existe) return;

        int fd = open(fichero.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            apartar();
            return;
        }
        // The descriptor's own version: the path may have been replaced since stat.
        if (fstat(fd, &datos) == 0) firma = Firma::de(datos);
        std::optional<std::string> bytes = leerTodo(fd);
        close(fd);
        json nuevo = bytes ? json::parse(*bytes, nullptr, false) : json();
        if (nuevo.is_discarded() || !nuevo.is_object()) {
            apartar();
            return;
        }
        contenido = std::move(nuevo);
    }

    // Moves the unreadable file aside under a name of its own, so that the
    // next change (which rewrites the whole file) does not replace the
    // settings it may still hold, and notes where it went.
    void apartar() {
        const auto ahora = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        std::tm local{};
        localtime_r(&ahora, &local);
        char fecha[32];
        std::strftime(fecha, sizeof fecha, "%Y%m%d-%H%M%S", &local);
        const std::string base = fichero.filename().string() + ".ilegible-" + fecha;
        fs::path destino = fichero.parent_path() / base;
        for (int n = 2; fs::exists(fs::symlink_status(destino)); ++n)
            destino = fichero.parent_path() / (base + "-" + std::to_string(n));
        if (rename(fichero.c_str(), destino.c_str()) != 0) {
            std::fprintf(stderr, "sorvenia: no se pudo apartar el fichero de preferencias ilegible %s (%s)\n",
                         fichero.c_str(), razon(errno).c_str());
            return;
        }
        std::fprintf(stderr, "sorvenia: las preferencias de %s no se podían leer; se han guardado en %s\n",
                     fichero.c_str(), destino.c_str());
        apartado = destino;
        firma = Firma{};
    }

    // The JSON value under the key, or null.
    const json* buscar(std::string_view clave) {
        refrescar();
        auto it = contenido.find(repararUtf8(clave));
        return it == contenido.end() ? nullptr : &*it;
    }

    // Stores the value (or removes the key when it is absent) and writes the file.
    bool cambiar(std::string_view clave, std::optional<json> valor) {
        refrescar();
        std::string llave = repararUtf8(clave);
        if (valor)
            contenido[llave] = std::move(*valor);
        else if (contenido.erase(llave) == 0)
            return true;
        return escribir();
    }

    bool escribir() {
        // A link (a dotfiles checkout, say) is followed: its target is replaced.
        fs::path destino = fichero;
        std::error_code ec;
        if (fs::is_symlink(fichero, ec)) {
            fs::path real = fs::weakly_canonical(fichero, ec);
            if (!ec) destino = real;
        }
        if (!crearCarpetas(destino.parent_path())) {
            std::fprintf(stderr, "sorvenia: no se pudieron guardar las preferencias en %s (carpeta: %s)\n",
                         destino.c_str(), razon(errno).c_str());
            return false;
        }
        std::string texto = contenido.dump(2, ' ', false, json::error_handler_t::replace);
        texto += '\n';
        // Durable, since a crash must not leave the preferences empty.
        const auto escrito = escribirPrivadoDuradero(destino, texto);
        if (!escrito) {
            std::fprintf(stderr, "sorvenia: %s\n", escrito.fallo().mensaje.c_str());
            return false;
        }
        // The status as of the rename is our own version even if someone
        // has replaced the path again meanwhile (then the next access sees
        // another inode and reads theirs).
        if (escrito->st_ino != 0)
            firma = Firma::de(*escrito);
        else
            leido = false;  // the next access reads it back
        return true;
    }
};

Preferencias& Preferencias::estandar() {
    // Never destroyed: threads may still use it while the process exits.
    static Preferencias* instancia = new Preferencias(rutaEstandar());
    return *instancia;
}

fs::path Preferencias::rutaEstandar() {
    return Carpetas::configuracion() / (esCompilacionDePrueba() ? "preferencias-pruebas.json" : "preferencias.json");
}

Preferencias::Preferencias(fs::path fichero) : estado_(std::make_unique<Estado>(std::move(fichero))) {}
Preferencias::~Preferencias() = default;

const fs::path& Preferencias::fichero() const noexcept { return estado_->fichero; }

std::optional<std::string> Preferencias::texto(std::string_view clave) const {
    std::lock_guard bloqueo(estado_->cerrojo);
    const json* v = estado_->buscar(clave);
    if (v == nullptr || !v->is_string()) return std::nullopt;
    return v->get<std::string>();
}

bool Preferencias::fijarTexto(std::string_view clave, std::string_view valor) {
    std::lock_guard bloqueo(estado_->cerrojo);
    return estado_->cambiar(clave, json(repararUtf8(valor)));
}

bool Preferencias::booleano(std::string_view clave) const {
    std::lock_guard bloqueo(estado_->cerrojo);
    const json* v = estado_->buscar(clave);
    return v != nullptr && v->is_boolean() && v->get<bool>();
}

bool Preferencias::fijarBooleano(std::string_view clave, bool valor) {
    std::lock_guard bloqueo(estado_->cerrojo);
    return estado_->cambiar(clave, json(valor));
}

std::optional<double> Preferencias::numero(std::string_view clave) const {
    std::lock_guard bloqueo(estado_->cerrojo);
    const json* v = estado_->buscar(clave);
    if (v == nullptr || !v->is_number()) return std::nullopt;
    return v->get<double>();
}

bool Preferencias::fijarNumero(std::string_view clave, double valor) {
    if (!std::isfinite(valor)) return false;
    std::lock_guard bloqueo(estado_->cerrojo);
    return estado_->cambiar(clave, json(valor));
}

std::optional<std::vector<std::uint8_t>> Preferencias::datos(std::string_view clave) const {
    std::lock_guard bloqueo(estado_->cerrojo);
    const json* v = estado_->buscar(clave);
    if (v == nullptr || !v->is_string()) return std::nullopt;
    return desdeBase64(v->get_ref<const std::string&>());
}

bool Preferencias::fijarDatos(std::string_view clave, std::span<const std::uint8_t> valor) {
    std::lock_guard bloqueo(estado_->cerrojo);
    return estado_->cambiar(clave, json(base64(valor)));
}

std::map<std::string, std::string> Preferencias::mapaTextos(std::string_view clave) const {
    std::lock_guard bloqueo(estado_->cerrojo);
    const json* v = estado_->buscar(clave);
    std::map<std::string, std::string> mapa;
    if (v == nullptr || !v->is_object()) return mapa;
    for (const auto& [k, x] : v->items()) {
        if (!x.is_string()) return {};
        mapa.emplace(k, x.get<std::string>());
    }
    return mapa;
}

bool Preferencias::fijarMapaTextos(std::string_view clave, const std::map<std::string, std::string>& valor) {
    json objeto = json::object();
    for (const auto& [k, x] : valor) objeto[repararUtf8(k)] = repararUtf8(x);
    std::lock_guard bloqueo(estado_->cerrojo);
    return estado_->cambiar(clave, std::move(objeto));
}

std::optional<json> Preferencias::valor(std::string_view clave) const {
    std::lock_guard bloqueo(estado_->cerrojo);
    const json* v = estado_->buscar(clave);
    if (v == nullptr) return std::nullopt;
    return *v;
}

bool Preferencias::fijarValor(std::string_view clave, const json& valor) {
    // Through text and back, so that what stays in memory is what the file
    // holds (ill-formed UTF-8 repaired, NaN as null).
    json limpio = json::parse(valor.dump(-1, ' ', false, json::error_handler_t::replace));
    std::lock_guard bloqueo(estado_->cerrojo);
    return estado_->cambiar(clave, std::move(limpio));
}

bool Preferencias::quitar(std::string_view clave) {
    std::lock_guard bloqueo(estado_->cerrojo);
    return estado_->cambiar(clave, std::nullopt);
}

bool Preferencias::existe(std::string_view clave) const {
    std::lock_guard bloqueo(estado_->cerrojo);
    return estado_->buscar(clave) != nullptr;
}

std::optional<fs::path> Preferencias::tomarApartado() {
    std::lock_guard bloqueo(estado_->cerrojo);
    estado_->refrescar();
    return std::exchange(estado_->apartado, std::nullopt);
}

}  // namespace sorvenia
