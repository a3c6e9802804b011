// Image generation with the customer's keys: one request to the first
// provider whose key is stored, no polling, no retry.
#include <nlohmann/json.hpp>

#include "comun/utf8.h"
#include "cuenta/error_api.h"
#include "integraciones/imagen_lecturas.h"
#include "integraciones/servicio_clave.h"
#include "integraciones/servicios_cliente.h"
#include "plataforma/http.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

// A generated picture, Base64 in JSON, stays well below this.
constexpr std::size_t limiteImagen = 64u * 1024u * 1024u;

ErrorAPI sinClave() {
    return {"sin_clave",
            "Para generar imágenes conecta Gemini, " + std::string(Servicios::nombre(ServicioClave::fal)) +
                " u OpenAI con tu clave (IA e integraciones).",
            0};
}

// The provider's API host; fal's has no key check, so no base of its own
// there.
std::string base(ServicioClave s) {
    std::string b = Servicios::baseAPI(s);
    if (b.empty() && s == ServicioClave::fal) b = "https://fal.run";
    return b;
}

RespuestaHTTP enviar(std::string url, std::pair<std::string, std::string> autorizacion, const Json& cuerpo,
                     double segundos) {
    PeticionHTTP p;
    p.metodo = "POST";
    p.url = std::move(url);
    p.cabeceras = {std::move(autorizacion), {"Content-Type", "application/json"}};
    p.cuerpo = cuerpo.dump(-1, ' ', false, Json::error_handler_t::replace);
    p.tiempoLimite = segundos;
    p.tiempoTotal = segundos;
    p.limiteBytes = limiteImagen;
    // The key goes to this host only: no redirect is followed.
    p.seguirRedirecciones = false;
    auto r = pedir(p);
    if (!r) throw ErrorTransporte(r.fallo());
    return std::move(*r);
}

std::string conFal(const std::string& clave, const std::string& prompt, const std::optional<std::string>& imagen,
                   std::int64_t ancho, std::int64_t alto) {
    Json cuerpo = {{"prompt", prompt}, {"output_format", "jpeg"}};
    std::string ruta;
    if (imagen) {
        ruta = "/fal-ai/flux-pro/kontext/max";
        cuerpo["image_url"] = *imagen;
    } else {
        ruta = "/fal-ai/flux-pro/v1.1-ultra";
        cuerpo["aspect_ratio"] = Imagenes::aspectoFal(ancho, alto);
        cuerpo["raw"] = true;
    }
    const auto r = enviar(base(ServicioClave::fal) + ruta, {"Authorization", "Key " + clave}, cuerpo, 150);
    auto lectura = Imagenes::leerFal(r.cuerpo);
    if (lectura.src) return *lectura.src;
    // Without a "detail" text, the first 200 bytes of what came back.
    const std::string mensaje =
        lectura.mensaje ? *lectura.mensaje : repararUtf8(std::string_view(r.cuerpo).substr(0, 200));
    throw ErrorAPI(
        "fal", std::string(Servicios::nombre(ServicioClave::fal)) + " (" + std::to_string(r.status) + "): " + mensaje,
        0);
}

std::string conOpenAI(const std::string& clave, const std::string& prompt, std::int64_t ancho, std::int64_t alto) {
    const Json cuerpo = {
        {"model", "gpt-image-1"}, {"prompt", prompt}, {"size", Imagenes::tamanoOpenAI(ancho, alto)}, {"n", 1}};
    const auto r = enviar(base(ServicioClave::openai) + "/v1/images/generations", {"Authorization", "Bearer " + clave},
                          cuerpo, 180);
    auto lectura = Imagenes::leerOpenAI(r.cuerpo);
    if (lectura.src) return *lectura.src;
    throw ErrorAPI("openai", lectura.mensaje.value_or("OpenAI no ha devuelto imagen."), 0);
}

std::string conGemini(const std::string& clave, const std::string& prompt, const std::optional<std::string>& imagen) {
    Json partes = Json::array({{{"text", prompt}}});
    if (imagen && imagen->starts_with("data:") && imagen->find(',') != std::string::npos) {
        const std::size_t coma = imagen->find(',');
        const std::size_t puntoYComa = imagen->find(';');
        const std::size_t finTipo = puntoYComa < coma ? puntoYComa : coma;
        partes.push_back(
            {{"inline_data", {{"mime_type", imagen->substr(5, finTipo - 5)}, {"data", imagen->substr(coma + 1)}}}});
    }
    const Json cuerpo = {{"contents", Json::array({{{"parts", partes}}})}};
    for (const char* modelo : {"gemini-3-pro-image-preview", "gemini-2.5-flash-image"}) {
        const auto r = enviar(base(ServicioClave::gemini) + "/v1beta/models/" + modelo + ":generateContent",
                              {"x-goog-api-key", clave}, cuerpo, 150);
        if (r.status == 404) continue;
        auto lectura = Imagenes::leerGemini(r.cuerpo);
        if (lectura.src) return *lectura.src;
        throw ErrorAPI("gemini", lectura.mensaje.value_or("Gemini no ha devuelto imagen."), 0);
    }
    throw sinClave();
}

std::string generar(const std::string& prompt, const std::optional<std::string>& imagen, std::int64_t ancho,
                    std::int64_t alto) {
    if (const auto clave = Servicios::valor(ServicioClave::fal)) return conFal(*clave, prompt, imagen, ancho, alto);
    if (const auto clave = Servicios::valor(ServicioClave::openai)) return conOpenAI(*clave, prompt, ancho, alto);
    if (const auto clave = Servicios::valor(ServicioClave::gemini)) return conGemini(*clave, prompt, imagen);
    throw sinClave();
}

}  // namespace

Tarea<std::string> ServiciosCliente::imagen(std::string prompt, std::optional<std::string> imagen, std::int64_t ancho,
                                            std::int64_t alto) {
    auto trabajo = [prompt = std::move(prompt), imagen = std::move(imagen), ancho, alto] {
        return generar(prompt, imagen, ancho, alto);
    };
    co_return co_await enSegundoPlano(std::move(trabajo));
}

}  // namespace sorvenia
