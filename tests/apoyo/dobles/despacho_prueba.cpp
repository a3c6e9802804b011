#include "despacho_prueba.h"

namespace sorvenia::prueba {

void DespachoPrueba::SetUp() {
    CuentaPrueba::SetUp();
    anaConectada();
    cuenta = crear();
    Centro::compartido().cuenta = cuenta;
    Centro::compartido().nav = nav;
}

void DespachoPrueba::TearDown() {
    auto& centro = Centro::compartido();
    centro.editor.reset();
    centro.cuenta.reset();
    centro.nav.reset();
    const auto modelos = Trabajos::compartido().modelos();
    for (const auto& m : modelos) Trabajos::compartido().quitar(*m);
    CuentaPrueba::TearDown();
}

nlohmann::json DespachoPrueba::ejecutar(const std::string& nombre, const nlohmann::json& argumentos,
                                        std::optional<std::string> clave) {
    return esperarEnBucle(Centro::compartido().ejecutar(nombre, argumentos, std::move(clave)));
}

std::shared_ptr<EditorDoble> DespachoPrueba::registrado(const std::string& clave, std::optional<std::string> id,
                                                        const std::string& nombre) {
    auto e = std::make_shared<EditorDoble>(clave, std::move(id), nombre);
    Trabajos::compartido().registrar(e);
    return e;
}

std::string DespachoPrueba::guardarDiseno(const std::string& nombre) {
    const auto r = servicio.pedirComoAna("POST", "accion=guardar",
                                         nlohmann::json{{"nombre", nombre}, {"doc", {{"mesas", 1}}}}.dump());
    return nlohmann::json::parse(r.cuerpo)["diseno"]["id"];
}

SesionSimulada::SesionSimulada(Navegacion& nav, std::chrono::milliseconds aparece, std::chrono::milliseconds prepara)
    : aparece_(aparece), prepara_(prepara) {
    suscripcion_ = nav.observar([this, &nav](Navegacion::Cambio c) {
        if (c == Navegacion::Cambio::pantalla && nav.pantalla().esEditor())
            tareas_.push_back(lanzar(abrir(this, nav.pantalla().id())));
    });
}

SesionSimulada::~SesionSimulada() {
    for (const auto& t : tareas_) t.cancelar();
}

Tarea<void> SesionSimulada::abrir(SesionSimulada* yo, std::optional<std::string> id) {
    co_await dormir(std::chrono::duration<double>(yo->aparece_).count());
    auto e = std::make_shared<EditorDoble>("sesion" + std::to_string(yo->abiertos.size()) + "abcdefgh", id);
    yo->abiertos.push_back(e);
    Centro::compartido().editor = e;
    co_await dormir(std::chrono::duration<double>(yo->prepara_).count());
    e->listo_ = true;
}

}  // namespace sorvenia::prueba
