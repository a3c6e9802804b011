#pragma once
// The AI system administrator of the servers screen: the user's own signed-in
// claude run as an agent on one customer's VPS, which it reaches only
// through that server's one-command launcher. A fixed Spanish brief for a
// customer who is not technical; one conversation per server, resumed by
// every later message; every run's text, steps and end go to the page as
// "chat" messages.
//
// Every run that is still alive is kept until it ends, so stopping (the
// page's "parar", leaving the screen, quitting) reaches all of them, also
// when a second message started another run before the first one ended: an
// agent that holds a root launcher must never outlive the user's will.
//
// Main thread only. Held by shared_ptr; a run in progress holds it weakly.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "centro/agente.h"
#include "centro/evento_agente.h"
#include "ias/ia.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

namespace AdministradorVPS {

// The brief that replaces the agents' default one: two paragraphs.
const std::string& sistema();

// The user's text, a blank line, and the server line: "[Servidor: <alias> ·
// IP <ip>. Orden única: <launcher> '<orden>']". The ip goes as the page gave
// it: the launcher, not this line, decides where the agent can go.
std::string peticion(std::string_view texto, std::string_view alias, std::string_view ip,
                     const std::filesystem::path& lanzador);

// The administrator: the first signed-in claude of `ias` (codex and gemini
// never act on a server).
std::optional<IA> herramienta(const std::vector<IA>& ias);

// The page message of one event: "texto", "paso" ("orden": the input's
// "command", else its "skill", when a text), "pasoHecho" and "fin". A
// session id is kept, not shown: nothing.
std::optional<nlohmann::json> mensaje(const EventoAgente& evento);

inline constexpr const char* sinClaude = "Para hablar con tu servidor hace falta Claude conectado (la app de Claude).";
inline constexpr const char* servidorNoValido = "Servidor no válido.";

}  // namespace AdministradorVPS

class ChatAdministrador : public std::enable_shared_from_this<ChatAdministrador> {
public:
    // One "chat" message for the page.
    using Enviar = std::function<void(nlohmann::json)>;

    // What a run uses; the defaults are the application's own.
    struct Piezas {
        Agente::Lanzador lanzador;  // the agent runner
        // Writes a server's launcher and gives its path.
        std::function<Resultado<std::filesystem::path>(std::string_view alias)> lanzadorVPS;
        // The local MCP endpoint the agent gets.
        std::function<std::string()> mcpURL;
        // The local folder the agent may also use (the temporary folder).
        std::filesystem::path carpeta;
    };
    static Piezas piezasReales();

    explicit ChatAdministrador(Enviar enviar, Piezas piezas = piezasReales());
    // Stops every run still alive (the application is quitting or the
    // screen is gone).
    ~ChatAdministrador();
    ChatAdministrador(const ChatAdministrador&) = delete;
    ChatAdministrador& operator=(const ChatAdministrador&) = delete;

    // One user message to server `servidor` at `ip`: runs the first signed-in
    // claude of `ias` and reports through `enviar` ("error", or "empieza",
    // the run's events, and "termina" or "error").
    Tarea<void> chat(std::vector<IA> ias, std::int64_t servidor, std::string ip, std::string texto);

    // Stops every run alive now, including one whose process has not been
    // reported yet (it is stopped as soon as it is). Each still ends with
    // its own "termina".
    void parar();

    // The next message to `servidor` starts a new conversation.
    void olvidar(std::int64_t servidor) { sesiones_.erase(servidor); }

    std::optional<std::string> sesion(std::int64_t servidor) const;
    // Runs started and not yet ended.
    std::size_t enMarcha() const { return corridas_.size(); }

    static std::string alias(std::int64_t servidor);

private:
    struct Corrida;

    void alEvento(std::int64_t servidor, const EventoAgente& evento);

    Enviar enviar_;
    Piezas piezas_;
    std::map<std::int64_t, std::string> sesiones_;
    std::set<std::shared_ptr<Corrida>> corridas_;
};

}  // namespace sorvenia
