#include "tarvel_mcp/reenviar.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "tarvel_mcp/respuesta_local.h"

namespace sorvenia::puente {
namespace {

using Reloj = std::chrono::steady_clock;

// A tool call may render or wait on the user.
constexpr auto tiempoLimite = std::chrono::seconds(600);

// A socket closed when it goes out of scope.
class Enchufe {
public:
    Enchufe() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~Enchufe() {
        if (fd_ >= 0) ::close(fd_);
    }
    Enchufe(const Enchufe&) = delete;
    Enchufe& operator=(const Enchufe&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Waits for `eventos` until the deadline; the events that came, or 0.
short esperar(int fd, short eventos, Reloj::time_point plazo) {
    for (;;) {
        const auto falta = std::chrono::ceil<std::chrono::milliseconds>(plazo - Reloj::now()).count();
        if (falta <= 0) return 0;
        pollfd p{fd, eventos, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(falta, 60'000)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return 0;
        if (n > 0) return p.revents;
    }
}

bool conectar(int fd, std::uint16_t puerto, Reloj::time_point plazo) {
    sockaddr_in direccion{};
    direccion.sin_family = AF_INET;
    direccion.sin_port = htons(puerto);
    direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&direccion), sizeof direccion) == 0) return true;
    if (errno != EINPROGRESS) return false;
    if ((esperar(fd, POLLOUT, plazo) & POLLOUT) == 0) return false;
    int error = 0;
    socklen_t largo = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &largo) == 0 && error == 0;
}

// Sends the head and the body while reading whatever answer comes: the
// server may answer (413, say) before the body is all sent, and then stops
// reading it. A failed send ends sending, not the exchange.
Reenvio intercambiar(int fd, std::string_view cabecera, std::string_view cuerpo, Reloj::time_point plazo) {
    LectorRespuesta lector(limiteRespuesta);
    std::size_t enviado = 0;
    const std::size_t total = cabecera.size() + cuerpo.size();
    bool enviando = true;
    char bloque[65536];
    for (;;) {
        const short listos = esperar(fd, enviando ? POLLIN | POLLOUT : POLLIN, plazo);
        if (listos == 0) return {};
        if (enviando && (listos & (POLLOUT | POLLERR | POLLHUP))) {
            iovec partes[2];
            int n = 0;
            if (enviado < cabecera.size())
                partes[n++] = {const_cast<char*>(cabecera.data() + enviado), cabecera.size() - enviado};
            const std::size_t desdeCuerpo = enviado > cabecera.size() ? enviado - cabecera.size() : 0;
            partes[n++] = {const_cast<char*>(cuerpo.data() + desdeCuerpo), cuerpo.size() - desdeCuerpo};
            msghdr mensaje{};
            mensaje.msg_iov = partes;
            mensaje.msg_iovlen = static_cast<std::size_t>(n);
            const ssize_t escrito = ::sendmsg(fd, &mensaje, MSG_NOSIGNAL);
            if (escrito > 0) enviado += static_cast<std::size_t>(escrito);
            else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) enviando = false;
            if (enviado == total) enviando = false;
        }
        if (listos & (POLLIN | POLLERR | POLLHUP)) {
            const ssize_t leido = ::recv(fd, bloque, sizeof bloque, 0);
            if (leido < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
            if (leido < 0) return {};  // reset: whatever came is not a whole answer
            const auto estado = leido > 0 ? lector.agregar({bloque, static_cast<std::size_t>(leido)}) : lector.terminar();
            if (estado == LectorRespuesta::Estado::invalida) return {};
            if (estado == LectorRespuesta::Estado::completa)
                return resultadoHTTP(lector.codigo(), std::move(lector.cuerpo()));
        }
    }
}

}  // namespace

Reenvio reenviar(std::string_view mensaje) {
    const auto conexion = ConexionTarvel::leer();
    if (!conexion) return {};
    const auto ruta = rutaDe(*conexion);
    if (!ruta) return {};
    const auto plazo = Reloj::now() + tiempoLimite;
    Enchufe enchufe;
    if (enchufe.fd() < 0 || !conectar(enchufe.fd(), conexion->puerto, plazo)) return {};
    int uno = 1;
    ::setsockopt(enchufe.fd(), IPPROTO_TCP, TCP_NODELAY, &uno, sizeof uno);
    const std::string cabecera = "POST " + *ruta + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(conexion->puerto) +
                                 "\r\nContent-Type: application/json\r\nContent-Length: " +
                                 std::to_string(mensaje.size()) + "\r\nConnection: close\r\n\r\n";
    return intercambiar(enchufe.fd(), cabecera, mensaje, plazo);
}

}  // namespace sorvenia::puente
