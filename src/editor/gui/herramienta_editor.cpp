#include "editor/gui/herramienta_editor.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "editor/gui/renderizador.h"
#include "integraciones/servicios_cliente.h"
#include "plataforma/cripto.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

constexpr int altoMaximoCaptura = 12000;
constexpr int anchoMaximoSalida = 1000;

Json itemTexto(std::string texto, std::optional<bool> error = std::nullopt) {
    Json item{{"type", "text"}, {"text", std::move(texto)}};
    if (error) item["error"] = *error;
    return Json::array({item});
}

Json itemError(std::string texto) { return itemTexto(std::move(texto), true); }

// A JSON integer (or a number with no fraction) that fits an int, else
// `defecto`.
int enteroO(const Json& objeto, const char* clave, int defecto) {
    const auto it = objeto.find(clave);
    if (it == objeto.end() || !it->is_number()) return defecto;
    const double v = it->get<double>();
    if (v != static_cast<double>(static_cast<long long>(v)) || v < std::numeric_limits<int>::min() ||
        v > std::numeric_limits<int>::max())
        return defecto;
    return static_cast<int>(v);
}

Tarea<Json> captura(Renderizador& renderizador, const Json& respuesta, std::optional<std::string> id) {
    const int w = enteroO(respuesta, "w", 1440);
    const int h = enteroO(respuesta, "h", 900);
    auto png = co_await renderizador.png(respuesta["html"].get<std::string>(), w, std::min(h, altoMaximoCaptura),
                                         std::min(w, anchoMaximoSalida), false, std::move(id));
    if (!png) co_return itemError("No se ha podido sacar la captura.");
    co_return Json::array({{{"type", "image"}, {"data", base64(*png)}, {"mimeType", "image/png"}}});
}

Json respuestaComun(const Json& respuesta) {
    const auto texto = respuesta.find("texto");
    const auto error = respuesta.find("error");
    return itemTexto(texto != respuesta.end() && texto->is_string() ? texto->get<std::string>() : "hecho",
                     error != respuesta.end() && error->is_boolean() && error->get<bool>());
}

// The markup a tool writes, with its logo and photo placeholders resolved
// before the page sees it.
Tarea<Json> resolverPlaceholders(Json argumentos, std::function<Tarea<std::string>(std::string)> fotos) {
    const auto html = argumentos.find("html");
    if (html == argumentos.end() || !html->is_string()) co_return argumentos;
    std::string texto = html->get<std::string>();
    const bool conPlaceholders = std::ranges::any_of(std::array{"foto:", "logo:", "photo:"}, [&](const char* p) {
        return texto.find(p) != std::string::npos;
    });
    if (!conPlaceholders) co_return argumentos;
    argumentos["html"] = co_await ServiciosCliente::resolver(std::move(texto), std::move(fotos));
    co_return argumentos;
}

// An image made with the customer's own image service. A picture that comes
// back as bytes is stored in the design first: the agent gets its short
// reference, never the bytes.
Tarea<Json> generarImagen(std::function<std::string(const std::string&)> recurso, Json argumentos) {
    const auto prompt = argumentos.find("prompt");
    std::string texto = prompt != argumentos.end() && prompt->is_string() ? prompt->get<std::string>() : "";
    std::optional<std::string> src;
    std::string error;
    try {
        src = co_await ServiciosCliente::imagen(std::move(texto), std::nullopt, enteroO(argumentos, "ancho", 1600),
                                                enteroO(argumentos, "alto", 1000));
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (!src) co_return itemError(error + " Usa foto:palabras mientras tanto.");
    if (src->starts_with("data:")) {
        if (!recurso) co_return itemError("El editor no está abierto.");
        src = recurso(*src);
    }
    co_return itemTexto("Imagen generada. Úsala con src=\"" + *src + "\"");
}

}  // namespace

Tarea<Json> herramientaEnEditor(PuertaEditor puerta, Renderizador& renderizador, std::string nombre, Json argumentos,
                                std::optional<std::string> externo) {
    if (!puerta.llamar) co_return itemError("El editor no está abierto.");
    if (externo && puerta.js)
        puerta.js("agenteExterno", {{"nombre", *externo}, {"herramienta", nombre}, {"terminar", nombre == "terminar"}});

    if (!argumentos.is_object()) argumentos = Json::object();
    // Image generation is served by the customer's image services, not the
    // page.
    if (nombre == "generar_imagen") co_return co_await generarImagen(std::move(puerta.recurso), std::move(argumentos));

    argumentos = co_await resolverPlaceholders(std::move(argumentos), std::move(puerta.fotos));
    auto llamada = puerta.llamar("return await window.tarvel.herramienta(nombre, args);",
                                 {{"nombre", nombre}, {"args", argumentos}});
    const Resultado<Json> respuesta = co_await std::move(llamada);
    if (!respuesta) co_return itemError("Error en el tarvel: " + respuesta.fallo().mensaje);
    const Json objeto = respuesta->is_object() ? *respuesta : Json::object();

    if (nombre == "captura" && objeto.contains("html") && objeto["html"].is_string())
        co_return co_await captura(renderizador, objeto, std::move(puerta.id));
    co_return respuestaComun(objeto);
}

}  // namespace sorvenia
