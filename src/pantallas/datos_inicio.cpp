#include "pantallas/datos_inicio.h"

#include <ctime>

#include "cuenta/cuenta.h"

namespace sorvenia::DatosInicio {
namespace {

using Json = nlohmann::json;

Json disenos(const std::vector<DisenoResumen>& lista) {
    Json r = Json::array();
    for (const auto& d : lista)
        r.push_back({{"id", d.id}, {"nombre", d.nombre}, {"modificado", d.modificado},
                     {"miniatura", d.miniatura.value_or("")}});
    return r;
}

Json ias(const std::vector<IA>& lista) {
    Json r = Json::array();
    for (const auto& ia : lista) r.push_back({{"id", ia.id()}, {"nombre", ia.nombre}, {"sesion", ia.sesion}});
    return r;
}

}  // namespace

Json datos(const Fuentes& f) {
    Json d = {
        {"disenos", disenos(f.disenos)},
        {"logo", "logos/sorvenia.svg"},
        {"ias", ias(f.ias)},
        {"iasListas", f.iasListas},
        {"sinSubir", Json::array()},
        {"error", f.error ? Json(*f.error) : Json(nullptr)},
        {"integraciones", f.integraciones},
        {"trabajos", f.trabajos},
    };
    if (f.cliente) d["cliente"] = {{"nombre", f.cliente->nombre}, {"email", f.cliente->email}};
    if (auto ia = iaActual(f.ias)) d["ia"] = std::move(*ia);
    for (const auto& c : f.copias) d["sinSubir"].push_back(copia(c));
    if (f.actualizacion) d["actualizacion"] = {{"version", *f.actualizacion}};
    return d;
}

std::optional<Json> iaActual(const std::vector<IA>& lista) {
    if (lista.empty()) return std::nullopt;
    const IA* elegida = &lista.front();
    for (const auto& ia : lista) {
        if (!ia.sesion) continue;
        elegida = &ia;
        break;
    }
    return Json{{"nombre", elegida->nombre}, {"logo", logo(elegida->tipo)}, {"lista", elegida->sesion}};
}

Json copia(const CopiaLocal& c) {
    return {{"archivo", Cuenta::nombreCopia(c.id, c.ref)},
            {"nombre", c.nombre},
            {"nuevo", !c.id.has_value()},
            {"abrir", true},
            {"fecha", fechaCopia(c.fecha)}};
}

std::string fechaCopia(CopiaLocal::Fecha fecha) {
    const auto segundos = std::chrono::floor<std::chrono::seconds>(fecha);
    const std::time_t t = std::chrono::system_clock::to_time_t(segundos);
    std::tm utc{};
    if (gmtime_r(&t, &utc) == nullptr) return "";
    char texto[40];
    const std::size_t n = std::strftime(texto, sizeof texto, "%Y-%m-%d %H:%M:%S", &utc);
    return std::string(texto, n);
}

std::string logo(IA::Tipo tipo) {
    switch (tipo) {
        case IA::Tipo::claude: return "logos/claude.png";
        case IA::Tipo::codex: return "logos/chatgpt.png";
        case IA::Tipo::gemini: return "logos/gemini.png";
    }
    return "";
}

std::optional<std::string> paginaDescarga(std::string_view id) {
    if (id == "claude") return "https://claude.ai/download";
    if (id == "codex") return "https://chatgpt.com/download";
    if (id == "gemini") return "https://github.com/google-gemini/gemini-cli";
    return std::nullopt;
}

}  // namespace sorvenia::DatosInicio
