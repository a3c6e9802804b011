// The home page's messages. The web view hands over only objects posted by
// our own page's top frame; each "tipo" is one short handler that reads the
// keys it needs (a key of another JSON type counts as absent), ignores the
// message when one is missing, and acts.

#include <algorithm>
#include <map>
#include <string_view>

#include "comun/lectura_mensajes.h"
#include "actualizacion/actualizacion.h"
#include "navegacion/navegacion.h"
#include "centro/editor_modelo.h"
#include "centro/trabajos.h"
#include "cuenta/cuenta.h"
#include "cuenta/enlace_conexion.h"
#include "ias/deteccion.h"
#include "ias/inicio_sesion.h"
#include "pantallas/datos_inicio.h"
#include "pantallas/gui/inicio_modelo.h"
#include "pantallas/gui/tienda_ventana.h"
#include "plataforma/navegador.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;
using Pantalla = Navegacion::Pantalla;

using Mensaje::texto;

bool verdadero(const Json& m, const char* clave) {
    const auto it = m.find(clave);
    return it != m.end() && it->is_boolean() && it->get<bool>();
}

// The template of a new design: the row the page names, else "web".
Plantilla plantillaDe(const Json& m) { return Plantilla::conId(texto(m, "plantilla").value_or("")); }

// The attached resources of a request: the empty list unless every entry is
// an object.
std::vector<Json> recursosDe(const Json& m) {
    const auto it = m.find("recursos");
    if (it == m.end() || !it->is_array()) return {};
    std::vector<Json> recursos;
    for (const Json& r : *it) {
        if (!r.is_object()) return {};
        recursos.push_back(r);
    }
    return recursos;
}

}  // namespace

void InicioModelo::recibir(const Json& mensaje) {
    static const std::map<std::string, Manejador, std::less<>> manejadores = {
        {"listo", &InicioModelo::listo},
        {"abrir", &InicioModelo::abrir},
        {"nuevo", &InicioModelo::nuevo},
        {"crear", &InicioModelo::crear},
        {"borrar", &InicioModelo::borrar},
        {"pararTrabajo", &InicioModelo::pararTrabajo},
        {"quitarTrabajo", &InicioModelo::quitarTrabajo},
        {"abrirTrabajo", &InicioModelo::abrirTrabajo},
        {"descartarCopia", &InicioModelo::descartarCopia},
        {"abrirCopia", &InicioModelo::abrirCopia},
        {"subirCopia", &InicioModelo::subirCopia},
        {"conectarIA", &InicioModelo::conectarIA},
        {"instalarIA", &InicioModelo::instalarIA},
        {"menu", &InicioModelo::menu},
        {"descargarActualizacion", &InicioModelo::descargarActualizacion},
    };
    if (!mensaje.is_object()) return;
    const auto tipo = texto(mensaje, "tipo");
    const auto cuenta = cuenta_.lock();
    const auto nav = nav_.lock();
    if (!tipo || !cuenta || !nav) return;
    const auto manejador = manejadores.find(*tipo);
    if (manejador == manejadores.end()) return;
    const auto yo = shared_from_this();  // a handler may end the screen
    (this->*(manejador->second))(mensaje, *cuenta, *nav);
}

void InicioModelo::listo(const Json&, Cuenta&, Navegacion&) { lanzar(detectar()); }

void InicioModelo::abrir(const Json& m, Cuenta&, Navegacion& nav) {
    if (auto id = texto(m, "id")) nav.fijarPantalla(Pantalla::editor(std::move(id), std::nullopt));
}

void InicioModelo::nuevo(const Json& m, Cuenta&, Navegacion& nav) {
    nav.fijarPantalla(Pantalla::editor(std::nullopt, plantillaDe(m)));
}

void InicioModelo::crear(const Json& m, Cuenta&, Navegacion& nav) {
    if (verdadero(m, "video") && !Preferencias::estandar().booleano("videosIA")) {
        js("aviso", {{"texto", "Para hacer vídeos activa «Vídeo con IA» en Integraciones (necesitas Node.js)."}});
        nav.fijarAjustes(true);
        return;
    }
    nav.iaPendiente = texto(m, "ia");
    nav.promptPendiente = texto(m, "texto");
    nav.recursosPendientes = recursosDe(m);
    nav.fijarPantalla(Pantalla::editor(std::nullopt, plantillaDe(m)));
}

void InicioModelo::borrar(const Json& m, Cuenta& cuenta, Navegacion&) {
    // The outcome reaches the page through the account's list and error.
    if (auto id = texto(m, "id")) lanzar(cuenta.borrar(std::move(*id)));
}

