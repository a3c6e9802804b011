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
    void SetUp() override;
    void TearDown() override;

    static nlohmann::json ejecutar(const std::string& nombre, const nlohmann::json& argumentos,
                                   std::optional<std::string> clave = std::nullopt);

    // A model that agents reach by its key.
    std::shared_ptr<EditorDoble> registrado(const std::string& clave, std::optional<std::string> id,
                                            const std::string& nombre);

    // A design saved in Ana's account; its id.
    std::string guardarDiseno(const std::string& nombre);

    std::shared_ptr<Cuenta> cuenta;
    std::shared_ptr<Navegacion> nav = std::make_shared<Navegacion>();
};

// The editor view, as far as the hub can tell: each time the navigation
// shows the editor, a new model of that design becomes the hub's open
// editor after `aparece`, and gets ready `prepara` later.
class SesionSimulada {
public:
    SesionSimulada(Navegacion& nav, std::chrono::milliseconds aparece, std::chrono::milliseconds prepara);
    ~SesionSimulada();
    SesionSimulada(const SesionSimulada&) = delete;
    SesionSimulada& operator=(const SesionSimulada&) = delete;

    std::vector<std::shared_ptr<EditorDoble>> abiertos;

private:
    static Tarea<void> abrir(SesionSimulada* yo, std::optional<std::string> id);

    std::chrono::milliseconds aparece_, prepara_;
    Navegacion::Suscripcion suscripcion_;
    std::vector<TareaLanzada> tareas_;
};

}  // namespace sorvenia::prueba
