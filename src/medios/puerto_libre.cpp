#include "medios/puerto_libre.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace sorvenia::VideoEnDirecto {
namespace {

bool seLibre(int puerto) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    sockaddr_in direccion{};
    direccion.sin_family = AF_INET;
    direccion.sin_port = htons(static_cast<std::uint16_t>(puerto));
    direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool libre = ::bind(s, reinterpret_cast<const sockaddr*>(&direccion), sizeof direccion) == 0;
    ::close(s);
    return libre;
}

}  // namespace

int puertoLibre(int desde) {
    for (int puerto = desde; puerto < desde + 200 && puerto <= 65535; ++puerto)
        if (puerto > 0 && seLibre(puerto)) return puerto;
    return desde;
}

}  // namespace sorvenia::VideoEnDirecto
