#include "fotos_prueba.h"

#include <arpa/inet.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <regex>
#include <stdexcept>

namespace sorvenia::prueba {
namespace {

std::uint32_t crc32(const std::string& datos) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char ch : datos) {
        c ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

void escribirBE(std::string& s, std::size_t en, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[en + static_cast<std::size_t>(i)] = static_cast<char>(v >> (24 - 8 * i));
}

}  // namespace

std::string imagenDe(int w, int h, const std::string& tipo, std::uint32_t color) {
    GdkPixbuf* p = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h);
    gdk_pixbuf_fill(p, (color << 8) | 0xFFu);
    if (tipo == "png" && w >= 4 && h >= 4) {
        GdkPixbuf* blanco = gdk_pixbuf_new_subpixbuf(p, w / 4, 0, w / 2, h / 2);
        gdk_pixbuf_fill(blanco, 0xFFFFFFFFu);
        g_object_unref(blanco);
    }
    gchar* bytes = nullptr;
    gsize largo = 0;
    const gboolean ok = gdk_pixbuf_save_to_buffer(p, &bytes, &largo, tipo.c_str(), nullptr, nullptr);
    g_object_unref(p);
    if (!ok) throw std::runtime_error("no se pudo codificar la imagen de prueba");
    std::string r(bytes, largo);
    g_free(bytes);
    return r;
}

std::string pngQueDeclara(int w, int h) {
    std::string png = imagenDe(8, 8, "png");
    // The IHDR chunk: length at 8, type at 12, width at 16, height at 20,
    // its CRC over type and data at 29.
    escribirBE(png, 16, static_cast<std::uint32_t>(w));
    escribirBE(png, 20, static_cast<std::uint32_t>(h));
    escribirBE(png, 29, crc32(png.substr(12, 17)));
    return png;
}

Proveedores::Proveedores() : servidor_([this](const PeticionHTTP& p) { return responder(p); }) {}

std::vector<PeticionHTTP> Proveedores::a(const std::string& ruta) const {
    std::vector<PeticionHTTP> lista;
    for (auto& p : peticiones())
        if (p.ruta.substr(0, p.ruta.find('?')) == ruta) lista.push_back(p);
    return lista;
}

std::map<std::string, std::string> Proveedores::consulta(const std::string& ruta) {
    std::map<std::string, std::string> items;
    const auto q = ruta.find('?');
    if (q == std::string::npos) return items;
    std::string resto = ruta.substr(q + 1);
    std::size_t desde = 0;
    while (desde <= resto.size()) {
        std::size_t hasta = resto.find('&', desde);
        if (hasta == std::string::npos) hasta = resto.size();
        const std::string item = resto.substr(desde, hasta - desde);
        const auto igual = item.find('=');
        char* n = g_uri_unescape_string(item.substr(0, igual).c_str(), nullptr);
        char* v = g_uri_unescape_string(igual == std::string::npos ? "" : item.substr(igual + 1).c_str(), nullptr);
        items[n ? n : ""] = v ? v : "";
        g_free(n);
        g_free(v);
        desde = hasta + 1;
    }
    return items;
}

void Proveedores::fijar(const std::string& ruta, std::string respuestaCruda) {
    std::lock_guard bloqueo(mutex_);
    rutas_[ruta] = std::move(respuestaCruda);
}

void Proveedores::fijarJson(const std::string& ruta, const nlohmann::json& cuerpo, int status) {
    fijar(ruta, ServidorHTTPPrueba::respuesta(status, cuerpo.dump()));
}

std::string Proveedores::responder(const PeticionHTTP& p) {
    const std::string ruta = p.ruta.substr(0, p.ruta.find('?'));
    {
        std::lock_guard bloqueo(mutex_);
        if (const auto it = rutas_.find(ruta); it != rutas_.end()) return it->second;
    }
    static const std::regex imagen(R"(.*/img/(\d+)x(\d+)\.(jpg|png))");
    std::smatch m;
    if (std::regex_match(ruta, m, imagen)) {
        const bool png = m[3] == "png";
        return ServidorHTTPPrueba::respuesta(200, imagenDe(std::stoi(m[1]), std::stoi(m[2]), png ? "png" : "jpeg"),
                                             png ? "image/png" : "image/jpeg");
    }
    return ServidorHTTPPrueba::respuesta(404, "no", "text/plain");
}

ServidorSinFin::ServidorSinFin(std::string tipo) : tipo_(std::move(tipo)) {
    escucha_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in direccion{};
    direccion.sin_family = AF_INET;
    direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (escucha_ < 0 || bind(escucha_, reinterpret_cast<sockaddr*>(&direccion), sizeof direccion) != 0 ||
        listen(escucha_, 64) != 0)
        throw std::runtime_error("no se pudo abrir el servidor sin fin");
    socklen_t largo = sizeof direccion;
    getsockname(escucha_, reinterpret_cast<sockaddr*>(&direccion), &largo);
    puerto_ = ntohs(direccion.sin_port);
    hilo_ = std::thread([this] { servir(); });
}

ServidorSinFin::~ServidorSinFin() {
    parar_ = true;
    hilo_.join();
    for (auto& c : conexiones_) c.join();
    close(escucha_);
}

void ServidorSinFin::servir() {
    while (!parar_) {
        pollfd espera{escucha_, POLLIN, 0};
        if (poll(&espera, 1, 50) <= 0) continue;
        const int conexion = accept4(escucha_, nullptr, nullptr, SOCK_CLOEXEC);
        if (conexion < 0) continue;
        std::lock_guard bloqueo(mutex_);
        conexiones_.emplace_back([this, conexion] {
            std::array<char, 4096> entrada{};
            (void)recv(conexion, entrada.data(), entrada.size(), 0);
            const std::string cabeza = "HTTP/1.1 200 OK\r\nContent-Type: " + tipo_ + "\r\nConnection: close\r\n\r\n";
            std::string bloque(64 * 1024, 'a');
            bool bien = send(conexion, cabeza.data(), cabeza.size(), MSG_NOSIGNAL) > 0;
            while (bien && !parar_) {
                const ssize_t n = send(conexion, bloque.data(), bloque.size(), MSG_NOSIGNAL);
                bien = n > 0;
                if (bien) enviados_ += static_cast<std::uint64_t>(n);
            }
            close(conexion);
        });
    }
}

long picoMemoriaMiB() {
    std::ifstream estado("/proc/self/status");
    std::string linea;
    while (std::getline(estado, linea))
        if (linea.starts_with("VmHWM:")) return std::stol(linea.substr(6)) / 1024;
    return -1;
}

}  // namespace sorvenia::prueba
