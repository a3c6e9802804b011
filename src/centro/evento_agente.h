#pragma once
// What the rest of the application sees of an agent run: one value per thing
// the agent did (a piece of answer text, a tool step started or finished, its
// session id, the final result). Plain values, copied freely.

#include <functional>
#include <optional>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

namespace sorvenia {

struct EventoAgente {
    // A piece of the answer text, appended to what was shown so far.
    struct Texto {
        std::string texto;
        bool operator==(const Texto&) const = default;
    };
    // A tool step started: its id, the tool's name as the agent reports it
    // (prefix included), its input arguments, and the sub-agent step it
    // belongs to (absent for the main agent).
    struct Paso {
        std::string id;
        std::string herramienta;
        nlohmann::json entrada = nlohmann::json::object();
        std::optional<std::string> agente;
        bool operator==(const Paso&) const = default;
    };
    // The step with that id finished, with or without an error.
    struct PasoHecho {
        std::string id;
        bool error = false;
        bool operator==(const PasoHecho&) const = default;
    };
    // The agent's session id, kept to resume the conversation later.
    struct Sesion {
        std::string id;
        bool operator==(const Sesion&) const = default;
    };
    // The run's final result text; the turn is over.
    struct Fin {
        std::string texto;
        bool operator==(const Fin&) const = default;
    };

    std::variant<Texto, Paso, PasoHecho, Sesion, Fin> valor;
    bool operator==(const EventoAgente&) const = default;
};

// Receives each event of a run, in order.
using EventosAgente = std::function<void(EventoAgente)>;

}  // namespace sorvenia
