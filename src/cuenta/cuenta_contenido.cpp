// The account's own content: refresh, opening a design, agency data.
#include "cuenta/cuenta.h"

namespace sorvenia {
namespace {

bool esClaveInvalida(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ErrorAPI& e) {
        return e.codigo == "clave_invalida";
    } catch (...) {
        return false;
    }
}

// The requests of the calls below.
LlamadaCuenta pedirDiseno(std::string id) { return llamadaGET({{"id", std::move(id)}}, 30); }
LlamadaCuenta pedirAgencia() { return llamadaGET({{"accion", "agencia"}}, 20); }
LlamadaCuenta guardarDatosAgencia(nlohmann::json datos, std::int64_t version) {
    return llamadaPOST({{"accion", "agencia"}}, 30, {{"datos", std::move(datos)}, {"version", version}});
}

}  // namespace

Tarea<void> Cuenta::refrescar() {
    auto yo = shared_from_this();
    ponerCargando(true);
    ponerError(std::nullopt);
    std::exception_ptr fallo;
    try {
        auto r = co_await llamar<RespuestaRefrescar>(LlamadaCuenta());  // GET of the bare endpoint
        fijarCliente(std::move(r.yo));
        ponerDisenos(std::move(r.disenos));
        ponerError(std::nullopt);
        ponerCargando(false);
        co_return;
    } catch (...) {
        fallo = std::current_exception();
    }
    if (esClaveInvalida(fallo)) {
        co_await desconectar(false);
        ponerError("La conexión con tu cuenta ya no vale (¿la revocaste en el panel?). Vuelve a conectar.");
    } else {
        ponerError(descripcionDe(fallo));
    }
    ponerCargando(false);
}

Tarea<std::tuple<DisenoCompleto, std::optional<Cuenta::Previa>, Cuenta::Destinos>> Cuenta::abrir(std::string id) {
    auto yo = shared_from_this();
    auto r = co_await llamar<RespuestaAbrir>(pedirDiseno(std::move(id)));
    Destinos destinos{std::move(r.hostings), std::move(r.publicada), std::move(r.vps)};
    co_return std::make_tuple(std::move(r.diseno), std::move(r.previa), std::move(destinos));
}

Tarea<Cuenta::EstadoAgencia> Cuenta::agencia() {
    auto yo = shared_from_this();
    co_return co_await llamar<RespuestaAgencia>(pedirAgencia());
}

Tarea<std::int64_t> Cuenta::guardarAgencia(nlohmann::json datos, std::int64_t version) {
    auto yo = shared_from_this();
    const auto r = co_await intercambiar(guardarDatosAgencia(std::move(datos), version));
    co_return versionDeGuardadoAgencia(r.cuerpo, static_cast<int>(r.status));
}

}  // namespace sorvenia
