#include "plataforma/fichero_privado.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <glib.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace sorvenia {
namespace {

Fallo falloDe(const std::filesystem::path& fichero, int error) {
    return Fallo{"No se ha podido escribir «" + fichero.string() + "»: " + std::generic_category().message(error) + ".",
                 "fichero"};
}

bool escribirTodo(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Makes the rename itself durable: the folder's entry is on disk too.
void sincronizarCarpeta(const std::filesystem::path& carpeta) {
    const int dir = ::open(carpeta.empty() ? "." : carpeta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

Resultado<struct stat> escribir(const std::filesystem::path& fichero, std::string_view bytes, bool duradero) {
    // A fresh name, created exclusively (mkostemp: 0600, O_CREAT | O_EXCL),
    // so nothing planted at a known name is followed or reused.
    std::string temporal = (fichero.parent_path() / ("." + fichero.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temporal.data(), O_CLOEXEC);
    if (fd < 0) return falloDe(fichero, errno);
    bool bien = escribirTodo(fd, bytes) && (!duradero || ::fsync(fd) == 0);
    int error = errno;
    struct stat datos {};
    if (bien && duradero) {
        // The contents are on disk: the file may be closed after the rename,
        // and its status is taken then, since the rename changes its ctime.
        bien = ::rename(temporal.c_str(), fichero.c_str()) == 0;
        error = errno;
        if (bien && ::fstat(fd, &datos) != 0) datos = {};
        ::close(fd);
    } else {
        // A failed close may mean lost contents: only a cleanly closed file
        // replaces the old one.
        if (::close(fd) != 0 && bien) {
            bien = false;
            error = errno;
        }
        if (bien && ::rename(temporal.c_str(), fichero.c_str()) != 0) {
            bien = false;
            error = errno;
        }
    }
    if (!bien) {
        ::unlink(temporal.c_str());
        return falloDe(fichero, error);
    }
    if (duradero) sincronizarCarpeta(fichero.parent_path());
    return datos;
}

}  // namespace

Hecho escribirPrivado(const std::filesystem::path& fichero, std::string_view bytes) {
    auto escrito = escribir(fichero, bytes, false);
    if (!escrito) return escrito.fallo();
    return hecho();
}

Resultado<struct stat> escribirPrivadoDuradero(const std::filesystem::path& fichero, std::string_view bytes) {
    return escribir(fichero, bytes, true);
}

std::filesystem::path temporalJunto(const std::filesystem::path& destino) {
    std::string sufijo;
    for (int i = 0; i < 8; ++i) sufijo += "abcdefghijklmnopqrstuvwxyz0123456789"[g_random_int_range(0, 36)];
    return destino.parent_path() / ("." + destino.filename().string() + ".parcial-" + sufijo);
}

}  // namespace sorvenia
