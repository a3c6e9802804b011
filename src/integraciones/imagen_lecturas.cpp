#include "integraciones/imagen_lecturas.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "integraciones/fotos_lecturas.h"

namespace sorvenia::Imagenes {
namespace {

using Json = nlohmann::json;

Json objetoDe(std::string_view cuerpo) {
    auto j = BuscarFotos::leerJson(cuerpo);
    return j && j->is_object() ? std::move(*j) : Json::object();
}

const Json* miembro(const Json& o, const char* clave) {
    if (!o.is_object()) return nullptr;
    const auto it = o.find(clave);
    return it == o.end() ? nullptr : &*it;
}

std::optional<std::string> texto(const Json& o, const char* clave) {
    const Json* v = miembro(o, clave);
    return v && v->is_string() ? std::optional(v->get<std::string>()) : std::nullopt;
}

// The text "message" of the object "error".
std::optional<std::string> mensajeError(const Json& o) {
    const Json* e = miembro(o, "error");
    return e ? texto(*e, "message") : std::nullopt;
}

bool tipoImagen(std::string_view t) {
    if (!t.starts_with("image/") || t.size() == 6 || t.size() > 60) return false;
    return std::all_of(t.begin() + 6, t.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
    });
}

}  // namespace

std::string aspectoFal(std::int64_t ancho, std::int64_t alto) {
    const double r = static_cast<double>(ancho) / static_cast<double>(std::max<std::int64_t>(alto, 1));
    if (r > 1.6) return "16:9";
    if (r > 1.2) return "4:3";
    if (r > 0.9) return "1:1";
    if (r > 0.7) return "3:4";
    return "9:16";
}

std::string tamanoOpenAI(std::int64_t ancho, std::int64_t alto) {
    // Five times a side past the 64-bit range counts as the largest.
    auto cincoCuartos = [](std::int64_t v) {
        if (v > INT64_MAX / 5) return INT64_MAX / 4;
        if (v < INT64_MIN / 5) return INT64_MIN / 4;
        return v * 5 / 4;
    };
    if (cincoCuartos(alto) < ancho) return "1536x1024";
    if (cincoCuartos(ancho) < alto) return "1024x1536";
    return "1024x1024";
}

std::optional<std::string> urlDatos(std::string_view tipo, std::string_view datos) {
    if (datos.empty()) return std::nullopt;
    const bool limpio = std::all_of(datos.begin(), datos.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
               c == '=';
    });
    if (!limpio) return std::nullopt;
    return "data:" + std::string(tipoImagen(tipo) ? tipo : "image/png") + ";base64," + std::string(datos);
}

Lectura leerFal(std::string_view cuerpo) {
    const Json o = objetoDe(cuerpo);
    if (const Json* imagenes = miembro(o, "images"); imagenes && imagenes->is_array())
        for (const auto& i : *imagenes)
            if (const auto url = texto(i, "url")) {
                // The one address that reaches the agent's markup as it is.
                if (BuscarFotos::direccionSegura(*url) && url->starts_with("https://")) return {*url, std::nullopt};
                break;
            }
    return {std::nullopt, texto(o, "detail")};
}

Lectura leerOpenAI(std::string_view cuerpo) {
    const Json o = objetoDe(cuerpo);
    if (const Json* datos = miembro(o, "data"); datos && datos->is_array() && !datos->empty())
        if (const auto b64 = texto((*datos)[0], "b64_json"))
            if (auto src = urlDatos("image/png", *b64)) return {std::move(src), std::nullopt};
    return {std::nullopt, mensajeError(o)};
}

Lectura leerGemini(std::string_view cuerpo) {
    const Json o = objetoDe(cuerpo);
    const Json* candidatos = miembro(o, "candidates");
    if (candidatos && candidatos->is_array() && !candidatos->empty()) {
        const Json* contenido = miembro((*candidatos)[0], "content");
        const Json* partes = contenido ? miembro(*contenido, "parts") : nullptr;
        if (partes && partes->is_array())
            for (const auto& parte : *partes) {
                const Json* datos = miembro(parte, "inlineData");
                if (!datos) datos = miembro(parte, "inline_data");
                if (!datos || !datos->is_object()) continue;
                const std::string tipo =
                    texto(*datos, "mimeType").value_or(texto(*datos, "mime_type").value_or("image/png"));
                if (auto src = urlDatos(tipo, texto(*datos, "data").value_or("")))
                    return {std::move(src), std::nullopt};
                break;
            }
    }
    return {std::nullopt, mensajeError(o)};
}

}  // namespace sorvenia::Imagenes
