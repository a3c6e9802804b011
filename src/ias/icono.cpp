#include "ias/icono.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "comun/conexion_tarvel.h"
#include "plataforma/cripto.h"

namespace sorvenia::IAsLocales {
namespace {

constexpr std::uintmax_t tamanoMaximo = 1u << 20;
constexpr std::uint32_t lado = 64;

std::uint32_t bigEndian(const std::string& bytes, std::size_t en) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[en + i]);
    return v;
}

// A PNG whose header chunk says 64 × 64 pixels.
bool esPng64(const std::string& bytes) {
    static constexpr std::array<unsigned char, 8> firma{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 24) return false;
    for (std::size_t i = 0; i < firma.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) != firma[i]) return false;
    return bigEndian(bytes, 8) == 13 && bytes.compare(12, 4, "IHDR") == 0 && bigEndian(bytes, 16) == lado &&
           bigEndian(bytes, 20) == lado;
}

std::optional<std::string> leerPng(const std::filesystem::path& fichero) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fichero, ec)) return std::nullopt;
    const auto tamano = std::filesystem::file_size(fichero, ec);
    if (ec || tamano > tamanoMaximo) return std::nullopt;
    std::ifstream entrada(fichero, std::ios::binary);
    if (!entrada) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
    if (entrada.bad() || bytes.size() > tamanoMaximo || !esPng64(bytes)) return std::nullopt;
    return bytes;
}

// The absolute folders of a colon-separated list; relative ones are ignored,
// as the XDG base-directory rules say.
void anadirAbsolutas(const std::string& lista, std::vector<std::filesystem::path>& destino) {
    std::size_t inicio = 0;
    while (inicio <= lista.size()) {
        const auto fin = std::min(lista.find(':', inicio), lista.size());
        const std::string pieza = lista.substr(inicio, fin - inicio);
        if (!pieza.empty() && pieza.front() == '/') destino.emplace_back(pieza);
        inicio = fin + 1;
    }
}

}  // namespace

namespace detalle {

std::vector<std::string> nombresDeIcono(IA::Tipo tipo) {
    switch (tipo) {
        case IA::Tipo::claude: return {"claude", "claude-desktop"};
        case IA::Tipo::codex: return {"chatgpt", "codex"};
        case IA::Tipo::gemini: return {"gemini", "google-chrome"};
    }
    return {};
}

std::vector<std::filesystem::path> carpetasDeDatos() {
    std::vector<std::filesystem::path> carpetas;
    const char* datos = std::getenv("XDG_DATA_HOME");
    if (datos != nullptr && datos[0] == '/') carpetas.emplace_back(datos);
    else carpetas.push_back(ConexionTarvel::casa() / ".local" / "share");
    const char* sistema = std::getenv("XDG_DATA_DIRS");
    std::vector<std::filesystem::path> delSistema;
    if (sistema != nullptr) anadirAbsolutas(sistema, delSistema);
    if (delSistema.empty()) delSistema = {"/usr/local/share", "/usr/share"};
    carpetas.insert(carpetas.end(), delSistema.begin(), delSistema.end());
    return carpetas;
}

std::optional<std::string> iconoEn(IA::Tipo tipo, const std::vector<std::filesystem::path>& carpetas) {
    for (const auto& nombre : nombresDeIcono(tipo)) {
        for (const auto& carpeta : carpetas) {
            const auto bytes = leerPng(carpeta / "icons" / "hicolor" / "64x64" / "apps" / (nombre + ".png"));
            if (!bytes) continue;
            const auto* datos = reinterpret_cast<const std::uint8_t*>(bytes->data());
            return "data:image/png;base64," + base64({datos, bytes->size()});
        }
    }
    return std::nullopt;
}

}  // namespace detalle

std::optional<std::string> icono(IA::Tipo tipo) {
    return detalle::iconoEn(tipo, detalle::carpetasDeDatos());
}

}  // namespace sorvenia::IAsLocales
