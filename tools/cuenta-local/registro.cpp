#include "registro.h"

#include <fstream>

#include "utiles.h"

namespace sorvenia::cuenta_local {
namespace {

constexpr std::size_t cuerpoMaximoEnRegistro = 1024 * 1024;

nlohmann::json cuerpoLegible(const std::string& cuerpo) {
    if (cuerpo.size() > cuerpoMaximoEnRegistro || !esUtf8(cuerpo)) return nullptr;
    return cuerpo;
}

}  // namespace

void Registro::anotar(const Peticion& p, const std::string& accion, const Respuesta& r,
                      const std::map<std::string, std::string>& cabeceras) {
    nlohmann::json entrada{{"fecha", fechaTexto()},
                           {"metodo", p.metodo},
                           {"ruta", p.ruta},
                           {"consulta", p.consulta},
                           {"accion", accion},
                           {"cabeceras", cabeceras},
                           {"bytes", p.cuerpo.size()},
                           {"sha256", sha256Hex(p.cuerpo)},
                           {"cuerpo", cuerpoLegible(p.cuerpo)},
                           {"status", r.status}};
    std::lock_guard bloqueo(mutex_);
    entrada["n"] = siguiente_++;
    std::ofstream(fichero_, std::ios::app) << entrada.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                                           << '\n';
    entradas_.push_back(std::move(entrada));
}

std::vector<nlohmann::json> Registro::entradas() const {
    std::lock_guard bloqueo(mutex_);
    return entradas_;
}

}  // namespace sorvenia::cuenta_local
