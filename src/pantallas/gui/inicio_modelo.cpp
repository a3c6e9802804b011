// The home page model's state and its calls into the page: the home data,
// the job list, notices; the detection of the local AI tools and the upload
// of a local copy, which end by sending the data again.

#include "pantallas/gui/inicio_modelo.h"

#include "actualizacion/actualizacion.h"

#include "navegacion/navegacion.h"
#include "centro/trabajos.h"
#include "cuenta/cuenta.h"
#include "ias/deteccion.h"
#include "pantallas/datos_inicio.h"
#include "plataforma/gui/llamada_js.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {

std::optional<std::string> InicioModelo::textoLlamada(const std::string& funcion, const Json& argumento) {
    return llamadaPagina("inicio", funcion, argumento);
}

void InicioModelo::enviar() {
    const auto cuenta = cuenta_.lock();
    if (web_ == nullptr || !cuenta) return;
    DatosInicio::Fuentes f;
    f.cliente = cuenta->cliente();
    f.disenos = cuenta->disenos();
    f.ias = ias_;
    f.iasListas = iasListas_;
    f.copias = cuenta->copiasLocales();
    f.error = cuenta->error();
    // The cards come from the integrations when they are wired in; until
    // then there are none to show.
    if (const auto nav = nav_.lock(); nav && nav->integraciones) f.integraciones = nav->integraciones();
    f.trabajos = Trabajos::compartido().lista();
    if (const auto& nueva = Actualizacion::disponible()) f.actualizacion = nueva->version;
    js("datos", DatosInicio::datos(f));
    enviarTrabajos();
}

void InicioModelo::mirarActualizacion() {
    const auto cuenta = cuenta_.lock();
    if (!cuenta) return;
    lanzar([](std::shared_ptr<InicioModelo> m, std::string servidor) -> Tarea<void> {
        if (co_await Actualizacion::comprobar(std::move(servidor))) m->enviar();
    }(shared_from_this(), cuenta->servidor()));
}

void InicioModelo::enviarTrabajos() {
    if (web_ == nullptr) return;
    // The page may define its object before this function.
    if (const auto json = jsonParaPagina(Trabajos::compartido().lista()))
        web_->evaluar("window.inicio && window.inicio.trabajos && window.inicio.trabajos(" + *json + ")");
}

void InicioModelo::js(const std::string& nombre, const Json& datos) {
    if (web_ == nullptr) return;
    if (const auto texto = textoLlamada(nombre, datos)) web_->evaluar(*texto);
}

Tarea<void> InicioModelo::detectar() {
    const auto yo = shared_from_this();
    ias_ = co_await IAsLocales::detectar();
    iasListas_ = true;
    enviar();
}

Tarea<void> InicioModelo::subir(CopiaLocal copia, std::shared_ptr<Cuenta> cuenta) {
    const auto yo = shared_from_this();
    try {
        (void)co_await cuenta->guardar(copia.id, copia.nombre, copia.doc, std::nullopt, std::nullopt, copia.ref);
        js("aviso", {{"texto", "«" + copia.nombre + "» subido a tu cuenta."}});
    } catch (...) {
        js("aviso", {{"texto", "No se ha podido subir «" + copia.nombre + "»: " + descripcionDe(std::current_exception())}});
    }
    co_await cuenta->refrescar();
    enviar();
}

}  // namespace sorvenia
