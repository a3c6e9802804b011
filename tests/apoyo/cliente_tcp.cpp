#include "cliente_tcp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace sorvenia::prueba {
namespace {

sockaddr_in direccion(std::uint16_t puerto) {
    sockaddr_in d{};
    d.sin_family = AF_INET;
    d.sin_port = htons(puerto);
    d.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return d;
}

}  // namespace

ClienteTCP::ClienteTCP(std::uint16_t puerto) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    const auto d = direccion(puerto);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&d), sizeof d) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

ClienteTCP::~ClienteTCP() {
    if (fd_ >= 0) ::close(fd_);
}

bool ClienteTCP::enviar(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void ClienteTCP::cerrarEscritura() { ::shutdown(fd_, SHUT_WR); }

ClienteTCP::Lectura ClienteTCP::leerHastaCierre(std::chrono::milliseconds limite) {
    Lectura r;
    const auto fin = std::chrono::steady_clock::now() + limite;
    char bloque[65536];
    for (;;) {
        const auto quedan =
            std::chrono::duration_cast<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now()).count();
        if (quedan <= 0) return r;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(quedan)) <= 0) continue;
        const ssize_t n = ::recv(fd_, bloque, sizeof bloque, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            r.fin = true;
            return r;
        }
        r.bytes.append(bloque, static_cast<std::size_t>(n));
    }
}

std::string peticionHTTP(const std::string& metodo, const std::string& ruta, const std::string& cuerpo,
                         const std::vector<std::string>& cabeceras) {
    std::string p = metodo + " " + ruta + " HTTP/1.1\r\n";
    for (const auto& c : cabeceras) p += c + "\r\n";
    return p + "Content-Length: " + std::to_string(cuerpo.size()) + "\r\n\r\n" + cuerpo;
}

std::string preguntar(std::uint16_t puerto, const std::string& peticion) {
    ClienteTCP cliente(puerto);
    if (!cliente.conectado() || !cliente.enviar(peticion)) return "";
    return cliente.leerHastaCierre().bytes;
}

}  // namespace sorvenia::prueba
