// The AI administrator's runs: the brief, the request with its server line,
// the page messages of the agent's events, one conversation per server, and
// the runs still alive.
#include "servidores/chat_administrador.h"

#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>

#include "centro/centro.h"
#include "centro/servidor_mcp.h"
#include "ias/matar.h"
#include "ias/publicar_vps_lanzador.h"

namespace sorvenia {
namespace fs = std::filesystem;
using nlohmann::json;

namespace AdministradorVPS {

const std::string& sistema() {
    static const std::string texto =
        "Eres el administrador de sistemas del VPS de un cliente de Sorvenia, y le hablas desde la sección "
        "«Servidores» de Sorvenia Code. El cliente NO es técnico: explícale todo en español llano, en frases "
        "cortas, sin jerga (o con la jerga explicada). Usa la skill administrar-vps y síguela.\n\n"
        "Sólo tienes UNA forma de actuar: la orden que te da cada mensaje (un ssh ya configurado a SU servidor) "
        "seguida de '<orden>'. Antes de cada orden, una frase corta de qué vas a mirar o hacer. Mirar es libre; "
        "cambiar algo importante (borrar, reiniciar, parar servicios, tocar el cortafuegos, usuarios o SSH, "
        "actualizar el sistema entero) NO: explícale qué harías, por qué y qué riesgo tiene, y espera a que te "
        "diga que sí en el chat. Termina cada respuesta con lo que has visto o hecho en una o dos frases.";
    return texto;
}

std::string peticion(std::string_view texto, std::string_view alias, std::string_view ip, const fs::path& lanzador) {
    std::string r(texto);
    r += "\n\n[Servidor: ";
    r += alias;
    r += " · IP ";
    r += ip;
    r += ". Orden única: " + lanzador.string() + " '<orden>']";
    return r;
}

std::optional<IA> herramienta(const std::vector<IA>& ias) {
    for (const auto& ia : ias)
        if (ia.tipo == IA::Tipo::claude && ia.sesion) return ia;
    return std::nullopt;
}

namespace {

std::string textoDe(const json& entrada, const char* clave) {
    const auto it = entrada.find(clave);
    return it != entrada.end() && it->is_string() ? it->get<std::string>() : std::string();
}

json paso(const EventoAgente::Paso& p) {
    const bool objeto = p.entrada.is_object();
    std::string orden;
    std::string desc;
    if (objeto) {
        orden = textoDe(p.entrada, "command");
        if (orden.empty() && !(p.entrada.contains("command") && p.entrada["command"].is_string()))
            orden = textoDe(p.entrada, "skill");
        desc = textoDe(p.entrada, "description");
    }
    return {{"tipo", "paso"}, {"id", p.id}, {"herramienta", p.herramienta}, {"orden", orden}, {"desc", desc}};
}

}  // namespace

std::optional<json> mensaje(const EventoAgente& evento) {
    return std::visit(
        [](const auto& e) -> std::optional<json> {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, EventoAgente::Texto>) return json{{"tipo", "texto"}, {"texto", e.texto}};
            else if constexpr (std::is_same_v<T, EventoAgente::Paso>) return paso(e);
            else if constexpr (std::is_same_v<T, EventoAgente::PasoHecho>)
                return json{{"tipo", "pasoHecho"}, {"id", e.id}, {"error", e.error}};
            else if constexpr (std::is_same_v<T, EventoAgente::Fin>) return json{{"tipo", "fin"}, {"texto", e.texto}};
            else return std::nullopt;
        },
        evento.valor);
}

}  // namespace AdministradorVPS

// One run: its process once the runner reports it, and whether it was
// asked to stop before that.
struct ChatAdministrador::Corrida {
    std::shared_ptr<Proceso> proceso;
    bool parada = false;

    void parar() {
        parada = true;
        IAsLocales::matar(proceso);
    }
};

