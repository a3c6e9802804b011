#include "puertos_prueba.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace sorvenia::prueba {
namespace {

sockaddr_in bucleLocal(std::uint16_t puerto) {
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    dir.sin_port = htons(puerto);
    return dir;
}

}  // namespace

std::uint16_t puertoLibre() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    auto dir = bucleLocal(0);
    socklen_t largo = sizeof dir;
    ::bind(fd, reinterpret_cast<const sockaddr*>(&dir), sizeof dir);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&dir), &largo);
    ::close(fd);
    return ntohs(dir.sin_port);
}

bool escucha(std::uint16_t puerto) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto dir = bucleLocal(puerto);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&dir), sizeof dir) == 0;
    ::close(fd);
    return ok;
}

bool esperarEscucha(std::uint16_t puerto, std::chrono::milliseconds limite) {
    const auto fin = std::chrono::steady_clock::now() + limite;
    while (!escucha(puerto)) {
        if (std::chrono::steady_clock::now() >= fin) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace sorvenia::prueba
