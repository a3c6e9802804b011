#include "pantallas/gui/elegir_fuentes.h"

#include "plataforma/gui/elegir_rutas.h"

namespace sorvenia {

Tarea<std::optional<std::vector<std::string>>> elegirFuentes(GtkWindow* padre) {
    PeticionRutas peticion;
    peticion.titulo = "Añadir fuentes";
    peticion.boton = "Añadir";
    peticion.varios = true;
    peticion.nombreFiltro = "Fuentes (.ttf, .otf, .woff o .woff2)";
    peticion.patrones = {"*.ttf", "*.TTF", "*.otf", "*.OTF", "*.woff", "*.WOFF", "*.woff2", "*.WOFF2"};
    const auto rutas = co_await elegirRutas(padre, std::move(peticion));
    if (!rutas) co_return std::nullopt;
    std::vector<std::string> r;
    for (const auto& ruta : *rutas) r.push_back(ruta.string());
    co_return r;
}

}  // namespace sorvenia
