#include "aplicaciones/escritura_proyecto.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace sorvenia {

Hecho escribirArchivo(const std::filesystem::path& fichero, std::string_view bytes, mode_t modo) {
    const auto fallo = [&](int numero) {
        return Fallo{"No se ha podido escribir " + fichero.filename().string() + ": " + std::strerror(numero) + ".",
                     ""};
    };
    struct stat previo {};
    if (::stat(fichero.c_str(), &previo) == 0) modo = previo.st_mode & 07777;
    std::string plantilla = (fichero.parent_path() / ("." + fichero.filename().string() + ".XXXXXX")).string();
    std::vector<char> nombre(plantilla.begin(), plantilla.end());
    nombre.push_back('\0');
    const int fd = ::mkostemp(nombre.data(), O_CLOEXEC);
    if (fd < 0) return fallo(errno);
    const std::string temporal(nombre.data());
    const auto abandonar = [&](int numero) {
        ::close(fd);
        ::unlink(temporal.c_str());
        return fallo(numero);
    };
    for (std::size_t escrito = 0; escrito < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + escrito, bytes.size() - escrito);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return abandonar(errno);
        escrito += static_cast<std::size_t>(n);
    }
    if (::fchmod(fd, modo) != 0) return abandonar(errno);
    if (::close(fd) != 0) {
        const int numero = errno;
        ::unlink(temporal.c_str());
        return fallo(numero);
    }
    if (::rename(temporal.c_str(), fichero.c_str()) != 0) {
        const int numero = errno;
        ::unlink(temporal.c_str());
        return fallo(numero);
    }
    return hecho();
}

}  // namespace sorvenia
