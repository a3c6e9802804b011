#include "utiles.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "comun/utf8.h"

namespace sorvenia::cuenta_local {
namespace {

std::array<unsigned char, 32> resumen(std::string_view bytes) {
    std::array<unsigned char, 32> salida{};
    unsigned int largo = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), salida.data(), &largo, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 failed");
    return salida;
}

std::vector<unsigned char> azar(std::size_t n) {
    std::vector<unsigned char> bytes(n);
    if (n > 0 && RAND_bytes(bytes.data(), static_cast<int>(n)) != 1) throw std::runtime_error("no random bytes");
    return bytes;
}

std::string hex(const unsigned char* datos, std::size_t n) {
    static constexpr char digitos[] = "0123456789abcdef";
    std::string salida;
    salida.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        salida.push_back(digitos[datos[i] >> 4]);
        salida.push_back(digitos[datos[i] & 0xF]);
    }
    return salida;
}

std::string base64url(const unsigned char* datos, std::size_t n) {
    std::string salida(4 * ((n + 2) / 3) + 1, '\0');
    const int largo = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(salida.data()), datos, static_cast<int>(n));
    salida.resize(static_cast<std::size_t>(largo));
    for (char& c : salida) {
        if (c == '+') c = '-';
        if (c == '/') c = '_';
    }
    while (!salida.empty() && salida.back() == '=') salida.pop_back();
    return salida;
}

}  // namespace

std::string sha256Hex(std::string_view bytes) {
    const auto r = resumen(bytes);
    return hex(r.data(), r.size());
}

std::string retoDe(std::string_view verificador) {
    const auto r = resumen(verificador);
    return base64url(r.data(), r.size());
}

std::string azarUrl(std::size_t n) {
    const auto bytes = azar(n);
    return base64url(bytes.data(), bytes.size());
}

std::string azarHex(std::size_t n) {
    const auto bytes = azar(n);
    return hex(bytes.data(), bytes.size());
}

std::string fechaTexto(std::int64_t segundos) {
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()) +
                          static_cast<std::time_t>(segundos);
    std::tm partes{};
    gmtime_r(&t, &partes);
    char texto[32];
    std::strftime(texto, sizeof texto, "%Y-%m-%d %H:%M:%S", &partes);
    return texto;
}

std::optional<std::string> leerFichero(const std::filesystem::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    if (!entrada) return std::nullopt;
    std::ostringstream contenido;
    contenido << entrada.rdbuf();
    if (entrada.bad()) return std::nullopt;
    return std::move(contenido).str();
}

bool escribirFichero(const std::filesystem::path& ruta, std::string_view bytes) {
    std::error_code error;
    std::filesystem::create_directories(ruta.parent_path(), error);
    const auto temporal = ruta.parent_path() / ("." + ruta.filename().string() + "." + azarHex(6));
    {
        std::ofstream salida(temporal, std::ios::binary | std::ios::trunc);
        salida.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!salida.flush()) {
            std::filesystem::remove(temporal, error);
            return false;
        }
    }
    std::filesystem::rename(temporal, ruta, error);
    if (error) std::filesystem::remove(temporal, error);
    return !error;
}

bool rutaRelativaSegura(std::string_view ruta, bool vaciaVale) {
    if (ruta.empty()) return vaciaVale;
    if (ruta.front() == '/' || ruta.find('\\') != std::string_view::npos || ruta.find('\0') != std::string_view::npos)
        return false;
    std::size_t inicio = 0;
    while (inicio <= ruta.size()) {
        const auto fin = std::min(ruta.find('/', inicio), ruta.size());
        const auto segmento = ruta.substr(inicio, fin - inicio);
        if (segmento.empty() || segmento == "." || segmento == "..") return false;
        inicio = fin + 1;
    }
    return true;
}

std::string escaparHTML(std::string_view texto) {
    std::string salida;
    for (const char c : texto) {
        switch (c) {
            case '&': salida += "&amp;"; break;
            case '<': salida += "&lt;"; break;
            case '>': salida += "&gt;"; break;
            case '"': salida += "&quot;"; break;
            case '\'': salida += "&#39;"; break;
            default: salida.push_back(c);
        }
    }
    return salida;
}

bool esUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto largo = longitudSecuencia(bytes.substr(i));
        if (largo == 0) return false;
        i += largo;
    }
    return true;
}

}  // namespace sorvenia::cuenta_local
