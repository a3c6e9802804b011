#include "plataforma/recursos.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "sorvenia_config.h"

namespace sorvenia::Recursos {
namespace fs = std::filesystem;

namespace detalle {

std::vector<fs::path> candidatas(const char* variable, const fs::path& compilados, const fs::path& fuente,
                                 const fs::path& ejecutable) {
    std::vector<fs::path> lista;
    std::error_code ec;
    if (variable != nullptr && *variable != '\0') {
        fs::path absoluta = fs::absolute(variable, ec);  // the working folder may change later
        lista.push_back(ec ? fs::path(variable) : absoluta);
    }
    if (!compilados.empty()) lista.push_back(compilados);
    if (!fuente.empty()) lista.push_back(fuente / "resources");
    if (!ejecutable.empty())
        lista.push_back((ejecutable.parent_path() / ".." / "share" / "sorvenia-tarvel" / "resources").lexically_normal());
    return lista;
}

std::optional<fs::path> primera(const std::vector<fs::path>& lista) {
    for (const fs::path& candidata : lista) {
        std::error_code ec;
        if (!fs::is_directory(candidata, ec)) continue;
        fs::path canonica = fs::canonical(candidata, ec);
        return ec ? candidata : canonica;
    }
    return std::nullopt;
}

std::optional<fs::path> bajo(const std::optional<fs::path>& raiz, std::string_view relativa) {
    if (!raiz) return std::nullopt;
    fs::path parte(relativa);
    if (parte.is_absolute() || std::any_of(parte.begin(), parte.end(), [](const fs::path& p) { return p == ".."; }))
        return std::nullopt;
    fs::path completa = *raiz / parte;
    std::error_code ec;
    if (!fs::exists(completa, ec)) return std::nullopt;
    return completa;
}

}  // namespace detalle

std::optional<fs::path> carpeta() {
    static const std::optional<fs::path> valor = [] {
#ifdef SORVENIA_FUENTE
        const fs::path fuente = SORVENIA_FUENTE;
#else
        const fs::path fuente;
#endif
        const fs::path compilados = SORVENIA_RECURSOS_COMPILADOS;
        std::error_code ec;
        fs::path ejecutable = fs::read_symlink("/proc/self/exe", ec);
        return detalle::primera(detalle::candidatas(std::getenv("SORVENIA_RECURSOS"), compilados, fuente,
                                                   ec ? fs::path() : ejecutable));
    }();
    return valor;
}

std::optional<fs::path> ruta(std::string_view relativa) { return detalle::bajo(carpeta(), relativa); }

}  // namespace sorvenia::Recursos
