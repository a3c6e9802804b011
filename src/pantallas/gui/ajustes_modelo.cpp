// The settings page model's data and its calls into the page.
#include "pantallas/gui/ajustes_modelo.h"

#include "centro/centro.h"
#include "centro/editor_modelo.h"
#include "integraciones/conexion_agente.h"
#include "integraciones/conexiones.h"
#include "integraciones/integraciones.h"
#include "integraciones/servicio_clave.h"
#include "medios/fuentes.h"
#include "pantallas/gui/textos_ajustes.h"
#include "plataforma/gui/llamada_js.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

Json servicios(const Integraciones::Lectura& lectura) {
    auto lista = Json::array();
    for (const auto s : todosLosServicios) {
        const bool conectado = lectura.conClave.contains(s);
        lista.push_back({{"id", Servicios::texto(s)},
                         {"nombre", Servicios::nombre(s)},
                         {"para", TextosAjustes::paraServicio(s)},
                         {"url", Servicios::dondeSacarla(s)},
                         {"conectado", conectado},
                         {"comprobada", conectado && Preferencias::estandar().booleano(
                                                         "claveComprobada." + std::string(Servicios::texto(s)))},
                         {"logo", "logos/" + std::string(Servicios::texto(s)) + ".png"}});
    }
    return lista;
}

Json agentes() {
    auto lista = Json::array();
    for (const auto a : todosLosAgentes)
        lista.push_back({{"id", texto(a)},
                         {"nombre", nombreVisible(a)},
                         {"conectado", ConexionAgente::conectado(a)},
                         {"manual", ConexionAgente::manual(a)},
                         {"despues", TextosAjustes::despues(a)},
                         {"logo", TextosAjustes::logoAgente(a)}});
    return lista;
}

}  // namespace

Json AjustesModelo::datos(const std::string& pestana) {
    // Every read is fresh; the reading of the keys also updates the cards
    // the home page and the editor get.
    auto lectura = Integraciones::leer();
    Integraciones::recordar(lectura);
    return {{"servicios", servicios(lectura)},
            {"agentes", agentes()},
            {"videos", Preferencias::estandar().booleano("videosIA")},
            {"nodo", lectura.nodo},
            {"prompts", TextosAjustes::prompts()},
            {"pestana", pestana},
            {"fuentes", Fuentes::json()},
            {"conexiones", Conexiones::json()}};
}

Tarea<void> AjustesModelo::enviar() {
    auto yo = shared_from_this();
    Json d = co_await enSegundoPlano([pestana = pestana_] { return datos(pestana); });
    yo->js("datos", d);
}

void AjustesModelo::js(const std::string& nombre, const Json& datos) {
    if (web_ == nullptr) return;
    if (const auto texto = llamadaPagina("ajustes", nombre, datos)) web_->evaluar(*texto);
}

void AjustesModelo::fuentesAlEditor() {
    if (const auto editor = Centro::compartido().editor.lock()) editor->js("fuentes", Fuentes::json());
}

}  // namespace sorvenia
