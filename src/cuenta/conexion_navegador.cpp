// The browser sign-in: the link with its one-time state and challenge, and
// the check of the callback that the desktop hands back.
#include <gio/gio.h>

#include "cuenta/conexion_navegador.h"
#include "cuenta/cuenta.h"
#include "cuenta/enlace_conexion.h"
#include "plataforma/carpetas.h"
#include "plataforma/cripto.h"
#include "plataforma/identidad.h"
#include "plataforma/navegador.h"

namespace sorvenia {
namespace {

// This computer's name as the site shows it to the customer ("equipo"):
// its host name, or "ordenador" when the system gives none.
std::string nombreEquipo() {
    const char* nombre = g_get_host_name();
    return nombre != nullptr && *nombre != '\0' ? nombre : "ordenador";
}

std::string retoDe(const std::string& verificador) {
    const auto resumen = sha256(verificador);
    return base64url(resumen);
}

// In the test build the link goes to the test channel's folder, where the
// harness plays the browser.
void dejarEnlaceParaPruebas(const std::string& enlace) {
    std::error_code ec;
    std::filesystem::create_directories(Carpetas::canalPruebas(), ec);
    const auto archivo = Carpetas::canalPruebas() / "enlace-conectar.txt";
    g_file_set_contents(archivo.c_str(), enlace.data(), static_cast<gssize>(enlace.size()), nullptr);
}

// Brings the window to the front, even over the browser that sent us here.
void activarAplicacion() {
    if (GApplication* app = g_application_get_default()) g_application_activate(app);
}

}  // namespace

void ConexionNavegador::conectar() {
    sinNavegador_ = false;
    cuenta_.ponerError(std::nullopt);
    ponerConectando(true);
    const auto azar = [this](std::size_t n) { return azar_ ? Cuenta::aleatorio(n, azar_) : Cuenta::aleatorio(n); };
    const auto verificador = azar(48);
    const auto state = azar(24);
    if (!verificador || !state) {
        // Predictable values would let another program finish this sign-in.
        pendiente_.reset();
        ponerConectando(false);
        cuenta_.ponerError("No se ha podido iniciar la conexión.");
        return;
    }
    const std::string enlace = enlaceConectar(cuenta_.servidor(), *state, retoDe(*verificador), nombreEquipo());
    pendiente_ = Pendiente{*state, *verificador};
    ponerEnlace(enlace);
    if (esCompilacionDePrueba()) {
        dejarEnlaceParaPruebas(enlace);
        return;
    }
    // Without a browser the attempt stays under way: the page shows the
    // link, and the user can open it in a browser elsewhere and come back.
    if (!Navegador::abrir(enlace)) {
        sinNavegador_ = true;
        cuenta_.ponerError("No se ha podido abrir el navegador.");
    }
}

void ConexionNavegador::reabrirNavegador() {
    if (!enlace_ || !Navegador::abrir(*enlace_)) return;
    if (!sinNavegador_) return;
    sinNavegador_ = false;
    cuenta_.ponerError(std::nullopt);
}

void ConexionNavegador::cancelar() {
    sinNavegador_ = false;
    pendiente_.reset();
    ponerEnlace(std::nullopt);
    ponerConectando(false);
}

void ConexionNavegador::recibir(const std::string& url) {
    const auto llamada = leerLlamadaConexion(url);
    if (!llamada) return;
    if (!pendiente_) {
        cuenta_.ponerError("Ese enlace de conexión ya no vale: pulsa «Conectar» otra vez.");
        return;
    }
    if (llamada->state != pendiente_->state) {
        cuenta_.ponerError("La respuesta no corresponde a esta conexión.");
        return;
    }
    std::string verificador = std::move(pendiente_->verificador);
    pendiente_.reset();
    sinNavegador_ = false;
    ponerEnlace(std::nullopt);
    activarAplicacion();
    if (llamada->error == "denegado") {
        ponerConectando(false);
        cuenta_.ponerError("Has cancelado la conexión.");
        return;
    }
    if (!llamada->code) {
        ponerConectando(false);
        cuenta_.ponerError("Falta el código de conexión.");
        return;
    }
    auto canjearYTerminar = [](std::shared_ptr<Cuenta> yo, std::string code, std::string v) -> Tarea<void> {
        co_await yo->canjear(std::move(code), std::move(v));
        yo->conexion_.ponerConectando(false);
    };
    lanzar(canjearYTerminar(cuenta_.shared_from_this(), *llamada->code, std::move(verificador)));
}

void ConexionNavegador::ponerConectando(bool c) {
    conectando_ = c;
    cuenta_.observadores_.avisar(Cuenta::Cambio::conectando);
}

void ConexionNavegador::ponerEnlace(std::optional<std::string> e) {
    enlace_ = std::move(e);
    cuenta_.observadores_.avisar(Cuenta::Cambio::enlaceConexion);
}

}  // namespace sorvenia
