// A connection proposed by an agent: built from the tool's arguments, shown
// to the user, saved only when the user says so.
#include "cuenta/llavero.h"
#include "integraciones/conexiones.h"

namespace sorvenia::Conexiones {
namespace {

using Json = nlohmann::json;

Json item(const std::string& t, bool error) {
    Json j = {{"type", "text"}, {"text", t}};
    if (error) j["error"] = true;
    return Json::array({j});
}

}  // namespace

Json guardarPropuesta(const Propuesta& p) {
    if (auto error = guardar(p.conexion, p.secreto)) return item("No se ha guardado: " + *error, true);
    const auto& antes = p.sustituye;
    const bool otroSitio =
        antes && (antes->tipo != p.conexion.tipo || antes->url != p.conexion.url || antes->orden != p.conexion.orden);
    const bool sinSecretoPropio = !p.secreto || p.secreto->find_first_not_of(" \t\r\n") == std::string::npos;
    if (otroSitio && sinSecretoPropio) Llavero::borrar("conexion:" + antes->id);
    return item("Guardada «" + p.conexion.nombre +
                    "». Estará disponible desde el PRÓXIMO encargo (en este todavía no: díselo al usuario).",
                false);
}

Json rechazada() { return item("El usuario NO ha querido guardar esta conexión. No insistas; sigue sin ella.", false); }

}  // namespace sorvenia::Conexiones
