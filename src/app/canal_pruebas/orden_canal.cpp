#include "app/canal_pruebas/orden_canal.h"

#include "comun/utf8.h"

namespace sorvenia::CanalPruebas {
namespace {

constexpr std::string_view marcaWeb = "// web:";
constexpr std::string_view nombrePorDefecto = "editor";

std::string_view recortar(std::string_view texto, std::string_view espacios) {
    const auto inicio = texto.find_first_not_of(espacios);
    if (inicio == std::string_view::npos) return {};
    const auto fin = texto.find_last_not_of(espacios);
    return texto.substr(inicio, fin - inicio + 1);
}

std::string_view primeraLineaNoVacia(std::string_view texto) {
    while (!texto.empty()) {
        const auto salto = texto.find('\n');
        const std::string_view linea = texto.substr(0, salto);
        if (!linea.empty()) return linea;
        if (salto == std::string_view::npos) break;
        texto.remove_prefix(salto + 1);
    }
    return {};
}

}  // namespace

std::string destinoOrden(std::string_view orden) {
    const std::string_view linea = primeraLineaNoVacia(orden);
    if (!linea.starts_with(marcaWeb)) return std::string(nombrePorDefecto);
    return std::string(recortar(linea.substr(marcaWeb.size()), " \t"));
}

std::string_view recortarPeticion(std::string_view peticion) { return recortar(peticion, " \t\r\n\v\f"); }

std::string destinoCaptura(std::string_view peticion) {
    const std::string_view nombre = recortarPeticion(peticion);
    return std::string(nombre.empty() ? nombrePorDefecto : nombre);
}

bool esUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t largo = longitudSecuencia(bytes);
        if (largo == 0) return false;
        bytes.remove_prefix(largo);
    }
    return true;
}

}  // namespace sorvenia::CanalPruebas
