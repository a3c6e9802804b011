#include "aplicaciones/lecturas_ejecucion.h"

#include <nlohmann/json.hpp>

namespace sorvenia::LecturasEjecucion {
namespace {

nlohmann::json objeto(std::string_view texto) {
    nlohmann::json j = nlohmann::json::parse(texto.begin(), texto.end(), nullptr, false);
    return j.is_object() ? j : nlohmann::json::object();
}

}  // namespace

bool hayDependencias(std::string_view paquete) {
    const auto j = objeto(paquete);
    const auto it = j.find("dependencies");
    return it != j.end() && it->is_object() && !it->empty();
}

bool hayPruebas(std::string_view paquete) {
    const auto j = objeto(paquete);
    const auto it = j.find("scripts");
    return it != j.end() && it->is_object() && it->contains("test");
}

}  // namespace sorvenia::LecturasEjecucion
