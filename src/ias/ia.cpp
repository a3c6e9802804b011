#include "ias/ia.h"

#include "ias/icono.h"
#include "ias/modelos.h"

namespace sorvenia {

std::string_view IA::texto(Tipo tipo) {
    switch (tipo) {
        case Tipo::claude: return "claude";
        case Tipo::codex: return "codex";
        case Tipo::gemini: return "gemini";
    }
    return "claude";
}

std::optional<IA::Tipo> IA::tipoDesde(std::string_view texto) {
    for (const Tipo t : {Tipo::claude, Tipo::codex, Tipo::gemini})
        if (IA::texto(t) == texto) return t;
    return std::nullopt;
}

void to_json(nlohmann::json& destino, const IA& ia) {
    destino = nlohmann::json::object();
    destino["tipo"] = ia.id();
    destino["nombre"] = ia.nombre;
    destino["detalle"] = ia.detalle;
    if (ia.ruta) destino["ruta"] = *ia.ruta;
    destino["sesion"] = ia.sesion;
}

std::optional<IA> iaDesdeJson(const nlohmann::json& valor) {
    if (!valor.is_object()) return std::nullopt;
    const auto texto = [&](const char* clave) -> const std::string* {
        const auto it = valor.find(clave);
        return it != valor.end() && it->is_string() ? it->get_ptr<const std::string*>() : nullptr;
    };
    const auto* tipo = texto("tipo");
    const auto* nombre = texto("nombre");
    const auto* detalle = texto("detalle");
    const auto sesion = valor.find("sesion");
    if (tipo == nullptr || nombre == nullptr || detalle == nullptr || sesion == valor.end() || !sesion->is_boolean())
        return std::nullopt;
    const auto t = IA::tipoDesde(*tipo);
    if (!t) return std::nullopt;
    IA ia{*t, *nombre, *detalle, std::nullopt, sesion->get<bool>()};
    if (const auto ruta = valor.find("ruta"); ruta != valor.end() && !ruta->is_null()) {
        if (!ruta->is_string()) return std::nullopt;
        ia.ruta = ruta->get<std::string>();
    }
    return ia;
}

void from_json(const nlohmann::json& valor, IA& destino) {
    auto ia = iaDesdeJson(valor);
    if (!ia) throw nlohmann::json::other_error::create(501, "no es una herramienta de IA", &valor);
    destino = std::move(*ia);
}

namespace IAsLocales {

nlohmann::json json(const std::vector<IA>& lista) {
    auto paginas = nlohmann::json::array();
    for (const auto& ia : lista) {
        const std::string id = ia.id();
        paginas.push_back({
            {"id", id},
            {"nombre", ia.nombre},
            {"detalle", ia.detalle},
            {"sesion", ia.sesion},
            {"icono", icono(ia.tipo).value_or("")},
            {"modelo", modelo(id)},
            {"modelos", modelos(ia.tipo)},
        });
    }
    return paginas;
}

}  // namespace IAsLocales

}  // namespace sorvenia
