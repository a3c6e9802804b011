#include "centro/agente_lineas.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <string>

#include "comun/anidacion_json.h"

namespace sorvenia::Agente {
namespace {

using Json = nlohmann::json;

std::optional<Json> objeto(std::string_view linea) {
    if (linea.empty() || anidacionExcede(linea, lineaProfundidadMaxima)) return std::nullopt;
    Json valor = Json::parse(linea, nullptr, false);
    if (valor.is_discarded() || !valor.is_object()) return std::nullopt;
    return valor;
}

const Json& miembro(const Json& padre, const char* nombre) {
    static const Json nada;
    if (!padre.is_object()) return nada;
    const auto i = padre.find(nombre);
    return i == padre.end() ? nada : *i;
}

std::optional<std::string> texto(const Json& padre, const char* nombre) {
    const Json& v = miembro(padre, nombre);
    if (!v.is_string()) return std::nullopt;
    return v.get<std::string>();
}

bool esTexto(const Json& padre, const char* nombre, std::string_view valor) {
    const Json& v = miembro(padre, nombre);
    return v.is_string() && v.get_ref<const std::string&>() == valor;
}

// The object under the key, taken out of the parsed line (no copy), or an
// empty object.
Json tomarObjeto(Json& padre, const char* nombre) {
    if (!padre.is_object()) return Json::object();
    const auto i = padre.find(nombre);
    if (i == padre.end() || !i->is_object()) return Json::object();
    return std::move(*i);
}

// The text under the key, taken out of the parsed line.
std::optional<std::string> tomarTexto(Json& padre, const char* nombre) {
    if (!padre.is_object()) return std::nullopt;
    const auto i = padre.find(nombre);
    if (i == padre.end() || !i->is_string()) return std::nullopt;
    return std::move(i->get_ref<std::string&>());
}

// A step id only has to be unique within the chat; no secret rides on it.
std::string uuidNuevo() {
    thread_local std::mt19937_64 generador{std::random_device{}()};
    static constexpr char cifras[] = "0123456789ABCDEF";
    std::uint64_t alto = generador(), bajo = generador();
    alto = (alto & ~0xF000ULL) | 0x4000ULL;                         // version 4
    bajo = (bajo & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;  // RFC 4122 variant
    std::string r;
    r.reserve(36);
    for (int i = 0; i < 32; ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20) r += '-';
        const std::uint64_t palabra = i < 16 ? alto : bajo;
        r += cifras[(palabra >> (4 * (15 - i % 16))) & 0xF];
    }
    return r;
}

// The agent's own id, else a fresh one.
std::string idDe(const Json& padre) {
    auto id = texto(padre, "id");
    return id ? std::move(*id) : uuidNuevo();
}

void emitir(const EventosAgente& eventos, auto valor) { eventos(EventoAgente{std::move(valor)}); }

// The blocks of message.content that are objects; anything else is skipped.
template <class Fn>
void porBloque(Json& obj, Fn&& fn) {
    if (!obj.is_object() || !obj.contains("message")) return;
    Json& mensaje = obj["message"];
    if (!mensaje.is_object() || !mensaje.contains("content")) return;
    Json& bloques = mensaje["content"];
    if (!bloques.is_array()) return;
    for (Json& bloque : bloques)
        if (bloque.is_object()) fn(bloque);
}

void claudeAsistente(Json& obj, const EventosAgente& eventos) {
    const auto agente = texto(obj, "parent_tool_use_id");
    porBloque(obj, [&](Json& bloque) {
        if (!esTexto(bloque, "type", "tool_use")) return;
        emitir(eventos, EventoAgente::Paso{idDe(bloque), texto(bloque, "name").value_or(""),
                                           tomarObjeto(bloque, "input"), agente});
    });
}

void claudeUsuario(Json& obj, const EventosAgente& eventos) {
    porBloque(obj, [&](Json& bloque) {
        if (!esTexto(bloque, "type", "tool_result")) return;
        const Json& error = miembro(bloque, "is_error");
        emitir(eventos, EventoAgente::PasoHecho{texto(bloque, "tool_use_id").value_or(""),
                                                error.is_boolean() && error.get<bool>()});
    });
}

void claudeDelta(Json& obj, const EventosAgente& eventos) {
    if (!obj.contains("event")) return;
    Json& ev = obj["event"];
    if (!esTexto(ev, "type", "content_block_delta")) return;
    Json& delta = ev["delta"];
    if (!esTexto(delta, "type", "text_delta")) return;
    if (auto t = tomarTexto(delta, "text")) emitir(eventos, EventoAgente::Texto{std::move(*t)});
}

void codexElemento(Json& obj, const EventosAgente& eventos) {
    if (!obj.contains("item")) return;
    Json& item = obj["item"];
    if (!item.is_object()) return;
    const std::string id = idDe(item);
    const std::string tipo = texto(item, "type").value_or("");
    const bool empezado = esTexto(obj, "type", "item.started");
    if (tipo == "agent_message") {
        if (empezado) return;
        if (auto t = tomarTexto(item, "text")) emitir(eventos, EventoAgente::Texto{std::move(*t) + "\n"});
    } else if (tipo == "mcp_tool_call") {
        if (empezado) {
            const std::string nombre =
                "mcp__" + texto(item, "server").value_or("tarvel") + "__" + texto(item, "tool").value_or("");
            emitir(eventos, EventoAgente::Paso{id, nombre, tomarObjeto(item, "arguments"), std::nullopt});
        } else {
            emitir(eventos, EventoAgente::PasoHecho{id, esTexto(item, "status", "failed")});
        }
    } else if (tipo == "web_search") {
        if (empezado)
            emitir(eventos, EventoAgente::Paso{id, "WebSearch", Json{{"query", texto(item, "query").value_or("")}},
                                               std::nullopt});
        else
            emitir(eventos, EventoAgente::PasoHecho{id, false});
    }
}

}  // namespace

void leerLineaClaude(std::string_view linea, const EventosAgente& eventos) {
    auto obj = objeto(linea);
    if (!obj) return;
    const auto tipo = texto(*obj, "type");
    if (!tipo) return;
    if (*tipo == "system") {
        if (auto s = texto(*obj, "session_id")) emitir(eventos, EventoAgente::Sesion{std::move(*s)});
    } else if (*tipo == "stream_event") {
        claudeDelta(*obj, eventos);
    } else if (*tipo == "assistant") {
        claudeAsistente(*obj, eventos);
    } else if (*tipo == "user") {
        claudeUsuario(*obj, eventos);
    } else if (*tipo == "result") {
        if (auto s = texto(*obj, "session_id")) emitir(eventos, EventoAgente::Sesion{std::move(*s)});
        emitir(eventos, EventoAgente::Fin{texto(*obj, "result").value_or("")});
    }
}

void leerLineaCodex(std::string_view linea, const EventosAgente& eventos) {
    auto obj = objeto(linea);
    if (!obj) return;
    if (esTexto(*obj, "type", "thread.started"))
        if (auto s = texto(*obj, "thread_id")) emitir(eventos, EventoAgente::Sesion{std::move(*s)});
    codexElemento(*obj, eventos);
}

}  // namespace sorvenia::Agente
