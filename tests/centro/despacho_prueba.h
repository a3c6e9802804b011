#pragma once
// The fixture of the dispatcher's tests: the hub with a real account signed
// in against the local account service, a real navigation model, and test
// doubles for the editors; plus a stand-in for the editor view that opens
// a model when the navigation shows the editor.

#include <chrono>
#include <memory>
#include <vector>

#include "navegacion/navegacion.h"
#include "centro/centro.h"
#include "centro/trabajos.h"
#include "cuenta_prueba.h"
#include "editor_doble.h"

namespace sorvenia::prueba {

class DespachoPrueba : public CuentaPrueba {
protected:
    void SetUp() override {
        CuentaPrueba::SetUp();
        anaConectada();
        cuenta = crear();
        Centro::compartido().cuenta = cuenta;
        Centro::compartido().nav = nav;
    }
    void TearDown() override {
        auto& centro = Centro::compartido();
        centro.editor.reset();
        centro.cuenta.reset();
        centro.nav.reset();
        const auto modelos = Trabajos::compartido().modelos();
        for (const auto& m : modelos) Trabajos::compartido().quitar(*m);
        CuentaPrueba::TearDown();
    }

    static nlohmann::json ejecutar(const std::string& nombre, const nlohmann::json& argumentos,
                                   std::optional<std::string> clave = std::nullopt) {
        return esperarEnBucle(Centro::compartido().ejecutar(nombre, argumentos, std::move(clave)));
    }

    // A model that agents reach by its key.
    std::shared_ptr<EditorDoble> registrado(const std::string& clave, std::optional<std::string> id,
                                            const std::string& nombre) {
        auto e = std::make_shared<EditorDoble>(clave, std::move(id), nombre);
        Trabajos::compartido().registrar(e);
        return e;
    }

    // A design saved in Ana's account; its id.
    std::string guardarDiseno(const std::string& nombre) {
        const auto r = servicio.pedirComoAna("POST", "accion=guardar",
                                             nlohmann::json{{"nombre", nombre}, {"doc", {{"mesas", 1}}}}.dump());
        return nlohmann::json::parse(r.cuerpo)["diseno"]["id"];
    }

    std::shared_ptr<Cuenta> cuenta;
    std::shared_ptr<Navegacion> nav = std::make_shared<Navegacion>();
};

// The editor view, as far as the hub can tell: each time the navigation
// shows the editor, a new model of that design becomes the hub's open
// editor after `aparece`, and gets ready `prepara` later.
class SesionSimulada {
public:
    SesionSimulada(Navegacion& nav, std::chrono::milliseconds aparece, std::chrono::milliseconds prepara)
        : aparece_(aparece), prepara_(prepara) {
        suscripcion_ = nav.observar([this, &nav](Navegacion::Cambio c) {
            if (c == Navegacion::Cambio::pantalla && nav.pantalla().esEditor())
                tareas_.push_back(lanzar(abrir(this, nav.pantalla().id())));
        });
    }
    ~SesionSimulada() {
        for (const auto& t : tareas_) t.cancelar();
    }
    SesionSimulada(const SesionSimulada&) = delete;
    SesionSimulada& operator=(const SesionSimulada&) = delete;

    std::vector<std::shared_ptr<EditorDoble>> abiertos;

private:
    static Tarea<void> abrir(SesionSimulada* yo, std::optional<std::string> id) {
        co_await dormir(std::chrono::duration<double>(yo->aparece_).count());
        auto e = std::make_shared<EditorDoble>("sesion" + std::to_string(yo->abiertos.size()) + "abcdefgh", id);
        yo->abiertos.push_back(e);
        Centro::compartido().editor = e;
        co_await dormir(std::chrono::duration<double>(yo->prepara_).count());
        e->listo_ = true;
    }

    std::chrono::milliseconds aparece_, prepara_;
    Navegacion::Suscripcion suscripcion_;
    std::vector<TareaLanzada> tareas_;
};

}  // namespace sorvenia::prueba