void InicioModelo::pararTrabajo(const Json& m, Cuenta&, Navegacion&) {
    const auto clave = texto(m, "clave");
    if (!clave) return;
    if (const auto editor = Trabajos::compartido().modelo(*clave)) editor->pararAgente();
}

void InicioModelo::quitarTrabajo(const Json& m, Cuenta&, Navegacion&) {
    if (const auto clave = texto(m, "clave")) Trabajos::compartido().visto(*clave);
}

void InicioModelo::abrirTrabajo(const Json& m, Cuenta&, Navegacion& nav) {
    if (const auto clave = texto(m, "clave")) Trabajos::compartido().abrir(*clave, &nav);
}

std::optional<CopiaLocal> InicioModelo::buscarCopia(const Json& m, const Cuenta& cuenta) {
    if (const auto archivo = texto(m, "archivo")) {
        for (auto& copia : cuenta.copiasLocales())
            if (Cuenta::nombreCopia(copia.id, copia.ref) == *archivo) return std::move(copia);
    }
    // Gone meanwhile (uploaded, discarded): the page shows what is left.
    enviar();
    return std::nullopt;
}

void InicioModelo::descartarCopia(const Json& m, Cuenta& cuenta, Navegacion&) {
    const auto copia = buscarCopia(m, cuenta);
    if (!copia) return;
    cuenta.descartarCopia(Cuenta::nombreCopia(copia->id, copia->ref));
    enviar();
}

void InicioModelo::abrirCopia(const Json& m, Cuenta& cuenta, Navegacion& nav) {
    auto copia = buscarCopia(m, cuenta);
    if (!copia) return;
    auto id = copia->id;
    nav.copiaParaAbrir = std::move(copia);
    nav.fijarPantalla(Pantalla::editor(std::move(id), std::nullopt));
}

void InicioModelo::subirCopia(const Json& m, Cuenta& cuenta, Navegacion&) {
    if (auto copia = buscarCopia(m, cuenta)) lanzar(subir(std::move(*copia), cuenta.shared_from_this()));
}

void InicioModelo::conectarIA(const Json& m, Cuenta&, Navegacion&) {
    // Only a tool that was detected can be signed in to.
    const auto id = texto(m, "id");
    const auto it = id ? std::ranges::find_if(ias_, [&](const IA& ia) { return ia.id() == *id; }) : ias_.end();
    if (it == ias_.end()) return;
    // No code entry here: the login is left to the browser, and whatever
    // its end the tools are detected again so the page shows the new state.
    // The handle is not kept; quitting the application still ends it.
    const std::weak_ptr<InicioModelo> debil = weak_from_this();
    (void)IAsLocales::iniciarSesion(*it, {}, {}, [debil](bool) { lanzar(detectarTrasSesion(debil)); });
}

Tarea<void> InicioModelo::detectarTrasSesion(std::weak_ptr<InicioModelo> debil) {
    auto ias = co_await IAsLocales::detectar();
    const auto modelo = debil.lock();
    if (!modelo) co_return;
    modelo->ias_ = std::move(ias);
    modelo->iasListas_ = true;
    modelo->enviar();
}

void InicioModelo::instalarIA(const Json& m, Cuenta&, Navegacion&) {
    const auto id = texto(m, "id");
    if (const auto pagina = id ? DatosInicio::paginaDescarga(*id) : std::nullopt) Navegador::abrir(*pagina);
}

void InicioModelo::descargarActualizacion(const Json&, Cuenta&, Navegacion&) {
    if (const auto& nueva = Actualizacion::disponible()) Navegador::abrir(nueva->url);
}

void InicioModelo::menu(const Json& m, Cuenta& cuenta, Navegacion& nav) {
    const auto accion = texto(m, "accion").value_or("");
    if (accion == "agentes") nav.fijarAgentes(true);
    else if (accion == "ajustes") nav.fijarAjustes(true);
    else if (accion == "servidores") nav.fijarPantalla(Pantalla::servidores());
    else if (accion == "agencia") nav.fijarPantalla(Pantalla::agencia());
    else if (accion == "tienda") TiendaVentana::abrir(cuenta.shared_from_this(), nav_, "mio");
    else if (accion == "tutorial") nav.tutorial(cuenta.disenos());
    else if (accion == "panel") Navegador::abrir(anadirRuta(cuenta.servidor(), "panel/"));
    else if (accion == "desconectar") lanzar(cuenta.desconectar(true));
    else if (accion == "refrescar") lanzar(cuenta.refrescar());
}

void InicioModelo::noDisponible(const std::string& que) {
    js("aviso", {{"texto", que + " todavía no está disponible en Sorvenia Code."}});
}

}  // namespace sorvenia