ChatAdministrador::Piezas ChatAdministrador::piezasReales() {
    std::error_code ec;
    fs::path temporal = fs::temp_directory_path(ec);
    if (ec) temporal = "/tmp";
    return Piezas{
        .lanzador = &Agente::lanzar,
        .lanzadorVPS = [](std::string_view alias) { return PublicarVPS::lanzador(alias); },
        .mcpURL =
            [] {
                auto& mcp = Centro::compartido().mcp();
                return "http://127.0.0.1:" + std::to_string(mcp.puerto()) + "/mcp/" + mcp.token();
            },
        .carpeta = std::move(temporal),
    };
}

ChatAdministrador::ChatAdministrador(Enviar enviar, Piezas piezas)
    : enviar_(std::move(enviar)), piezas_(std::move(piezas)) {}

ChatAdministrador::~ChatAdministrador() { parar(); }

std::string ChatAdministrador::alias(std::int64_t servidor) { return "tarvel-vps-" + std::to_string(servidor); }

std::optional<std::string> ChatAdministrador::sesion(std::int64_t servidor) const {
    const auto it = sesiones_.find(servidor);
    if (it == sesiones_.end()) return std::nullopt;
    return it->second;
}

void ChatAdministrador::parar() {
    for (const auto& corrida : corridas_) corrida->parar();
}

void ChatAdministrador::alEvento(std::int64_t servidor, const EventoAgente& evento) {
    if (const auto* s = std::get_if<EventoAgente::Sesion>(&evento.valor)) {
        sesiones_[servidor] = s->id;
        return;
    }
    if (auto m = AdministradorVPS::mensaje(evento)) enviar_(std::move(*m));
}

Tarea<void> ChatAdministrador::chat(std::vector<IA> ias, std::int64_t servidor, std::string ip, std::string texto) {
    const auto ia = AdministradorVPS::herramienta(ias);
    if (!ia) {
        enviar_({{"tipo", "error"}, {"texto", AdministradorVPS::sinClaude}});
        co_return;
    }
    const std::string nombre = alias(servidor);
    const auto lanzador = piezas_.lanzadorVPS(nombre);
    if (!lanzador) {
        enviar_({{"tipo", "error"}, {"texto", AdministradorVPS::servidorNoValido}});
        co_return;
    }
    enviar_({{"tipo", "empieza"}});

    Agente::PeticionAgente p;
    p.ia = *ia;
    p.peticion = AdministradorVPS::peticion(texto, nombre, ip, *lanzador);
    p.mcpURL = piezas_.mcpURL ? piezas_.mcpURL() : std::string();
    p.sesion = sesion(servidor);
    p.esfuerzo = "medium";
    p.vps = Agente::DestinoVPS{nombre, piezas_.carpeta};
    p.sistemaPropio = AdministradorVPS::sistema();

    const auto corrida = std::make_shared<Corrida>();
    corridas_.insert(corrida);
    const std::weak_ptr<ChatAdministrador> yo = weak_from_this();
    // The process may be reported after a stop was asked for, or after this
    // object is gone (the application is quitting): then it is stopped at once.
    auto alProceso = [corrida](std::shared_ptr<Proceso> proceso) {
        enPrincipal([corrida, proceso = std::move(proceso)] {
            corrida->proceso = proceso;
            if (corrida->parada) IAsLocales::matar(proceso);
        });
    };
    auto alEvento = [yo, servidor](EventoAgente evento) {
        enPrincipal([yo, servidor, evento = std::move(evento)] {
            if (const auto c = yo.lock()) c->alEvento(servidor, evento);
        });
    };
    Resultado<std::int32_t> fin = Fallo{"No se ha podido hablar con tu servidor.", "fallo_interno"};
    const auto lanzar = piezas_.lanzador;
    try {
        fin = co_await lanzar(std::move(p), std::move(alProceso), std::move(alEvento));
    } catch (...) {
        // The runner itself broke: the run ends as failed, and its process with it.
    }
    // Events and the process report handed to the main thread come first.
    co_await alPrincipal();
    IAsLocales::matar(corrida->proceso);  // whatever is left of its process group
    const auto c = yo.lock();
    if (!c) co_return;
    c->corridas_.erase(corrida);
    if (fin) c->enviar_({{"tipo", "termina"}, {"codigo", *fin}});
    else c->enviar_({{"tipo", "error"}, {"texto", fin.fallo().mensaje}});
}

}  // namespace sorvenia
