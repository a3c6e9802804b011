#include "servidor_http_prueba.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace sorvenia::prueba {
namespace {

std::string minusculas(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string recortar(const std::string& s) {
    const auto inicio = s.find_first_not_of(" \t");
    const auto fin = s.find_last_not_of(" \t\r");
    return inicio == std::string::npos ? "" : s.substr(inicio, fin - inicio + 1);
}

bool enviarTodo(int fd, const std::string& datos) {
    std::size_t hecho = 0;
    while (hecho < datos.size()) {
        const ssize_t n = send(fd, datos.data() + hecho, datos.size() - hecho, MSG_NOSIGNAL);
        if (n <= 0) return false;
        hecho += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads one request; false when the peer closed before it was complete.
bool leerPeticion(int fd, PeticionHTTP& peticion) {
    std::string datos;
    char bloque[65536];
    std::size_t finCabecera = std::string::npos;
    std::size_t largo = 0;
    for (;;) {
        if (finCabecera == std::string::npos) {
            finCabecera = datos.find("\r\n\r\n");
            if (finCabecera != std::string::npos) {
                std::size_t linea = datos.find("\r\n");
                const std::string primera = datos.substr(0, linea);
                const auto espacio1 = primera.find(' ');
                const auto espacio2 = primera.find(' ', espacio1 + 1);
                peticion.metodo = primera.substr(0, espacio1);
                peticion.ruta = primera.substr(espacio1 + 1, espacio2 - espacio1 - 1);
                while (linea < finCabecera) {
                    const std::size_t siguiente = datos.find("\r\n", linea + 2);
                    const std::string cabecera = datos.substr(linea + 2, siguiente - linea - 2);
                    if (const auto dos = cabecera.find(':'); dos != std::string::npos)
                        peticion.cabeceras[minusculas(cabecera.substr(0, dos))] = recortar(cabecera.substr(dos + 1));
                    linea = siguiente;
                }
                if (auto it = peticion.cabeceras.find("content-length"); it != peticion.cabeceras.end())
                    largo = std::stoul(it->second);
            }
        }
        if (finCabecera != std::string::npos && datos.size() >= finCabecera + 4 + largo) {
            peticion.cuerpo = datos.substr(finCabecera + 4, largo);
            return true;
        }
        const ssize_t n = recv(fd, bloque, sizeof bloque, 0);
        if (n <= 0) return false;
        datos.append(bloque, static_cast<std::size_t>(n));
    }
}

}  // namespace

ServidorHTTPPrueba::ServidorHTTPPrueba(Respondedor respondedor) : respondedor_(std::move(respondedor)) {
    escucha_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in direccion{};
    direccion.sin_family = AF_INET;
    direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    direccion.sin_port = 0;
    if (escucha_ < 0 || bind(escucha_, reinterpret_cast<sockaddr*>(&direccion), sizeof direccion) != 0 ||
        listen(escucha_, 64) != 0)
        throw std::runtime_error("no se pudo abrir el servidor de prueba");
    socklen_t largo = sizeof direccion;
    getsockname(escucha_, reinterpret_cast<sockaddr*>(&direccion), &largo);
    puerto_ = ntohs(direccion.sin_port);
    hilo_ = std::thread([this] { servir(); });
}

ServidorHTTPPrueba::~ServidorHTTPPrueba() {
    parar_ = true;
    hilo_.join();
    close(escucha_);
}

std::vector<PeticionHTTP> ServidorHTTPPrueba::peticiones() const {
    std::lock_guard bloqueo(mutex_);
    return peticiones_;
}

std::string ServidorHTTPPrueba::respuesta(int status, const std::string& cuerpo, const std::string& tipo) {
    return "HTTP/1.1 " + std::to_string(status) + " Estado\r\nContent-Type: " + tipo +
           "\r\nContent-Length: " + std::to_string(cuerpo.size()) + "\r\nConnection: close\r\n\r\n" + cuerpo;
}

void ServidorHTTPPrueba::servir() {
    while (!parar_) {
        pollfd espera{escucha_, POLLIN, 0};
        if (poll(&espera, 1, 50) <= 0) continue;
        const int conexion = accept4(escucha_, nullptr, nullptr, SOCK_CLOEXEC);
        if (conexion < 0) continue;
        atender(conexion);
        close(conexion);
    }
}

void ServidorHTTPPrueba::atender(int conexion) {
    PeticionHTTP peticion;
    if (!leerPeticion(conexion, peticion)) return;
    {
        std::lock_guard bloqueo(mutex_);
        peticiones_.push_back(peticion);
    }
    if (!esperarRetraso(conexion)) return;
    const std::string respuesta = respondedor_(peticion);
    if (goteo_.load().count() > 0)
        enviarGoteando(conexion, respuesta);
    else
        enviarTodo(conexion, respuesta);
    shutdown(conexion, SHUT_WR);
}

void ServidorHTTPPrueba::enviarGoteando(int conexion, const std::string& datos) const {
    const auto fin = datos.find("\r\n\r\n");
    const std::size_t cabeza = fin == std::string::npos ? 0 : fin + 4;
    if (!enviarTodo(conexion, datos.substr(0, cabeza))) return;
    for (const char byte : datos.substr(cabeza)) {
        if (parar_ || !enviarTodo(conexion, std::string(1, byte))) return;
        const auto hasta = std::chrono::steady_clock::now() + goteo_.load();
        while (!parar_ && std::chrono::steady_clock::now() < hasta) {
            pollfd espera{conexion, POLLIN, 0};
            if (poll(&espera, 1, 10) > 0) {
                char leido;
                if (recv(conexion, &leido, 1, MSG_PEEK) <= 0) return;  // the client hung up
            }
        }
    }
}

bool ServidorHTTPPrueba::esperarRetraso(int conexion) const {
    const auto inicio = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < inicio + retraso_.load()) {
        if (parar_) return false;
        pollfd espera{conexion, POLLIN, 0};
        if (poll(&espera, 1, 10) > 0) {
            char byte;
            if (recv(conexion, &byte, 1, MSG_PEEK) <= 0) return false;  // the client hung up
        }
    }
    return true;
}

}  // namespace sorvenia::prueba
