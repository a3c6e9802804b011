// Agent runs from the editor: the user's own claude or codex works on this
// design through the hub, with the editor's route key in its MCP address.
// A run is one job of the registry; every event it reports becomes one
// message of the page's chat, and its session id is kept so that the next
// run with the same tool resumes the conversation.

#include <algorithm>
#include <exception>
#include <utility>

#include "centro/centro.h"
#include "centro/letras.h"
#include "centro/trabajos.h"
#include "editor/gui/editor_abierto.h"
#include "ias/matar.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

constexpr std::size_t largoEntrada = 300;

const char* const yaTrabajando = "La IA ya está trabajando en este diseño. Espera a que termine o párala.";
const char* const appSinHerramienta = "Para construir aplicaciones hace falta Claude o Codex.";
const char* const sinProyecto = "No se ha podido preparar el proyecto de la aplicación.";
const char* const sinLanzador = "Los agentes todavía no están disponibles en Sorvenia Code.";
const char* const fallaInterna = "La IA se ha parado por un fallo de Sorvenia Code.";

std::string textoLimite() {
    return "Ya tienes " + std::to_string(EditorAbierto::limiteAgentes) +
           " proyectos con la IA trabajando a la vez. Espera a que termine alguno (los ves en «Trabajando ahora») o "
           "páralo, y vuelve a pedírselo.";
}

