// Calls around a design: domains, store, panel links, scenes, servers and
// publication to a hosting service.
#include "cuenta/cuenta.h"

namespace sorvenia {
namespace {

// The requests of the calls below.
LlamadaCuenta pedirDominios(std::string q) { return llamadaPOST({{"accion", "dominios"}}, 40, {{"q", std::move(q)}}); }
LlamadaCuenta pedirTienda() { return llamadaGET({{"accion", "tienda"}}, 30); }
LlamadaCuenta pedirSesion(std::string ir) { return llamadaPOST({{"accion", "sesion"}}, 30, {{"ir", std::move(ir)}}); }
LlamadaCuenta pedirRecursos(std::string id) { return llamadaPOST({{"accion", "recursos"}}, 30, {{"id", std::move(id)}}); }

LlamadaCuenta subirRecurso(std::string id, std::string ruta, std::string datos) {
    auto llamada = llamadaGET({{"accion", "recurso"}, {"id", std::move(id)}, {"ruta", std::move(ruta)}}, 180);
    llamada.metodo = "POST";
    llamada.bytes = std::move(datos);
    return llamada;
}

LlamadaCuenta publicarEnHosting(std::string id, std::int64_t servicio, std::string carpeta,
                                const std::map<std::string, std::string>& archivos) {
    return llamadaPOST({{"accion", "hosting"}}, 150,
                       {{"id", std::move(id)}, {"servicio", servicio}, {"carpeta", std::move(carpeta)}, {"archivos", archivos}});
}

}  // namespace

Tarea<std::pair<std::vector<Cuenta::DominioPack>, Cuenta::Pack>> Cuenta::buscarDominios(std::string q) {
    auto yo = shared_from_this();
    auto r = co_await llamar<RespuestaDominios>(pedirDominios(std::move(q)));
    co_return std::make_pair(std::move(r.dominios), std::move(r.pack));
}

Tarea<JSONValor> Cuenta::tienda() {
    auto yo = shared_from_this();
    auto r = co_await llamar<RespuestaTienda>(pedirTienda());
    co_return std::move(r.tienda);
}

Tarea<std::string> Cuenta::enlaceSesion(std::string ir) {
    auto yo = shared_from_this();
    auto r = co_await llamar<RespuestaSesion>(pedirSesion(std::move(ir)));
    // Only a link on the account site's own host (exact text) is followed.
    if (!direccion::esURL(r.url) || direccion::host(r.url) != direccion::host(servidor()))
        throw ErrorAPI("respuesta_rara", "El servidor ha devuelto un enlace raro.", 0);
    co_return std::move(r.url);
}

Tarea<std::map<std::string, std::string>> Cuenta::escenasSubidas(std::string id) {
    auto yo = shared_from_this();
    auto r = co_await llamar<RespuestaRecursos>(pedirRecursos(std::move(id)));
    co_return std::move(r.recursos);
}

Tarea<void> Cuenta::subirEscena(std::string id, std::string ruta, std::string datos) {
    auto yo = shared_from_this();
    // The answer must decode, and is then dropped.
    (void)co_await llamar<RespuestaRecurso>(subirRecurso(std::move(id), std::move(ruta), std::move(datos)));
}

Tarea<std::vector<Cuenta::VPS>> Cuenta::listarVPS() {
    auto yo = shared_from_this();
    auto r = co_await llamar<RespuestaVPS>(LlamadaCuenta());  // GET of the bare endpoint
    co_return std::move(r.vps);
}

Tarea<Cuenta::Publicada> Cuenta::publicarHosting(std::string id, std::int64_t servicio, std::string carpeta,
                                                 std::map<std::string, std::string> archivos) {
    auto yo = shared_from_this();
    auto r = co_await llamar<RespuestaHosting>(publicarEnHosting(std::move(id), servicio, std::move(carpeta), archivos));
    co_return std::move(r.publicada);
}

}  // namespace sorvenia
