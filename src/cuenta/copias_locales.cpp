// Local copies of unsent designs: the file format and the operations on the
// copies' folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "cuenta/campos_json.h"
#include "cuenta/copias_locales.h"
#include "plataforma/carpetas.h"
#include "plataforma/identidad.h"

namespace sorvenia {
namespace fs = std::filesystem;

namespace copias {
namespace {

// The range of seconds since 2001 that the system clock's time point holds
// (its 64-bit count of nanoseconds reaches about ±9.2e9 s around 1970).
constexpr double minimoSegundos = -1.0e10;
constexpr double maximoSegundos = 8.0e9;

std::string texto(const std::string& t) { return JSONValor(t).cadena(); }

}  // namespace

double segundosDesde2001(CopiaLocal::Fecha fecha) {
    return std::chrono::duration<double>(fecha - origen2001).count();
}

std::optional<CopiaLocal::Fecha> fechaDesde2001(double segundos) {
    if (!std::isfinite(segundos) || segundos < minimoSegundos || segundos > maximoSegundos) return std::nullopt;
    return CopiaLocal::Fecha(origen2001) +
           std::chrono::round<CopiaLocal::Fecha::duration>(std::chrono::duration<double>(segundos));
}

std::optional<std::string> codificar(const CopiaLocal& c) {
    const std::string doc = c.doc.cadena();
    if (doc == "null" && !c.doc.esNulo()) return std::nullopt;  // a number JSON cannot write
    std::string salida = "{";
    if (c.id) salida += "\"id\":" + texto(*c.id) + ",";
    salida += "\"nombre\":" + texto(c.nombre);
    salida += ",\"doc\":" + doc;
    salida += ",\"fecha\":" + JSONValor(segundosDesde2001(c.fecha)).cadena();
    if (c.servidor) salida += ",\"servidor\":" + texto(*c.servidor);
    if (c.cliente) salida += ",\"cliente\":" + std::to_string(*c.cliente);
    if (c.ref) salida += ",\"ref\":" + texto(*c.ref);
    if (c.base) {
        std::string base;
        if (c.base->version) base += "\"version\":" + std::to_string(*c.base->version);
        if (c.base->modificado) base += (base.empty() ? "" : ",") + std::string("\"modificado\":") + texto(*c.base->modificado);
        salida += ",\"base\":{" + base + "}";
    }
    salida += "}";
    return salida;
}

std::optional<CopiaLocal> decodificar(std::string_view bytes) {
    const auto j = campos::objetoDe(bytes);
    if (!j.is_object()) return std::nullopt;
    CopiaLocal c;
    const auto* fecha = campos::miembro(j, "fecha");
    if (!campos::requerido(j, "nombre", c.nombre) || !campos::requerido(j, "doc", c.doc) || fecha == nullptr ||
        !fecha->is_number() || !campos::opcional(j, "id", c.id) || !campos::opcional(j, "servidor", c.servidor) ||
        !campos::opcional(j, "cliente", c.cliente) || !campos::opcional(j, "ref", c.ref))
        return std::nullopt;
    const auto instante = fechaDesde2001(fecha->get<double>());
    if (!instante) return std::nullopt;
    c.fecha = *instante;
    // A base that cannot be read only means the copy's base is unknown.
    if (const auto* base = campos::miembro(j, "base"); base != nullptr && base->is_object()) {
        CopiaLocal::Base b;
        if (campos::opcional(*base, "version", b.version) && campos::opcional(*base, "modificado", b.modificado))
            c.base = std::move(b);
    }
    return c;
}

std::optional<CopiaLocal::Fecha> fechaDelServicio(std::string_view t) {
    std::size_t i = 0;
    const auto digito = [&] { return i < t.size() && t[i] >= '0' && t[i] <= '9'; };
    // A field of 1 to `cifras` digits, not followed by another digit.
    const auto numero = [&](std::size_t cifras) -> std::optional<int> {
        const std::size_t inicio = i;
        int valor = 0;
        while (digito() && i - inicio < cifras) valor = valor * 10 + (t[i++] - '0');
        if (i == inicio || digito()) return std::nullopt;
        return valor;
    };
    const auto separador = [&](char c) {
        if (i >= t.size() || t[i] != c) return false;
        ++i;
        return true;
    };
    const auto y = numero(4);
    if (!y || !separador('-')) return std::nullopt;
    const auto mes = numero(2);
    if (!mes || !separador('-')) return std::nullopt;
    const auto dia = numero(2);
    if (!dia || !separador(' ')) return std::nullopt;
    const auto h = numero(2);
    if (!h || !separador(':')) return std::nullopt;
    const auto m = numero(2);
    if (!m || !separador(':')) return std::nullopt;
    const auto s = numero(2);
    if (!s || i != t.size()) return std::nullopt;

    const std::chrono::year_month_day fecha{std::chrono::year{*y}, std::chrono::month{static_cast<unsigned>(*mes)},
                                            std::chrono::day{static_cast<unsigned>(*dia)}};
    if (*y < 1 || !fecha.ok() || *h > 23 || *m > 59 || *s > 59) return std::nullopt;
    return CopiaLocal::Fecha(std::chrono::sys_days(fecha) + std::chrono::hours(*h) + std::chrono::minutes(*m) +
                             std::chrono::seconds(*s));
}

}  // namespace copias

namespace {

// The whole contents of a regular file (a link to one is followed); nothing
// for anything else. Never blocks on a FIFO or a device.
std::optional<std::string> leerArchivo(const fs::path& ruta) {
    const int fd = ::open(ruta.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> bytes;
    struct stat datos{};
    if (fstat(fd, &datos) == 0 && S_ISREG(datos.st_mode)) {
        std::string leido;
        leido.reserve(static_cast<std::size_t>(std::max<off_t>(datos.st_size, 0)));
        char bloque[65536];
        for (;;) {
            const ssize_t n = ::read(fd, bloque, sizeof bloque);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            if (n == 0) {
                bytes = std::move(leido);
                break;
            }
            leido.append(bloque, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return bytes;
}

std::optional<CopiaLocal> leerCopia(const fs::path& ruta) {
    const auto bytes = leerArchivo(ruta);
    if (!bytes) return std::nullopt;
    return copias::decodificar(*bytes);
}

// The folder with its parents; the folder itself private to the user (it
// holds whole designs). Failures are left to the write that follows.
void crearCarpeta(const fs::path& carpeta) {
    std::error_code error;
    if (carpeta.has_parent_path()) fs::create_directories(carpeta.parent_path(), error);
    (void)::mkdir(carpeta.c_str(), 0700);
}

}  // namespace

fs::path CopiasLocales::carpetaPorDefecto() {
    const std::string& id = idAplicacion();
    return Carpetas::aplicacion() / (id.empty() ? std::string(idAplicacionPorDefecto) : id) / "sin-subir";
}

fs::path CopiasLocales::carpeta() const { return carpeta_.empty() ? carpetaPorDefecto() : carpeta_; }

void CopiasLocales::guardar(const std::optional<std::string>& id, const std::string& nombre, const JSONValor& doc,
                            const std::optional<std::string>& ref, std::optional<CopiaLocal::Base> base) {
    CopiaLocal copia;
    copia.base = std::move(base);
    copia.id = id;
    copia.nombre = nombre;
    copia.doc = doc;
    copia.fecha = std::chrono::system_clock::now();
    auto dueno = dueno_();
    copia.servidor = std::move(dueno.servidor);
    copia.cliente = dueno.cliente;
    if (!id) copia.ref = ref;
    const auto bytes = copias::codificar(copia);
    if (!bytes) return;
    const fs::path carpeta = this->carpeta();
    crearCarpeta(carpeta);
    // A temporary file beside it, renamed over the old copy (a link in its
    // place is replaced, not followed).
    const fs::path archivo = carpeta / nombreCopia(id, ref);
    g_file_set_contents_full(archivo.c_str(), bytes->data(), static_cast<gssize>(bytes->size()),
                             G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr);
}

void CopiasLocales::borrar(const std::optional<std::string>& id, const std::optional<std::string>& ref) {
    (void)::unlink((carpeta() / nombreCopia(id, ref)).c_str());
}

std::optional<CopiaLocal> CopiasLocales::leer(const std::optional<std::string>& id,
                                              const std::optional<std::string>& ref) const {
    return leerCopia(carpeta() / nombreCopia(id, ref));
}

std::optional<CopiaLocal> CopiasLocales::pendiente(const std::string& id, const JSONValor& enLaCuenta) {
    auto copia = leer(id, std::nullopt);
    if (!copia) return std::nullopt;
    // The account holds this very document (an upload landed but its answer
    // never came back): nothing in the copy is missing there.
    if (copia->doc.cadena() == enLaCuenta.cadena()) {
        borrar(id, std::nullopt);
        return std::nullopt;
    }
    // Otherwise the copy holds changes the account lacks: made on the very
    // version the account still has, or on an older one while someone saved
    // elsewhere, or on a base not recorded. Clocks of two computers cannot
    // tell which version is newer; only the user can, so it is offered.
    return copia;
}

std::vector<CopiaLocal> CopiasLocales::delDueno() const {
    const fs::path carpeta = this->carpeta();
    std::vector<CopiaLocal> lista;
    std::error_code error;
    fs::directory_iterator entrada(carpeta, error);
    if (error) return lista;
    const auto dueno = dueno_();
    for (; entrada != fs::directory_iterator(); entrada.increment(error)) {
        if (error) break;
        const fs::path& ruta = entrada->path();
        if (ruta.extension() != ".json") continue;
        auto copia = leerCopia(ruta);
        if (!copia || copia->servidor != dueno.servidor || copia->cliente != dueno.cliente) continue;
        lista.push_back(std::move(*copia));
    }
    std::stable_sort(lista.begin(), lista.end(),
                     [](const CopiaLocal& a, const CopiaLocal& b) { return a.fecha > b.fecha; });
    return lista;
}

void CopiasLocales::descartar(const std::string& archivo) {
    // Only a bare name of this folder, and only a copy's kind of file.
    if (archivo.find('/') != std::string::npos || archivo.find('\0') != std::string::npos) return;
    if (!archivo.ends_with(".json")) return;
    (void)::unlink((carpeta() / archivo).c_str());
}

}  // namespace sorvenia
