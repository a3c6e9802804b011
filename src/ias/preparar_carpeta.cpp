#include "ias/preparar_carpeta.h"

#include <array>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "plataforma/fichero_privado.h"
#include "plataforma/recursos.h"

namespace sorvenia::IAsLocales {
namespace fs = std::filesystem;

const std::string textoFijoEncargo =
    "# Sorvenia Code\n\nEstás diseñando dentro de Sorvenia Code. Antes de nada "
    "usa la skill `tarvel-sorvenia`\n"
    "(formato de respuesta obligatorio) y después aplica, por este orden, "
    "`nivel-agencia`,\n"
    "`territorios-visuales`, `sistema-visual`, `copy-es` y `sectores`. Las "
    "tienes en\n"
    "`.claude/skills/` (y copiadas en `skills/`). Para secciones concretas "
    "mira `secciones-web`\n"
    "y `landing-page`; para móvil, `movil-y-accesible`; para revisar una "
    "captura, `revisar-mockup`.\n\n"
    "Tu respuesta final es SIEMPRE un único fragmento HTML con estilos en "
    "línea, sin texto alrededor.";

namespace {

// The skills whose texts follow the fixed opening, in this order.
constexpr std::array<const char*, 5> skillsDelEncargo = {"tarvel-sorvenia", "nivel-agencia", "territorios-visuales",
                                                         "sistema-visual", "copy-es"};

std::optional<std::string> leer(const fs::path& fichero) {
    std::ifstream entrada(fichero, std::ios::binary);
    if (!entrada) return std::nullopt;
    std::string texto((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
    if (entrada.bad()) return std::nullopt;
    return texto;
}

// Read through the folder's own link, as the tools will read them.
std::string encargo(const fs::path& carpeta) {
    std::string texto = textoFijoEncargo;
    for (const char* skill : skillsDelEncargo) {
        const auto contenido = leer(carpeta / "skills" / skill / "SKILL.md");
        if (!contenido) break;
        texto += "\n\n---\n\n" + *contenido;
    }
    return texto;
}

Fallo falloArchivo(const fs::path& ruta, const std::error_code& ec) {
    return Fallo{"No se ha podido preparar «" + ruta.string() + "»: " + ec.message() + ".", "fichero"};
}

}  // namespace

namespace detalle {

Resultado<CarpetaTemporal> prepararCarpetaCon(const std::optional<fs::path>& skills) {
    auto carpeta = CarpetaTemporal::crear("tarvel-ia-");
    if (!carpeta) return carpeta.fallo();
    const fs::path raiz = carpeta->ruta();
    std::error_code ec;
    fs::create_directory(raiz / ".claude", ec);
    if (ec) return falloArchivo(raiz / ".claude", ec);
    if (skills) {
        for (const fs::path& enlace : {raiz / ".claude" / "skills", raiz / "skills"}) {
            fs::create_directory_symlink(*skills, enlace, ec);
            if (ec) return falloArchivo(enlace, ec);
        }
    }
    const std::string texto = encargo(raiz);
    for (const char* nombre : {"CLAUDE.md", "AGENTS.md", "GEMINI.md"})
        if (auto escrito = escribirPrivado(raiz / nombre, texto); !escrito) return escrito.fallo();
    return std::move(*carpeta);
}

}  // namespace detalle

Resultado<CarpetaTemporal> prepararCarpeta() { return detalle::prepararCarpetaCon(Recursos::ruta("skills")); }

}  // namespace sorvenia::IAsLocales
