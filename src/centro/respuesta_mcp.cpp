#include "centro/respuesta_mcp.h"

#include "centro/marco_http.h"
#include "centro/texto_http.h"
#include "comun/anidacion_json.h"
#include "comun/herramientas_tarvel.h"
#include "comun/id_jsonrpc.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;
using JsonOrdenado = nlohmann::ordered_json;

RespuestaEndpoint sinCuerpo(std::string_view estado) { return {std::string(estado), ""}; }

bool claveValida(std::string_view clave) {
    if (clave.size() < 8 || clave.size() > 40) return false;
    for (char c : clave)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// The host part of a Host value, lowered: "[...]" for an IPv6 literal,
// else what comes before the first ":" (the port is ignored).
std::string anfitrion(std::string_view valor) {
    const std::string v = enMinusculas(valor);
    if (v.starts_with('[')) return v.substr(0, v.find(']')) + "]";
    const auto piezas = partir(v, ":");
    return piezas.empty() ? std::string() : std::string(piezas[0]);
}

// Only the loopback names: a page that rebinds its own name to 127.0.0.1
// still sends that name.
bool anfitrionLocal(const std::map<std::string, std::string>& cabeceras) {
    const auto h = cabeceras.find("host");
    const std::string nombre = anfitrion(h == cabeceras.end() ? std::string_view() : std::string_view(h->second));
    return nombre == "127.0.0.1" || nombre == "localhost" || nombre == "[::1]";
}

// Browsers send an Origin with every cross-site POST; our clients send none.
// "null" is what a sandboxed frame, a data: page or a local file sends, and
// an empty value is no better: any Origin at all means a page is calling.
bool conOrigen(const std::map<std::string, std::string>& cabeceras) { return cabeceras.contains("origin"); }

std::optional<Json> objetoJSON(std::string_view cuerpo) {
    if (anidacionExcede(cuerpo, profundidadMaximaJSON)) return std::nullopt;
    Json valor = Json::parse(cuerpo, nullptr, false);
    if (valor.is_discarded() || !valor.is_object()) return std::nullopt;
    return valor;
}

const Json& miembro(const Json& objeto, const char* nombre) {
    static const Json nada;
    if (!objeto.is_object()) return nada;
    const auto i = objeto.find(nombre);
    return i == objeto.end() ? nada : *i;
}

std::string textoDe(const Json& valor) { return valor.is_string() ? valor.get<std::string>() : std::string(); }

RespuestaEndpoint resultado(std::string_view id, JsonOrdenado r) {
    return contestarJSON(id, JsonOrdenado{{"result", std::move(r)}});
}

// The catalogue never changes while the application runs: written once,
// not copied and written again for every client that asks.
RespuestaEndpoint listaDeHerramientas(std::string_view id) {
    static const std::string resto = JsonOrdenado{{"result", {{"tools", HerramientasTarvel::lista()}}}}.dump();
    return {"200 OK", mensajeConId(id, resto)};
}

DecisionMCP inicializar(std::string_view id, const Json& params, const std::optional<std::string>& clave,
                        std::string_view instrucciones) {
    const Json& pedida = miembro(params, "protocolVersion");
    JsonOrdenado r{
        {"protocolVersion", pedida.is_string() ? pedida.get<std::string>() : std::string(versionMCP)},
        {"capabilities", {{"tools", JsonOrdenado::object()}}},
        {"serverInfo", {{"name", "sorvenia-tarvel"}, {"version", "1.0"}}},
        {"instructions", std::string(instrucciones)},
    };
    RespuestaEndpoint respuesta = resultado(id, std::move(r));
    // The application's own agents (with a key) are not outside clients.
    if (clave) return respuesta;
    return Inicializar{textoDe(miembro(miembro(params, "clientInfo"), "name")), std::move(respuesta)};
}

LlamarHerramienta llamar(std::string id, const Json& params, std::optional<std::string> clave) {
    const Json& argumentos = miembro(params, "arguments");
    return {std::move(id), {textoDe(miembro(params, "name")), argumentos.is_object() ? argumentos : Json::object(),
                 std::move(clave)}};
}

DecisionMCP contestar(const Json& mensaje, std::string id, std::optional<std::string> clave,
                      std::string_view instrucciones) {
    const std::string metodo = textoDe(miembro(mensaje, "method"));
    const Json& params = miembro(mensaje, "params");
    if (metodo == "initialize") return inicializar(id, params, clave, instrucciones);
    if (metodo == "tools/list") return listaDeHerramientas(id);
    if (metodo == "tools/call") return llamar(std::move(id), params, std::move(clave));
    if (metodo == "ping") return resultado(id, JsonOrdenado::object());
    return contestarJSON(id, JsonOrdenado{
                                 {"error", {{"code", -32601}, {"message", "Método desconocido: " + metodo}}},
                             });
}

}  // namespace

RutaMCP claveDeRuta(std::string_view ruta, std::string_view token) {
    const std::string base = "/mcp/" + std::string(token);
    if (ruta == base) return {true, std::nullopt};
    if (!ruta.starts_with(base + "/")) return {};
    const std::string_view clave = ruta.substr(base.size() + 1);
    if (!claveValida(clave)) return {};
    return {true, std::string(clave)};
}

DecisionMCP decidir(std::string_view cabecera, std::string_view cuerpo, std::string_view token,
                    std::string_view instrucciones) {
    const auto lineas = partir(cabecera, "\r\n");
    const auto solicitud = partir(lineas.empty() ? std::string_view() : lineas[0], " ");
    if (solicitud.size() < 2) return sinCuerpo("404 Not Found");
    RutaMCP ruta = claveDeRuta(solicitud[1], token);
    if (!ruta.coincide) return sinCuerpo("404 Not Found");
    // Two Host lines are ambiguous (each reader may take another one), so
    // the request is not served at all.
    if (vecesCabecera(cabecera, "host") > 1) return sinCuerpo(estadoMalFormada);
    const auto lista = cabeceras(cabecera);
    if (!anfitrionLocal(lista)) return sinCuerpo("421 Misdirected Request");
    if (conOrigen(lista)) return sinCuerpo("403 Forbidden");
    if (solicitud[0] != "POST") return sinCuerpo("405 Method Not Allowed");
    const auto mensaje = objetoJSON(cuerpo);
    if (!mensaje) return sinCuerpo(estadoMalFormada);
    // A message without "id" is a notification, whatever its method; an
    // "id" that is null is still an id.
    if (!mensaje->contains("id")) return sinCuerpo("202 Accepted");
    // The id is echoed as the bytes it came in, never as the parser read it.
    std::string id = idCrudo(cuerpo).value_or(mensaje->at("id").dump());
    return contestar(*mensaje, std::move(id), std::move(ruta.clave), instrucciones);
}

RespuestaEndpoint contestarJSON(std::string_view id, const nlohmann::ordered_json& resto) {
    try {
        return {"200 OK", mensajeConId(id, resto.dump())};
    } catch (const nlohmann::json::exception&) {
        return {"200 OK", ""};
    }
}

}  // namespace sorvenia
