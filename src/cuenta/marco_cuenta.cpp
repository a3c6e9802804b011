#include "cuenta/marco_cuenta.h"

#include <cmath>

#include "cuenta/error_api.h"

namespace sorvenia {
namespace {

bool numerosFinitos(const nlohmann::json& j) {
    if (j.is_number_float()) return std::isfinite(j.get<double>());
    if (j.is_structured())
        for (const auto& e : j)
            if (!numerosFinitos(e)) return false;
    return true;
}

}  // namespace

LlamadaCuenta llamadaGET(ConsultaCuenta consulta, double tiempoLimite) {
    LlamadaCuenta l;
    l.consulta = std::move(consulta);
    l.tiempoLimite = tiempoLimite;
    return l;
}

LlamadaCuenta llamadaPOST(ConsultaCuenta consulta, double tiempoLimite, nlohmann::json cuerpo) {
    LlamadaCuenta l = llamadaGET(std::move(consulta), tiempoLimite);
    l.metodo = "POST";
    l.json = std::move(cuerpo);
    return l;
}

std::string cuerpoJSON(const nlohmann::json& cuerpo) {
    if (!numerosFinitos(cuerpo)) throw ErrorCodificacion();
    try {
        return cuerpo.dump();
    } catch (const nlohmann::json::exception&) {
        throw ErrorCodificacion();  // a text that is not UTF-8
    }
}

PeticionHTTP peticionDeCuenta(const std::string& servidor, const LlamadaCuenta& llamada,
                              const std::optional<std::string>& clave) {
    const auto url = direccion::endpoint(servidor, llamada.consulta);
    if (!url) throw ErrorAPI::respuestaRara();
    PeticionHTTP p;
    p.metodo = llamada.metodo;
    p.url = *url;
    p.tiempoLimite = llamada.tiempoLimite;
    // An answer that keeps dripping fails too, a while after the idle limit
    // would have: the callers then keep their work on this computer.
    p.tiempoTotal = llamada.tiempoLimite * 2;
    p.cabeceras.emplace_back("User-Agent", agenteCuenta);
    if (clave) p.cabeceras.emplace_back("Authorization", "Bearer " + *clave);
    if (llamada.metodo == "POST" && llamada.json) {
        p.cabeceras.emplace_back("Content-Type", "application/json");
        p.cuerpo = cuerpoJSON(*llamada.json);
    } else if (llamada.metodo == "POST" && llamada.bytes) {
        p.cabeceras.emplace_back("Content-Type", llamada.tipoBytes);
        p.cuerpo = *llamada.bytes;
    }
    return p;
}

}  // namespace sorvenia
