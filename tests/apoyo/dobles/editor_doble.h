#pragma once
// A stand-in for the model of an open design: the state the hub and the job
// registry read is set by the test, and every call is recorded.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "centro/editor_modelo.h"
#include "ias/matar.h"

namespace sorvenia::prueba {

class EditorDoble final : public EditorModelo {
public:
    struct Llamada {
        std::string nombre;
        nlohmann::json argumentos;
        std::optional<std::string> externo;
    };

    explicit EditorDoble(std::string clave, std::optional<std::string> id = std::nullopt,
                         std::string nombre = "Sin título")
        : clave_(std::move(clave)), id_(std::move(id)), nombre_(std::move(nombre)) {}

    const std::string& clave() const override { return clave_; }
    const std::optional<std::string>& id() const override { return id_; }
    const std::string& nombre() const override { return nombre_; }
    bool listo() const override { return listo_; }
    bool aparcado() const override { return aparcado_; }

    Tarea<nlohmann::json> herramienta(std::string nombre, nlohmann::json argumentos,
                                      std::optional<std::string> externo) override;
    void renombrar(std::string nombre) override { renombres.push_back(std::move(nombre)); }
    void js(std::string funcion, nlohmann::json argumento) override {
        paginas.emplace_back(std::move(funcion), std::move(argumento));
    }
    void cerrar() override { ++cierres; }
    bool porGuardar() const override { return pendiente; }
    Tarea<bool> guardarAhora() override;
    std::shared_ptr<Proceso> procesoAgente() const override { return proceso; }
    void pararAgente() override;
    bool agenteEnMarcha() const override { return trabajando; }

    std::string clave_;
    std::optional<std::string> id_;
    std::string nombre_;
    bool listo_ = false;
    bool aparcado_ = false;

    // What herramienta answers, and what was asked of the model.
    nlohmann::json respuesta = nlohmann::json::array({{{"type", "text"}, {"text", "hecho"}}});
    std::vector<Llamada> llamadas;
    std::vector<std::string> renombres;
    std::vector<std::pair<std::string, nlohmann::json>> paginas;
    int cierres = 0;
    // The quit flush: whether it has anything to save, how long saving
    // takes, and how many times it was asked.
    bool pendiente = false;
    double tardaGuardar = 0;
    int guardados = 0;
    std::shared_ptr<Proceso> proceso;  // the agent's, as the test starts it
    bool trabajando = false;           // an agent run is going on
};

}  // namespace sorvenia::prueba
