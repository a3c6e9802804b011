#include "cuenta/respuestas.h"

namespace sorvenia {

using campos::opcional;
using campos::requerido;

bool leer(const nlohmann::json& v, RespuestaCanjear& d) {
    return requerido(v, "clave", d.clave) && requerido(v, "cliente", d.cliente);
}

bool leer(const nlohmann::json& v, RespuestaRefrescar& d) {
    return requerido(v, "yo", d.yo) && requerido(v, "disenos", d.disenos);
}

bool leer(const nlohmann::json& v, RespuestaAbrir& d) {
    return requerido(v, "diseno", d.diseno) && opcional(v, "previa", d.previa) &&
           opcional(v, "publicada", d.publicada) && opcional(v, "hostings", d.hostings, {}) &&
           opcional(v, "vps", d.vps, {});
}

bool leer(const nlohmann::json& v, RespuestaAgencia& d) {
    return opcional(v, "datos", d.datos, JSONValor()) && opcional(v, "version", d.version, std::int64_t{0});
}

bool leer(const nlohmann::json& v, RespuestaDominios& d) {
    return requerido(v, "dominios", d.dominios) && requerido(v, "pack", d.pack);
}

bool leer(const nlohmann::json& v, RespuestaTienda& d) {
    // Every member must be a JSON value we can hold, not only "tienda".
    JSONValor todo;
    if (!campos::leer(v, todo) || todo.comoObjeto() == nullptr) return false;
    const auto& objeto = *todo.comoObjeto();
    const auto it = objeto.find("tienda");
    d.tienda = it == objeto.end() ? JSONValor() : it->second;
    return true;
}

bool leer(const nlohmann::json& v, RespuestaSesion& d) { return requerido(v, "url", d.url); }

bool leer(const nlohmann::json& v, RespuestaRecursos& d) { return requerido(v, "recursos", d.recursos); }

bool leer(const nlohmann::json& v, RespuestaRecurso& d) {
    const auto* recurso = campos::miembro(v, "recurso");
    return recurso != nullptr && requerido(*recurso, "ruta", d.ruta);
}

bool leer(const nlohmann::json& v, RespuestaVPS& d) { return opcional(v, "vps", d.vps, {}); }

bool leer(const nlohmann::json& v, RespuestaHosting& d) { return requerido(v, "publicada", d.publicada); }

bool leer(const nlohmann::json& v, RespuestaPrevia& d) { return requerido(v, "previa", d.previa); }

bool leer(const nlohmann::json& v, RespuestaGuardar& d) { return requerido(v, "diseno", d.diseno); }

bool leer(const nlohmann::json& v, RespuestaBorrar& d) { return requerido(v, "ok", d.ok); }

bool leer(const nlohmann::json& v, RespuestaFotos& d) { return requerido(v, "html", d.html); }

namespace {

// The error code of a loosely read answer: "error"."code" when "error" is an
// object, "error" itself when it is a text.
std::optional<std::string> codigoDeError(const nlohmann::json& objeto) {
    const auto error = objeto.find("error");
    if (error == objeto.end()) return std::nullopt;
    if (error->is_string()) return error->get<std::string>();
    if (error->is_object()) {
        const auto codigo = error->find("code");
        if (codigo != error->end() && codigo->is_string()) return codigo->get<std::string>();
    }
    return std::nullopt;
}

// The account's state inside a conflict answer: "servidor" of the answer,
// or, when the answer has none, "servidor" of its "error" object.
const nlohmann::json* estadoDelServidor(const nlohmann::json& objeto) {
    if (const auto it = objeto.find("servidor"); it != objeto.end()) return &*it;
    const auto error = objeto.find("error");
    if (error == objeto.end() || !error->is_object()) return nullptr;
    const auto it = error->find("servidor");
    return it == error->end() ? nullptr : &*it;
}

[[noreturn]] void lanzarConflicto(const nlohmann::json& objeto) {
    const auto* servidor = objeto.is_object() ? estadoDelServidor(objeto) : nullptr;
    std::int64_t version = 0;
    if (servidor == nullptr || !servidor->is_object() || !requerido(*servidor, "version", version))
        throw ErrorAPI("conflicto", "Otro equipo ha guardado a la vez y no se ha podido leer su versión.", 409);
    JSONValor datos;
    if (const auto it = servidor->find("datos"); it != servidor->end())
        datos = JSONValor::desde(*it).value_or(JSONValor());
    throw ErrorAgencia::conflicto(std::move(datos), version);
}

}  // namespace

std::int64_t versionDeGuardadoAgencia(std::string_view cuerpo, int status) {
    // Any JSON at the top is parsed; only an object is used.
    auto raiz = nlohmann::json::parse(cuerpo, nullptr, false);
    if (!raiz.is_object()) raiz = nlohmann::json();
    const auto codigo = raiz.is_object() ? codigoDeError(raiz) : std::nullopt;

    if (status == 409 || codigo == "conflicto") lanzarConflicto(raiz);
    if (status == 413)
        throw ErrorAPI("demasiado_grande", "Hay demasiados datos de agencia para guardarlos en tu cuenta.", 413);
    if (status >= 300) throw errorDe(cuerpo, status);
    std::int64_t version = 0;
    if (!raiz.is_object() || !requerido(raiz, "version", version)) throw ErrorAPI::respuestaRara();
    return version;
}

}  // namespace sorvenia