std::optional<std::string> textoDe(const Json& m, const char* clave) {
    const auto it = m.find(clave);
    if (it == m.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

bool verdad(const Json& m, const char* clave) {
    const auto it = m.find(clave);
    return it != m.end() && it->is_boolean() && it->get<bool>();
}

// The name of a tool the user may ask for but does not have.
std::string nombreDeTipo(IA::Tipo tipo) {
    switch (tipo) {
        case IA::Tipo::claude: return "Claude";
        case IA::Tipo::codex: return "ChatGPT Codex";
        case IA::Tipo::gemini: return "Gemini";
    }
    return "Esa IA";
}

// Calls `fn` now when on the main thread, else at the main loop's next turn:
// the runner may report from its own threads.
void enElPrincipal(std::function<void()> fn) {
    if (esHiloPrincipal()) fn();
    else enPrincipal(std::move(fn));
}

}  // namespace

std::optional<IA> EditorAbierto::iaPedida(const std::vector<IA>& ias, const std::optional<std::string>& nombre) {
    if (nombre && !nombre->empty()) {
        const auto tipo = IA::tipoDesde(*nombre);
        if (!tipo) return std::nullopt;
        const auto it = std::ranges::find_if(ias, [&](const IA& ia) { return ia.tipo == *tipo; });
        if (it == ias.end()) return std::nullopt;
        return *it;
    }
    const auto conSesion = std::ranges::find_if(ias, [](const IA& ia) { return ia.sesion; });
    if (conSesion != ias.end()) return *conSesion;
    if (!ias.empty()) return ias.front();
    return std::nullopt;
}

std::string EditorAbierto::textoSinIA(const std::vector<IA>& ias, const std::optional<std::string>& nombre) {
    if (ias.empty())
        return "No hay ninguna IA en este ordenador. Instala la app de Claude o Codex de ChatGPT y vuelve a abrir el "
               "diseño.";
    const auto tipo = nombre ? IA::tipoDesde(*nombre) : std::nullopt;
    std::string texto = tipo ? nombreDeTipo(*tipo) : "Esa IA";
    texto += " no está instalada en este ordenador. Elige otra en el menú de la IA (tienes: ";
    for (std::size_t i = 0; i < ias.size(); ++i) {
        if (i > 0) texto += ", ";
        texto += ias[i].nombre.empty() ? ias[i].id() : ias[i].nombre;
    }
    return texto + ").";
}

Json EditorAbierto::entradaParaChat(const Json& entrada) {
    if (!entrada.is_object()) return entrada;
    Json corta = entrada;
    for (auto& [clave, valor] : corta.items()) {
        if (!valor.is_string()) continue;
        const auto& texto = valor.get_ref<const std::string&>();
        if (contarLetras(texto) > largoEntrada) valor = std::string(primerasLetras(texto, largoEntrada)) + "…";
    }
    return corta;
}

void EditorAbierto::errorEnChat(const std::string& texto) { js("chat", {{"tipo", "error"}, {"texto", texto}}); }

int EditorAbierto::agentesEnOtrosDisenos() const {
    const auto& modelos = Trabajos::compartido().modelos();
    return static_cast<int>(std::ranges::count_if(
        modelos, [this](const auto& m) { return m.get() != this && m->agenteEnMarcha(); }));
}

Tarea<std::optional<std::int32_t>> EditorAbierto::agente(Json pedido, std::optional<Agente::DestinoVPS> vps) {
    const auto yo = shared_from_this();
    const auto nombreIA = textoDe(pedido, "ia");
    const auto ia = iaPedida(ias_, nombreIA);
    if (!ia) {
        errorEnChat(textoSinIA(ias_, nombreIA));
        co_return std::nullopt;
    }
    // The checks and the flag in one main-thread step: two requests cannot
    // both pass the limit.
    if (agenteEnMarcha_) {
        errorEnChat(yaTrabajando);
        co_return std::nullopt;
    }
    if (agentesEnOtrosDisenos() >= limiteAgentes) {
        errorEnChat(textoLimite());
        co_return std::nullopt;
    }
    agenteEnMarcha_ = true;
    pararPedido_ = false;
    const bool esApp = !vps && verdad(pedido, "app");
    Trabajos::compartido().empieza(*this, ia->nombre, esApp ? "app" : "diseno");
    // A request the user did not type (publishing on a VPS) shows in the
    // chat as theirs, so the run's steps have their question above them.
    if (const auto chat = textoDe(pedido, "chat")) js("chat", {{"tipo", "usuario"}, {"texto", *chat}});
    js("chat", {{"tipo", "empieza"}, {"ia", ia->nombre}});

    const auto rechazar = [this](const std::string& texto) {
        errorEnChat(texto);
        terminarRun(std::nullopt, texto);
    };
    if (!lanzador_) {
        rechazar(sinLanzador);
        co_return std::nullopt;
    }
    std::optional<Agente::DestinoApp> destinoApp;
    if (esApp) {
        // Apps are built by claude or codex only.
        if (ia->tipo == IA::Tipo::gemini) {
            rechazar(appSinHerramienta);
            co_return std::nullopt;
        }
        destinoApp = co_await prepararApp(pedido);
        if (!destinoApp) {
            // The chat is told too, or it would wait for an end.
            rechazar(sinProyecto);
            co_return std::nullopt;
        }
    }

    auto& servidor = Centro::compartido().mcp();
    Agente::PeticionAgente peticion;
    peticion.ia = *ia;
    peticion.peticion = textoDe(pedido, "peticion").value_or("");
    peticion.mcpURL = "http://127.0.0.1:" + std::to_string(servidor.puerto()) + "/mcp/" + servidor.token() + "/" + clave_;
    // A VPS run is a conversation of its own, never this design's.
    if (const auto it = sesiones_.find(ia->id()); !vps && it != sesiones_.end()) peticion.sesion = it->second;
    // An app run resumes the project's own conversation first.
    if (destinoApp && proyecto_) {
        if (auto sesion = proyecto_->sesion()) peticion.sesion = std::move(sesion);
    }
    peticion.esfuerzo = verdad(pedido, "grande") ? "high" : "medium";
    peticion.vps = std::move(vps);
    peticion.app = std::move(destinoApp);

    const auto resultado = co_await correrAgente(std::move(peticion), ia->id());
    // Events the runner handed over from other threads come first.
    co_await alPrincipal();
    if (std::exchange(trabajandoApp_, false)) lanzar(trasAgenteApp());
    finDeAgente(resultado);
    if (!resultado) co_return std::nullopt;
    co_return *resultado;
}

Tarea<Resultado<std::int32_t>> EditorAbierto::correrAgente(Agente::PeticionAgente peticion, std::string ia) {
    const std::weak_ptr<EditorAbierto> yo = weak_from_this();
    // Reports that arrive after the run has ended are dropped.
    const auto vigente = std::make_shared<bool>(true);
    auto alProceso = [yo, vigente](std::shared_ptr<Proceso> proceso) {
        enElPrincipal([yo, vigente, proceso = std::move(proceso)] {
            const auto m = yo.lock();
            if (!m || !*vigente) return;
            m->procesoAgente_ = proceso;
            // Stopped before the process was known, or closed meanwhile.
            if (m->pararPedido_ || m->cerrado_) IAsLocales::matar(proceso);
        });
    };
    auto alEvento = [yo, vigente, ia](EventoAgente evento) {
        enElPrincipal([yo, vigente, ia, evento = std::move(evento)] {
            const auto m = yo.lock();
            if (m && *vigente) m->eventoAgente(evento, ia);
        });
    };
    std::optional<Resultado<std::int32_t>> resultado;
    try {
        resultado.emplace(co_await lanzador_(std::move(peticion), std::move(alProceso), std::move(alEvento)));
    } catch (...) {
        // The runner itself broke (or its task was cancelled): the run ends
        // as failed, and its process group goes with it.
        resultado.emplace(Fallo{fallaInterna, "fallo_interno"});
    }
    co_await alPrincipal();
    *vigente = false;
    co_return std::move(*resultado);
}

void EditorAbierto::finDeAgente(const Resultado<std::int32_t>& resultado) {
    if (resultado) {
        js("chat", {{"tipo", "termina"}, {"codigo", *resultado}, {"parado", pararPedido_}});
        terminarRun(*resultado, std::nullopt);
    } else {
        errorEnChat(resultado.fallo().mensaje);
        terminarRun(std::nullopt, resultado.fallo().mensaje);
    }
}

void EditorAbierto::terminarRun(std::optional<std::int32_t> codigo, std::optional<std::string> error) {
    // Whatever is left of the agent's process group goes with the run.
    IAsLocales::matar(std::exchange(procesoAgente_, nullptr));
    pararPedido_ = false;
    agenteEnMarcha_ = false;
    Trabajos::compartido().termina(*this, codigo, std::move(error));
    // A design its user left is saved and closed now that its agent is done.
    if (aparcado_) cerrarAparcado();
}

void EditorAbierto::eventoAgente(const EventoAgente& evento, const std::string& ia) {
    std::visit(
        [&](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, EventoAgente::Texto>) {
                js("chat", {{"tipo", "texto"}, {"texto", e.texto}});
            } else if constexpr (std::is_same_v<T, EventoAgente::Paso>) {
                js("chat", {{"tipo", "paso"},
                            {"id", e.id},
                            {"herramienta", e.herramienta},
                            {"agente", e.agente.value_or("")},
                            {"entrada", entradaParaChat(e.entrada)}});
            } else if constexpr (std::is_same_v<T, EventoAgente::PasoHecho>) {
                js("chat", {{"tipo", "pasoHecho"}, {"id", e.id}, {"error", e.error}});
            } else if constexpr (std::is_same_v<T, EventoAgente::Sesion>) {
                sesiones_[ia] = e.id;
                if (trabajandoApp_ && proyecto_) proyecto_->fijarSesion(e.id);
                js("chat", {{"tipo", "sesion"}, {"ia", ia}, {"sesion", e.id}});
            } else if constexpr (std::is_same_v<T, EventoAgente::Fin>) {
                js("chat", {{"tipo", "fin"}, {"texto", e.texto}});
            }
        },
        evento.valor);
}

void EditorAbierto::pararAgente() {
    pararPedido_ = agenteEnMarcha_;
    IAsLocales::matar(procesoAgente_);
}

Tarea<std::optional<Agente::DestinoApp>> EditorAbierto::prepararApp(Json pedido) {
    const auto yo = shared_from_this();
    const auto proyecto = co_await asegurarProyecto(verdad(pedido, "movil"));
    if (!proyecto) co_return std::nullopt;
    // The agent works from the design's pages as web files in the project.
    if (const auto paginas = pedido.find("paginas"); paginas != pedido.end() && paginas->is_array() && !paginas->empty())
        proyecto->guardarDiseno(archivosWeb(*paginas, nombre_));
    trabajandoApp_ = true;
    // The toolchain is not read yet: a mobile brief says what this computer
    // lacks rather than nothing.
    std::optional<std::string> movil;
    if (proyecto->esMovil()) movil = encargoMovil(EntornoMovil{});
    co_return Agente::DestinoApp{proyecto->carpeta(), proyecto->fase(), proyecto->resumen().contains("desplegada"),
                                 std::move(movil)};
}

}  // namespace sorvenia
