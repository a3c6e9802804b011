#include "editor/exportacion.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <system_error>

#include "comun/conexion_tarvel.h"
#include "editor/escenas.h"
#include "plataforma/fichero_privado.h"

namespace sorvenia::Exportacion {
namespace {

namespace fs = std::filesystem;

// The sentence names the file; the system's reason is added in its own
// words, which may not be Spanish, after the sentence.
Hecho fallo(const fs::path& destino, int error) {
    return Fallo{"No se ha podido guardar «" + destino.filename().string() + "» ahí (" + std::strerror(error) + ").",
                 "escritura"};
}

}  // namespace

Hecho escribirArchivo(const fs::path& destino, std::string_view bytes) {
    const fs::path temporal = temporalJunto(destino);
    const int fd = ::open(temporal.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return fallo(destino, errno);
    std::size_t escritos = 0;
    while (escritos < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + escritos, bytes.size() - escritos);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(temporal.c_str());
            return fallo(destino, error);
        }
        escritos += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporal.c_str());
        return fallo(destino, error);
    }
    if (::rename(temporal.c_str(), destino.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporal.c_str());
        return fallo(destino, error);
    }
    return hecho();
}

Web escribirWeb(const fs::path& carpeta, const std::vector<std::pair<std::string, std::string>>& archivos,
                const std::optional<std::string>& doc) {
    Web web{carpeta, 0, static_cast<int>(archivos.size())};
    std::error_code ec;
    const bool nueva = !fs::exists(carpeta, ec);
    const fs::path obra = nueva ? temporalJunto(carpeta) : carpeta;
    if (nueva && !fs::create_directory(obra, ec)) return web;
    std::set<std::string> escenas;
    for (const auto& [nombre, documento] : archivos) {
        if (escribirArchivo(obra / nombre, documento)) ++web.escritas;
        escenas.merge(Escenas::usadas(documento));
    }
    if (!escenas.empty()) Escenas::copiar(escenas, doc, obra);
    if (!nueva) return web;
    if (web.escritas > 0) fs::rename(obra, carpeta, ec);
    if (web.escritas == 0 || ec) {
        fs::remove_all(obra, ec);
        web.escritas = 0;
    }
    return web;
}

std::string aviso(const Web& web) {
    if (web.escritas == 0) return "No se ha podido exportar la web.";
    const std::string en = " en " + web.carpeta.filename().string();
    if (web.escritas < web.total)
        return "Web exportada: " + std::to_string(web.escritas) + " de " + std::to_string(web.total) + " páginas" + en;
    return "Web exportada: " + std::to_string(web.total) + " página" + (web.total == 1 ? "" : "s") + en;
}

fs::path carpetaInicial() {
    const char* documentos = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
    std::error_code ec;
    if (documentos != nullptr && fs::is_directory(documentos, ec) && fs::path(documentos) != ConexionTarvel::casa())
        return documentos;
    return ConexionTarvel::casa();
}

}  // namespace sorvenia::Exportacion
