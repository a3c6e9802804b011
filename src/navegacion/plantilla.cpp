#include "navegacion/plantilla.h"

#include <fstream>
#include <iterator>

#include "plataforma/recursos.h"

namespace sorvenia {

const std::vector<Plantilla>& Plantilla::todas() {
    static const std::vector<Plantilla> tabla{
        {"web", "Página web", 1440, 900, true},
        {"webmovil", "Web móvil", 390, 844, true},
        {"escritorio", "Pantalla", 1440, 900, false},
        {"tableta", "Tableta", 834, 1194, false},
        {"movil", "Móvil", 390, 844, false},
        {"redes", "Post redes", 1080, 1350, false},
        {"presentacion", "Diapositiva", 1920, 1080, false},
        {"aplicacion", "Aplicación", 1440, 900, true},
        {"appmovil", "App de móvil", 390, 844, false},
    };
    return tabla;
}

std::optional<Plantilla> Plantilla::buscar(std::string_view id) {
    for (const auto& p : todas())
        if (p.id == id) return p;
    return std::nullopt;
}

const Plantilla& Plantilla::conId(std::string_view id) {
    for (const auto& p : todas())
        if (p.id == id) return p;
    return web();
}

const Plantilla& Plantilla::web() { return todas().front(); }

Plantilla Plantilla::bienvenida() { return {"bienvenida", "Bienvenida", 1440, 900, true}; }

std::optional<nlohmann::json> Plantilla::documentoInicial() const {
    const auto archivo = Recursos::ruta("plantillas/" + id + ".json");
    if (!archivo) return std::nullopt;
    std::ifstream entrada(*archivo, std::ios::binary);
    if (!entrada) return std::nullopt;
    auto doc = nlohmann::json::parse(std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>(), nullptr,
                                     false);
    if (doc.is_discarded() || !doc.is_object()) return std::nullopt;
    return doc;
}

}  // namespace sorvenia
