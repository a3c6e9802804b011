#pragma once
// Navegacion: which screen the window shows, whether the settings sheet is
// open (on its integrations tab or on its agents tab), and the work the home
// screen leaves for the next new design. One object for the whole run, on
// the main thread; the root view draws what it says, and everyone else
// changes it by assigning.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "navegacion/plantilla.h"
#include "cuenta/registros.h"
#include "plataforma/observadores.h"

namespace sorvenia {

class Navegacion {
public:
    // One screen of the window. Two values are equal when they are the same
    // screen and, for the editor, have equal ids and equal templates.
    class Pantalla {
    public:
        enum class Caso { editor, inicio, servidores, agencia };

        Pantalla() = default;  // the home screen
        // The editor: of the cloud design `id`, or of a new design of
        // `plantilla` when there is no id.
        static Pantalla editor(std::optional<std::string> id, std::optional<Plantilla> plantilla);
        static Pantalla inicio() { return {}; }
        static Pantalla servidores() { return Pantalla(Caso::servidores); }
        static Pantalla agencia() { return Pantalla(Caso::agencia); }

        Caso caso() const { return caso_; }
        bool esEditor() const { return caso_ == Caso::editor; }
        // Only the editor has them; empty for the other screens.
        const std::optional<std::string>& id() const { return id_; }
        const std::optional<Plantilla>& plantilla() const { return plantilla_; }

        bool operator==(const Pantalla&) const = default;

    private:
        explicit Pantalla(Caso caso) : caso_(caso) {}
        Caso caso_ = Caso::inicio;
        std::optional<std::string> id_;
        std::optional<Plantilla> plantilla_;
    };

    // What the home screen hands to the next new design.
    struct Pendiente {
        std::string prompt;
        std::vector<nlohmann::json> recursos;
        std::optional<std::string> ia;
    };

    // The published members, as observers hear of them.
    enum class Cambio { pantalla, ajustes, agentes };
    using Suscripcion = Observadores<Cambio>::Suscripcion;

    Navegacion() = default;
    Navegacion(const Navegacion&) = delete;
    Navegacion& operator=(const Navegacion&) = delete;

    const Pantalla& pantalla() const { return pantalla_; }
    bool ajustes() const { return ajustes_; }
    bool agentes() const { return agentes_; }

    // Every assignment is published, also one that changes nothing.
    void fijarPantalla(Pantalla p);
    // Closing either sheet (assigning false, even when it was already
    // false) sends the open editor's page the current integration cards.
    void fijarAjustes(bool abierto);
    void fijarAgentes(bool abierto);

    [[nodiscard]] Suscripcion observar(std::function<void(Cambio)> observador);

    // The welcome design: the latest one named "Bienvenido a Sorvenia Code"
    // among `disenos`, or a new one when there is none.
    void tutorial(const std::vector<DisenoResumen>& disenos);

    // The hand-over to the next new design: the home screen fills these and
    // then opens the editor; the editor that finishes loading first takes
    // them with tomarPendiente().
    std::optional<std::string> promptPendiente;
    std::vector<nlohmann::json> recursosPendientes;
    std::optional<std::string> iaPendiente;

    // Takes the three and clears them, but only when the request is there
    // and not empty; otherwise leaves everything as it is.
    std::optional<Pendiente> tomarPendiente();

    // Where the integration cards for the editor's page come from; while it
    // is not set, closing a sheet sends nothing.
    std::function<nlohmann::json()> integraciones;

private:
    void alCerrarHoja(bool abierto) const;

    Pantalla pantalla_;
    bool ajustes_ = false;
    bool agentes_ = false;
    Observadores<Cambio> observadores_;
};

}  // namespace sorvenia
