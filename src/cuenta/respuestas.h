#pragma once
// The answer object of each account action, decoded from the whole body of
// a success answer (all or nothing), and the reading of the agency save's
// answer, which decides conflicts itself.

#include <cstdint>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cuenta/campos_json.h"
#include "cuenta/error_api.h"
#include "cuenta/json_valor.h"
#include "cuenta/registros.h"

namespace sorvenia {

struct RespuestaCanjear {  // sign-in redeem
    std::string clave;
    Cliente cliente;
};

struct RespuestaRefrescar {  // GET of the bare endpoint, as the refresh reads it
    Cliente yo;
    std::vector<DisenoResumen> disenos;
};

struct RespuestaAbrir {  // GET with the query item "id"
    DisenoCompleto diseno;
    std::optional<RegistrosCuenta::Previa> previa;
    std::optional<RegistrosCuenta::Publicada> publicada;
    std::vector<RegistrosCuenta::Hosting> hostings;  // empty when absent
    std::vector<RegistrosCuenta::VPS> vps;           // empty when absent
};

struct RespuestaAgencia {  // "agencia", GET
    JSONValor datos;            // nulo when absent
    std::int64_t version = 0;   // 0 when absent
};

struct RespuestaDominios {
    std::vector<RegistrosCuenta::DominioPack> dominios;
    RegistrosCuenta::Pack pack;
};

struct RespuestaTienda {  // the whole answer is an object of JSON values
    JSONValor tienda;         // nulo when absent
};

struct RespuestaSesion {
    std::string url;
};

struct RespuestaRecursos {  // resource path → lowercase hex SHA-256
    std::map<std::string, std::string> recursos;
};

struct RespuestaRecurso {  // {"recurso": {"ruta": text}}
    std::string ruta;
};

struct RespuestaVPS {  // GET of the bare endpoint, as the VPS list reads it
    std::vector<RegistrosCuenta::VPS> vps;  // empty when absent
};

struct RespuestaHosting {
    RegistrosCuenta::Publicada publicada;
};

struct RespuestaPrevia {
    RegistrosCuenta::Previa previa;
};

struct RespuestaGuardar {
    DisenoResumen diseno;
};

struct RespuestaBorrar {
    bool ok = false;  // required, its value not looked at
};

struct RespuestaFotos {
    std::string html;
};

bool leer(const nlohmann::json& v, RespuestaCanjear& d);
bool leer(const nlohmann::json& v, RespuestaRefrescar& d);
bool leer(const nlohmann::json& v, RespuestaAbrir& d);
bool leer(const nlohmann::json& v, RespuestaAgencia& d);
bool leer(const nlohmann::json& v, RespuestaDominios& d);
bool leer(const nlohmann::json& v, RespuestaTienda& d);
bool leer(const nlohmann::json& v, RespuestaSesion& d);
bool leer(const nlohmann::json& v, RespuestaRecursos& d);
bool leer(const nlohmann::json& v, RespuestaRecurso& d);
bool leer(const nlohmann::json& v, RespuestaVPS& d);
bool leer(const nlohmann::json& v, RespuestaHosting& d);
bool leer(const nlohmann::json& v, RespuestaPrevia& d);
bool leer(const nlohmann::json& v, RespuestaGuardar& d);
bool leer(const nlohmann::json& v, RespuestaBorrar& d);
bool leer(const nlohmann::json& v, RespuestaFotos& d);

// The answer R from a body, or nothing when the body is not a JSON object
// that holds it.
template <class R>
std::optional<R> decodificar(std::string_view cuerpo) {
    const auto raiz = campos::objetoDe(cuerpo);
    R r{};
    if (raiz.is_discarded() || !leer(raiz, r)) return std::nullopt;
    return r;
}

// The same, failing with the "respuesta_rara" ErrorAPI.
template <class R>
R decodificarORaro(std::string_view cuerpo) {
    auto r = decodificar<R>(cuerpo);
    if (!r) throw ErrorAPI::respuestaRara();
    return std::move(*r);
}

// Another computer saved the agency data first: the account's data and
// version travel with the error.
struct ErrorAgencia : std::exception {
    enum class Caso { conflicto };
    ErrorAgencia(JSONValor d, std::int64_t v) : datos(std::move(d)), version(v) {}
    static ErrorAgencia conflicto(JSONValor datos, std::int64_t version) { return {std::move(datos), version}; }

    Caso caso = Caso::conflicto;
    JSONValor datos;
    std::int64_t version;
    const char* what() const noexcept override { return "Otro equipo ha guardado cambios a la vez."; }
};

// The new version number from the answer to an agency save (`status` 0 when
// the answer was not HTTP). Throws ErrorAgencia on a conflict whose server
// state can be read, otherwise ErrorAPI ("conflicto", "demasiado_grande",
// the errorDe of any other failed status, "respuesta_rara").
std::int64_t versionDeGuardadoAgencia(std::string_view cuerpo, int status);

}  // namespace sorvenia
