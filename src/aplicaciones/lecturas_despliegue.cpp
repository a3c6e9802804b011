#include "aplicaciones/lecturas_despliegue.h"

#include <array>
#include <utility>

namespace sorvenia::LecturasDespliegue {

std::optional<nlohmann::json> resultado(std::string_view salida) {
    std::size_t fin = salida.size();
    while (fin > 0) {
        const std::size_t salto = salida.rfind('\n', fin - 1);
        const std::size_t inicio = salto == std::string_view::npos ? 0 : salto + 1;
        const std::string_view linea = salida.substr(inicio, fin - inicio);
        if (linea.starts_with(prefijoResultado)) {
            auto valor = nlohmann::json::parse(linea.substr(prefijoResultado.size()), nullptr, false);
            if (valor.is_discarded() || !valor.is_object()) return std::nullopt;
            return valor;
        }
        if (salto == std::string_view::npos) break;
        fin = salto;
    }
    return std::nullopt;
}

std::string ultimosCaracteres(std::string_view texto, std::size_t n) {
    std::size_t i = texto.size();
    std::size_t caracteres = 0;
    while (i > 0 && caracteres < n) {
        --i;
        while (i > 0 && (static_cast<unsigned char>(texto[i]) & 0xC0) == 0x80) --i;
        ++caracteres;
    }
    return std::string(texto.substr(i));
}

namespace {

bool contiene(std::string_view texto, std::string_view trozo) { return texto.find(trozo) != std::string_view::npos; }

std::string_view sinBlancos(std::string_view t) {
    constexpr std::string_view blancos = " \t\r\n\v\f";
    const auto a = t.find_first_not_of(blancos);
    if (a == std::string_view::npos) return {};
    return t.substr(a, t.find_last_not_of(blancos) - a + 1);
}

}  // namespace

std::string motivoSSH(std::string_view salida) {
    // Case-sensitive on purpose: these are ssh's own messages, and the first
    // row that matches decides.
    if (contiene(salida, "Permission denied"))
        return "El VPS no acepta la llave de Sorvenia Code. Vuelve a conectarlo con la contraseña de root.";
    for (const std::string_view red : {"timed out", "refused", "No route", "Could not resolve"})
        if (contiene(salida, red)) return "El VPS no contesta por SSH (puerto 22). ¿Está encendido?";
    if (contiene(salida, "No space left")) return "El VPS no tiene espacio en disco.";
    return "No se ha podido hablar con el VPS: " + ultimosCaracteres(sinBlancos(salida), 200);
}

}  // namespace sorvenia::LecturasDespliegue
