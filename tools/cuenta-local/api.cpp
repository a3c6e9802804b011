#include "api.h"

#include <chrono>

#include "acciones.h"

namespace sorvenia::cuenta_local {
namespace {

struct EntradaAccion {
    const char* nombre;
    const char* metodo;
    Accion accion;
};

constexpr EntradaAccion acciones[] = {
    {"cuenta", "GET", cuentaEntera},    {"abrir", "GET", abrir},           {"agencia", "GET", agenciaLeer},
    {"agencia", "POST", agenciaGuardar}, {"guardar", "POST", guardar},      {"borrar", "POST", borrar},
    {"fotos", "POST", fotos},           {"previa", "POST", previa},        {"dominios", "POST", dominios},
    {"tienda", "GET", tienda},          {"sesion", "POST", sesion},        {"recursos", "POST", recursos},
    {"recurso", "POST", recurso},       {"hosting", "POST", hosting},      {"desconectar", "POST", desconectar},
};

Respuesta claveNoValida() {
    return respuestaError(401, "clave_invalida", "La clave de esta aplicación ya no es válida. Vuelve a conectar.");
}

}  // namespace

std::int64_t ahora() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string nombreDeAccion(const Peticion& p) {
    if (const auto it = p.consulta.find("accion"); it != p.consulta.end()) return it->second;
    if (p.consulta.empty()) return "cuenta";
    if (p.consulta.size() == 1 && p.consulta.count("id") == 1) return "abrir";
    return "";
}

Respuesta atenderAPI(Estado& estado, const Peticion& p, const std::string& nombre) {
    std::lock_guard bloqueo(estado.datos);
    if (nombre == "canjear") {
        if (p.metodo != "POST") return respuestaError(405, "metodo", "Esta acción se pide con POST.");
        return canjear(estado, p);
    }
    bool conocida = false;
    for (const auto& a : acciones) {
        if (nombre != a.nombre) continue;
        conocida = true;
        if (p.metodo != a.metodo) continue;
        if (!p.clave) return claveNoValida();
        const auto cliente = estado.almacen.clientePorClave(*p.clave);
        if (!cliente) return claveNoValida();
        return a.accion(estado, p, *cliente);
    }
    if (conocida) return respuestaError(405, "metodo", "Esta acción no se pide con " + p.metodo + ".");
    return respuestaError(400, "accion_desconocida", "No conozco la acción «" + nombre + "».");
}

}  // namespace sorvenia::cuenta_local
