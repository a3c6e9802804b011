#include "pantallas/lectura_agencia.h"

#include <cmath>

namespace sorvenia::LecturaAgencia {
namespace {

using Json = nlohmann::json;

// A layout number that says a newer build wrote it.
bool esPosterior(const Json& objeto, const char* clave) {
    const auto it = objeto.find(clave);
    if (it == objeto.end()) return false;
    const auto n = enteroDe(*it);
    return n && *n > formato;
}

Json raizDe(std::string_view texto) {
    auto raiz = Json::parse(texto, nullptr, false);
    return raiz.is_object() ? raiz : Json::object();
}

const Json* miembroObjeto(const Json& objeto, const std::string& clave) {
    const auto it = objeto.find(clave);
    return it != objeto.end() && it->is_object() ? &*it : nullptr;
}

bool listaNoVacia(const Json& objeto, const char* clave) {
    const auto it = objeto.find(clave);
    return it != objeto.end() && it->is_array() && !it->empty();
}

}  // namespace

std::optional<std::int64_t> enteroDe(const Json& v) {
    if (v.is_number_integer()) return v.get<std::int64_t>();
    if (!v.is_number()) return std::nullopt;
    const double d = std::trunc(v.get<double>());
    if (!std::isfinite(d) || std::fabs(d) > 9.0e18) return std::nullopt;
    return static_cast<std::int64_t>(d);
}

Estado estadoDe(std::string_view texto, const std::string& clave) {
    const auto raiz = Json::parse(texto, nullptr, false);
    if (!raiz.is_object()) return Estado::ilegible;
    if (esPosterior(raiz, "version")) return Estado::posterior;
    const auto cuentas = raiz.find("cuentas");
    if (cuentas == raiz.end()) return Estado::valido;
    if (!cuentas->is_object()) return Estado::ilegible;
    const auto* entrada = miembroObjeto(*cuentas, clave);
    if (entrada != nullptr && esPosterior(*entrada, "formato")) return Estado::posterior;
    return Estado::valido;
}

EntradaAgencia entradaDe(std::string_view texto, const std::string& clave) {
    if (estadoDe(texto, clave) != Estado::valido) return {};
    const Json raiz = raizDe(texto);
    const Json* cuentas = miembroObjeto(raiz, "cuentas");
    const Json* objeto = cuentas != nullptr ? miembroObjeto(*cuentas, clave) : nullptr;
    if (objeto == nullptr) return {};
    EntradaAgencia e;
    if (!objeto->contains("formato")) {
        // The earlier layout: the entry is the data itself, never uploaded.
        e.datos = *objeto;
        e.pendiente = listaNoVacia(*objeto, "clientes") || listaNoVacia(*objeto, "proyectos");
        return e;
    }
    if (const Json* datos = miembroObjeto(*objeto, "datos")) e.datos = *datos;
    if (const Json* base = miembroObjeto(*objeto, "base")) e.base = *base;
    if (const auto it = objeto->find("version"); it != objeto->end()) e.version = enteroDe(*it).value_or(0);
    if (const auto it = objeto->find("pendiente"); it != objeto->end() && it->is_boolean())
        e.pendiente = it->get<bool>();
    return e;
}

}  // namespace sorvenia::LecturaAgencia
