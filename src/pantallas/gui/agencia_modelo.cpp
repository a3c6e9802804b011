// The agency page model's calls into the page and its uploads.

#include "pantallas/gui/agencia_modelo.h"

#include "centro/trabajos.h"
#include "cuenta/cuenta.h"
#include "plataforma/gui/llamada_js.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
std::optional<std::string> AgenciaModelo::textoLlamada(const std::string& funcion, const Json& argumento) {
    return llamadaPagina("agencia", funcion, argumento);
}

void AgenciaModelo::js(const std::string& nombre, const Json& datos) {
    if (web_ == nullptr) return;
    if (const auto texto = textoLlamada(nombre, datos)) web_->evaluar(*texto);
}

nlohmann::json AgenciaModelo::disenos(const Cuenta& cuenta) {
    Json lista = Json::array();
    for (const auto& d : cuenta.disenos())
        lista.push_back({{"id", d.id},
                         {"nombre", d.nombre},
                         {"modificado", d.modificado},
                         {"miniatura", d.miniatura.value_or("")}});
    return lista;
}

std::string AgenciaModelo::claveCuenta() const {
    const auto cuenta = cuenta_.lock();
    return FicheroAgencia::claveCuenta(cuenta ? cuenta->cliente() : std::nullopt);
}

void AgenciaModelo::enviarTodo() {
    const auto cuenta = cuenta_.lock();
    if (!cuenta) return;
    const EntradaAgencia e = fichero_.entrada(claveCuenta());
    Json datos{{"agencia", e.datos},
               {"disenos", disenos(*cuenta)},
               {"trabajos", Trabajos::compartido().lista()},
               {"local", {{"base", e.base ? *e.base : Json()}, {"version", e.version}, {"pendiente", e.pendiente}}}};
    if (const auto& c = cuenta->cliente()) datos["cliente"] = {{"nombre", c->nombre}, {"email", c->email}};
    js("datos", datos);
}

void AgenciaModelo::enviarDisenos() {
    if (const auto cuenta = cuenta_.lock()) js("disenos", disenos(*cuenta));
}

void AgenciaModelo::enviarTrabajos() { js("trabajos", Trabajos::compartido().lista()); }

void AgenciaModelo::empezarSubida(Json datos, std::int64_t version, std::string clave) {
    ++subiendo_;
    lanzar(subida(shared_from_this(), std::move(datos), version, std::move(clave)));
}

Tarea<void> AgenciaModelo::subida(std::shared_ptr<AgenciaModelo> yo, Json datos, std::int64_t version,
                                  std::string clave) {
    std::optional<std::int64_t> nueva;
    std::optional<Cuenta::ErrorAgencia> conflicto;
    std::exception_ptr error;
    if (const auto cuenta = yo->cuenta_.lock()) {
        try {
            nueva = co_await cuenta->guardarAgencia(datos, version);
        } catch (const Cuenta::ErrorAgencia& e) {
            conflicto = e;
        } catch (...) {
            error = std::current_exception();
        }
    }
    if (nueva) {
        // The user may have saved again while the upload ran: what is stored
        // now stays, and stays pending unless it is what went up.
        EntradaAgencia e = yo->fichero_.entrada(clave);
        e.pendiente = !FicheroAgencia::iguales(e.datos, datos);
        e.base = std::move(datos);
        e.version = *nueva;
        (void)yo->fichero_.escribir(clave, e);
        yo->js("subido", {{"ok", true}, {"version", *nueva}});
    } else if (conflicto) {
        // The local entry stays as it is; the page merges and uploads again.
        Json servidor = conflicto->datos.objeto();
        if (!servidor.is_object()) servidor = Json::object();
        yo->js("subido", {{"conflicto", true}, {"servidor", {{"datos", servidor}, {"version", conflicto->version}}}});
    } else if (error) {
        yo->js("subido", {{"ok", false}, {"sinRed", Cuenta::reintentable(error)}, {"mensaje", descripcionDe(error)}});
    }
    --yo->subiendo_;
    if (yo->saliendo_) yo->alSalir();
}

void AgenciaModelo::alSalir() {
    if (subiendo_ > 0) {
        saliendo_ = true;
        return;
    }
    saliendo_ = false;
    const std::string clave = claveCuenta();
    EntradaAgencia e = fichero_.entrada(clave);
    if (!e.pendiente) return;
    if (!e.base && e.datos.is_object() && e.datos.empty()) return;  // nothing to upload
    if (cuenta_.expired()) return;
    empezarSubida(std::move(e.datos), e.version, clave);
}

}  // namespace sorvenia
