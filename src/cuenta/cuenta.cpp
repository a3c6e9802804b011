#include "cuenta/cuenta.h"

#include <cassert>

#include "cuenta/llavero.h"
#include "plataforma/preferencias.h"
#include "sorvenia_config.h"

namespace sorvenia {
namespace {

std::weak_ptr<Cuenta>& cuentaActual() {
    static std::weak_ptr<Cuenta> actual;
    return actual;
}

// The revoke: its body is the two bytes "{}".
PeticionHTTP peticionDeRevocar(const std::string& base, const std::string& clave) {
    return peticionDeCuenta(base, llamadaPOST({{"accion", "desconectar"}}, 8, nlohmann::json::object()), clave);
}

}  // namespace

std::string descripcionDe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Ha fallado algo inesperado.";
    }
}

Cuenta::Cuenta(Clave, Entorno entorno)
    : entorno_(std::move(entorno)), copias_([this] {
          return CopiasLocales::Dueno{direccion::host(servidor()),
                                      cliente_ ? std::optional(cliente_->id) : std::nullopt};
      }) {
    if (entorno_.servidorIncorporado.empty()) entorno_.servidorIncorporado = SORVENIA_CUENTA_SERVIDOR;
}

Cuenta::~Cuenta() = default;

Tarea<std::shared_ptr<Cuenta>> Cuenta::crear() { return crear(Entorno{}); }

Tarea<std::shared_ptr<Cuenta>> Cuenta::crear(Entorno entorno) {
    auto cuenta = std::make_shared<Cuenta>(Clave{}, std::move(entorno));
    cuentaActual() = cuenta;
    co_await cuenta->restaurar();
    co_return cuenta;
}

std::shared_ptr<Cuenta> Cuenta::actual() { return cuentaActual().lock(); }

Tarea<void> Cuenta::restaurar() {
    const auto datos = preferencias().datos(claveCliente());
    if (!datos) co_return;
    auto c = clienteDeTexto(std::string(datos->begin(), datos->end()));
    if (!c) co_return;  // an unreadable record stays where it is
    auto leer = [cuenta = cuentaClave()] { return Llavero::leer(cuenta); };
    const auto clave = co_await enSegundoPlano(std::move(leer));
    if (!clave) co_return;  // a record without its key is not a signed-in customer
    ponerCliente(std::move(*c));
}

Cuenta::Suscripcion Cuenta::observar(std::function<void(Cambio)> observador) {
    return observadores_.observar(std::move(observador));
}

Preferencias& Cuenta::preferencias() const {
    return entorno_.preferencias != nullptr ? *entorno_.preferencias : Preferencias::estandar();
}

std::string Cuenta::servidor() const {
    const auto propio = preferencias().texto("servidor");
    if (propio && direccion::esURL(*propio)) return *propio;
    return entorno_.servidorIncorporado;
}

std::optional<std::string> Cuenta::url(const std::string& base, const ConsultaCuenta& consulta) {
    return direccion::endpoint(base, consulta);
}

std::string Cuenta::hostOIncorporado() const {
    if (auto h = direccion::host(servidor())) return *h;
    return direccion::host(entorno_.servidorIncorporado).value_or("");
}

std::string Cuenta::cuentaClave() const { return "clave@" + hostOIncorporado(); }

std::string Cuenta::claveCliente() const { return "cliente@" + direccion::host(servidor()).value_or(""); }

void Cuenta::fijarCliente(Cliente c) {
    const std::string texto = escribir(c).dump();
    ponerCliente(std::move(c));
    preferencias().fijarDatos(claveCliente(), std::span(reinterpret_cast<const std::uint8_t*>(texto.data()), texto.size()));
}

Tarea<void> Cuenta::desconectar(bool revocar) {
    auto yo = shared_from_this();
    const std::string cuenta = cuentaClave();
    const std::string base = servidor();
    ponerError(std::nullopt);
    preferencias().quitar(claveCliente());
    ponerCliente(std::nullopt);
    ponerDisenos({});
    // The key read for the revoke comes before the delete, in one trip.
    auto quitarClave = [cuenta, revocar] {
        auto clave = revocar ? Llavero::leer(cuenta) : std::nullopt;
        Llavero::borrar(cuenta);
        return clave;
    };
    const auto clave = co_await enSegundoPlano(std::move(quitarClave));
    if (!clave) co_return;
    PeticionHTTP peticion = peticionDeRevocar(base, *clave);
    // Nobody waits for the answer, and it is not read.
    auto enviarRevocacion = [](PeticionHTTP p) -> Tarea<void> { (void)co_await pedirAsync(std::move(p)); };
    lanzar(enviarRevocacion(std::move(peticion)));
}

void Cuenta::ponerCliente(std::optional<Cliente> c) {
    assert(esHiloPrincipal());
    cliente_ = std::move(c);
    observadores_.avisar(Cambio::cliente);
}

void Cuenta::ponerDisenos(std::vector<DisenoResumen> d) {
    assert(esHiloPrincipal());
    disenos_ = std::move(d);
    observadores_.avisar(Cambio::disenos);
}

void Cuenta::ponerCargando(bool c) {
    assert(esHiloPrincipal());
    cargando_ = c;
    observadores_.avisar(Cambio::cargando);
}

void Cuenta::ponerError(std::optional<std::string> e) {
    assert(esHiloPrincipal());
    error_ = std::move(e);
    observadores_.avisar(Cambio::error);
}

}  // namespace sorvenia
