// The app brief and the claude sessions folder of a working folder.
#include <cstdlib>
#include <system_error>

#include "centro/agente.h"
#include "comun/conexion_tarvel.h"

namespace sorvenia::Agente {
namespace fs = std::filesystem;

namespace {

bool letraOCifraAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// One "-" per Unicode scalar that is not an ASCII letter or digit; the
// continuation bytes of a UTF-8 sequence add nothing.
std::string nombreDeRuta(const std::string& ruta) {
    std::string nombre;
    nombre.reserve(ruta.size());
    for (char letra : ruta) {
        const auto c = static_cast<unsigned char>(letra);
        if (letraOCifraAscii(c))
            nombre += letra;
        else if ((c & 0xC0) != 0x80)
            nombre += '-';
    }
    return nombre;
}

fs::path configuracionClaude() {
    const char* propia = std::getenv("CLAUDE_CONFIG_DIR");
    if (propia == nullptr || *propia == '\0') return ConexionTarvel::casa() / ".claude";
    const std::string valor = propia;
    if (valor == "~") return ConexionTarvel::casa();
    if (valor.starts_with("~/")) return ConexionTarvel::casa() / valor.substr(2);
    return valor;
}

}  // namespace

std::string encargoApp(const DestinoApp& app) {
    std::string texto = "[MODO ";
    texto += app.movil ? "APP DE MÓVIL" : "APLICACIÓN";
    texto += " · carpeta del proyecto: " + app.carpeta.string();
    texto +=
        " (es tu directorio de trabajo). Sigue CLAUDE.md de la carpeta y el "
        "método de Superpowers. El cliente te "
        "habla por este chat y no es técnico.";
    if (app.desplegada)
        texto +=
            " La aplicación YA ESTÁ PUBLICADA con datos reales: ningún cambio "
            "puede perder datos.";
    if (app.movil) texto += " " + *app.movil;
    return texto + "]";
}

std::optional<std::string> nombreDeSesiones(const fs::path& trabajo) {
    // The real path may be as long as the system allows (PATH_MAX on Linux,
    // more than any fixed buffer of ours): the library sizes it.
    std::error_code ec;
    const fs::path real = fs::canonical(trabajo, ec);
    if (ec) return std::nullopt;
    return nombreDeRuta(real.string());
}

std::optional<std::string> carpetaDeSesiones(const fs::path& trabajo) {
    const auto nombre = nombreDeSesiones(trabajo);
    if (!nombre) return std::nullopt;
    const fs::path sesiones = configuracionClaude() / "projects" / *nombre;
    std::error_code ec;
    fs::create_directories(sesiones, ec);
    if (ec) return std::nullopt;
    return sesiones.string();
}

}  // namespace sorvenia::Agente
