#include "ias/fichero_privado.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

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

}  // namespace

Hecho escribirPrivado(const std::filesystem::path& fichero, std::string_view bytes) {
    // A fresh name, created exclusively (mkostemp: 0600, O_CREAT | O_EXCL),
    // so nothing planted at a known name is followed or reused.
    std::string temporal = (fichero.parent_path() / ("." + fichero.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temporal.data(), O_CLOEXEC);
    if (fd < 0) return falloDe(fichero, errno);
    const bool escrito = escribirTodo(fd, bytes);
    const int errorEscritura = errno;
    const bool cerrado = ::close(fd) == 0;
    if (!escrito || !cerrado || ::rename(temporal.c_str(), fichero.c_str()) != 0) {
        const int error = !escrito ? errorEscritura : errno;
        ::unlink(temporal.c_str());
        return falloDe(fichero, error);
    }
    return hecho();
}

}  // namespace sorvenia
