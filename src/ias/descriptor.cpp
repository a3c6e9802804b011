#include "ias/descriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

namespace sorvenia {
namespace {

Fallo falloDelSistema(const char* que, int error) {
    return Fallo{std::string("No se ha podido ") + que + " (error del sistema " + std::to_string(error) + ").",
                 "sistema"};
}

// Moves a descriptor that landed on 0, 1 or 2 (possible when the
// application was started with one of them closed) to 3 or above.
int fueraDeLosEstandar(int fd) {
    if (fd > 2) return fd;
    const int nuevo = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return nuevo;
}

}  // namespace

Descriptor::Descriptor(Descriptor&& otro) noexcept : fd_(std::exchange(otro.fd_, -1)) {}

Descriptor& Descriptor::operator=(Descriptor&& otro) noexcept {
    if (this != &otro) {
        cerrar();
        fd_ = std::exchange(otro.fd_, -1);
    }
    return *this;
}

void Descriptor::cerrar() noexcept {
    // Linux releases the descriptor even when close reports EINTR, so it is
    // never retried.
    if (fd_ >= 0) close(std::exchange(fd_, -1));
}

Resultado<Tuberia> crearTuberia() {
    std::array<int, 2> fds{};
    if (pipe2(fds.data(), O_CLOEXEC) != 0) return falloDelSistema("crear una tubería", errno);
    Tuberia tuberia{Descriptor(fueraDeLosEstandar(fds[0])), Descriptor(fueraDeLosEstandar(fds[1]))};
    if (!tuberia.lectura.abierto() || !tuberia.escritura.abierto())
        return falloDelSistema("crear una tubería", errno);
    return tuberia;
}

Resultado<Descriptor> abrirNulo() {
    Descriptor nulo(fueraDeLosEstandar(open("/dev/null", O_RDWR | O_CLOEXEC)));
    if (!nulo.abierto()) return falloDelSistema("abrir /dev/null", errno);
    return nulo;
}

bool leerAlgo(int fd, std::string& destino) {
    std::array<char, 65536> bloque;
    for (;;) {
        const ssize_t n = read(fd, bloque.data(), bloque.size());
        if (n > 0) {
            destino.append(bloque.data(), static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

}  // namespace sorvenia
