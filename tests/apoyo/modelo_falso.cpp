#include "modelo_falso.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <regex>
#include <set>
#include <stdexcept>

#include "flujos_modelo.h"

namespace sorvenia::prueba {

using nlohmann::json;

namespace {

struct Paso {
    std::string texto;
    std::vector<std::string> trozos;
    int esperaTrozoMs = 0;
    std::optional<std::string> parche;
    std::string herramienta;  // empty: the step is the final text
    json argumentos = json::object();
    std::chrono::milliseconds espera{0};
};

std::vector<Paso> leerGuion(const json& guion) {
    if (!guion.is_object() || !guion.contains("pasos") || !guion["pasos"].is_array())
        throw std::runtime_error("el guion no tiene \"pasos\"");
    std::vector<Paso> pasos;
    for (const json& p : guion["pasos"]) {
        Paso paso;
        paso.texto = p.value("texto", "");
        paso.herramienta = p.value("herramienta", "");
        paso.argumentos = p.value("argumentos", json::object());
        paso.espera = std::chrono::milliseconds(p.value("esperaMs", 0));
        if (p.contains("trozos")) {
            paso.trozos = p["trozos"].get<std::vector<std::string>>();
            paso.texto.clear();
            for (const std::string& trozo : paso.trozos) paso.texto += trozo;
        }
        paso.esperaTrozoMs = p.value("esperaTrozoMs", 0);
        if (p.contains("parche")) paso.parche = p["parche"].get<std::string>();
        if (paso.texto.empty() && paso.herramienta.empty() && !paso.parche)
            throw std::runtime_error("un paso del guion no tiene ni texto ni herramienta");
        pasos.push_back(std::move(paso));
    }
    return pasos;
}

bool terminaEn(const std::string& nombre, const std::string& herramienta) {
    const std::string sufijo = "__" + herramienta;
    return nombre == herramienta ||
           (nombre.size() > sufijo.size() && nombre.compare(nombre.size() - sufijo.size(), sufijo.size(), sufijo) == 0);
}

// The text of a tool result's content: a string, or the "text" of its items.
std::string textoDeContenido(const json& contenido) {
    if (contenido.is_string()) return contenido.get<std::string>();
    std::string texto;
    if (contenido.is_array())
        for (const json& item : contenido)
            if (item.is_object() && item.contains("text") && item["text"].is_string()) {
                if (!texto.empty()) texto += "\n";
                texto += item["text"].get<std::string>();
            }
    return texto;
}

std::string minusculas(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

struct ModeloFalso::Estado {
    std::mutex mutex;
    std::vector<Paso> pasos;
    std::size_t siguiente = 0;
    int contador = 0;
    std::map<std::string, std::string> emitidas;  // call id → the script's tool name
    std::vector<PeticionModelo> peticiones;
    std::optional<std::filesystem::path> registro;
    bool caducada = false;  // the account's session has expired

    void anotar(const httplib::Request& req) {
        PeticionModelo p{req.method, req.target, {}, req.body, std::chrono::steady_clock::now()};
        for (const auto& [nombre, valor] : req.headers) p.cabeceras[minusculas(nombre)] = valor;
        std::lock_guard bloqueo(mutex);
        if (registro) {
            const json cuerpo = json::parse(req.body, nullptr, false);
            std::ofstream(*registro, std::ios::app)
                << json{{"metodo", p.metodo}, {"ruta", p.ruta}, {"cuerpo", cuerpo.is_discarded() ? json(req.body) : cuerpo}}
                       .dump(-1, ' ', false, json::error_handler_t::replace)
                << "\n";
        }
        peticiones.push_back(std::move(p));
    }

    // The next step, or nothing once the script is spent; advances.
    std::optional<Paso> tomarPaso() {
        std::lock_guard bloqueo(mutex);
        if (siguiente >= pasos.size()) return std::nullopt;
        return pasos[siguiente++];
    }

    std::string nuevoId(const std::string& prefijo, const std::string& herramienta) {
        std::lock_guard bloqueo(mutex);
        const std::string id = prefijo + std::to_string(++contador);
        if (!herramienta.empty()) emitidas[id] = herramienta;
        return id;
    }
};

namespace {

// The tool of `paso` among the Messages API request's tools. When claude
// has deferred it behind its tool search, a call of that search loading it
// comes first (the step stays for the next request).
std::optional<LlamadaModelo> herramientaMensajes(const json& peticion, const std::string& cuerpo,
                                                 const std::string& herramienta, bool& buscar) {
    buscar = false;
    bool hayBuscador = false;
    for (const json& t : peticion.value("tools", json::array())) {
        const std::string nombre = t.value("name", "");
        if (terminaEn(nombre, herramienta)) return LlamadaModelo{"", nombre, "", json::object()};
        if (nombre == "ToolSearch") hayBuscador = true;
    }
    std::smatch encontrado;
    const std::regex diferida("mcp__[A-Za-z0-9_-]+__" + herramienta + "\\b");
    if (hayBuscador && std::regex_search(cuerpo, encontrado, diferida)) {
        buscar = true;
        return LlamadaModelo{"", "ToolSearch", "", {{"query", "select:" + encontrado.str()}, {"max_results", 1}}};
    }
    return std::nullopt;
}

std::optional<LlamadaModelo> entreHerramientas(const json& herramientas, const std::string& herramienta) {
    if (!herramientas.is_array()) return std::nullopt;
    for (const json& t : herramientas) {
        if (!t.is_object()) continue;
        const std::string tipo = t.value("type", "");
        if (tipo == "function" && terminaEn(t.value("name", ""), herramienta))
            return LlamadaModelo{"", t.value("name", ""), "", json::object()};
        if (tipo == "namespace")
            for (const json& dentro : t.value("tools", json::array()))
                if (dentro.value("name", "") == herramienta)
                    return LlamadaModelo{"", herramienta, t.value("name", ""), json::object()};
    }
    return std::nullopt;
}

// The tool of `paso` among the Responses API request's tools, plain or
// inside a namespace (codex puts each MCP server's tools in one), or among
// those an earlier tool search loaded. When codex has deferred it behind its
// tool search, a search for it comes first (the step stays).
std::optional<LlamadaModelo> herramientaRespuestas(const json& peticion, const std::string& herramienta,
                                                   bool& buscar) {
    buscar = false;
    if (auto llamada = entreHerramientas(peticion.value("tools", json::array()), herramienta)) return llamada;
    if (peticion.contains("input") && peticion["input"].is_array())
        for (const json& item : peticion["input"])
            if (item.is_object() && item.value("type", "") == "tool_search_output")
                if (auto llamada = entreHerramientas(item.value("tools", json::array()), herramienta)) return llamada;
    for (const json& t : peticion.value("tools", json::array()))
        if (t.is_object() && t.value("type", "") == "tool_search") {
            buscar = true;
            LlamadaModelo busqueda{"", "tool_search", "", {{"query", herramienta}, {"limit", 8}}};
            busqueda.busqueda = true;
            return busqueda;
        }
    return std::nullopt;
}

// Answers with an event stream, pausing after each piece of text when the
// turn asks for it (so a client sees its text grow).
void responderFlujo(httplib::Response& res, const std::string& flujo, int esperaTrozoMs) {
    if (esperaTrozoMs <= 0) {
        res.set_content(flujo, "text/event-stream");
        return;
    }
    auto lista = std::make_shared<std::vector<std::string>>(eventos(flujo));
    res.set_chunked_content_provider("text/event-stream", [lista, esperaTrozoMs](std::size_t, httplib::DataSink& sink) {
        for (const std::string& e : *lista) {
            if (!sink.write(e.data(), e.size())) return false;
            if (e.find("_delta") != std::string::npos || e.find(".delta") != std::string::npos ||
                e.starts_with("data: {\"candidates\""))
                std::this_thread::sleep_for(std::chrono::milliseconds(esperaTrozoMs));
        }
        sink.done();
        return true;
    });
}

bool conHerramientas(const json& peticion) {
    return peticion.contains("tools") && peticion["tools"].is_array() && !peticion["tools"].empty();
}

}  // namespace

ModeloFalso::ModeloFalso(json guion, std::optional<std::uint16_t> puerto)
    : estado_(std::make_shared<Estado>()), servidor_(std::make_unique<httplib::Server>()) {
    estado_->pasos = leerGuion(guion);
    estado_->caducada = guion.value("caducada", false);
    auto estado = estado_;


    // Builds this request's turn from the next step; false for a request
    // that is not a conversation turn (claude's side calls without tools).
    const auto turno = [estado](const json& peticion, const std::string& prefijo, auto buscarHerramienta,
                                TurnoModelo& salida) {
        if (!conHerramientas(peticion)) {
            salida.texto = "De acuerdo.";
            return;
        }
        std::optional<Paso> paso = estado->tomarPaso();
        if (!paso) {
            salida.texto = "Fin del guion.";
            return;
        }
        std::this_thread::sleep_for(paso->espera);
        salida.texto = paso->texto;
        salida.trozos = paso->trozos;
        salida.esperaTrozoMs = paso->esperaTrozoMs;
        if (paso->parche) {
            salida.parche = paso->parche;
            return;
        }
        if (paso->herramienta.empty()) return;
        bool buscar = false;
        auto llamada = buscarHerramienta(paso->herramienta, buscar);
        if (!llamada) {
            salida.texto = "La herramienta " + paso->herramienta + " no está entre las ofrecidas.";
            return;
        }
        if (buscar) {
            // The step waits until the tool is loaded; the search keeps its own arguments.
            std::lock_guard bloqueo(estado->mutex);
            --estado->siguiente;
            salida.texto.clear();
            llamada->id = prefijo + std::to_string(++estado->contador);
        } else {
            llamada->argumentos = paso->argumentos;
            llamada->id = estado->nuevoId(prefijo, paso->herramienta);
        }
        salida.llamada = std::move(llamada);
    };

    servidor_->Post("/v1/messages/count_tokens", [estado](const httplib::Request& req, httplib::Response& res) {
        estado->anotar(req);
        res.set_content(R"({"input_tokens":1})", "application/json");
    });
    servidor_->Post("/v1/messages", [estado, turno](const httplib::Request& req, httplib::Response& res) {
        estado->anotar(req);
        const json peticion = json::parse(req.body, nullptr, false);
        if (!peticion.is_object()) {
            res.status = 400;
            return;
        }
        TurnoModelo t;
        turno(
            peticion, "toolu_falso_",
            [&](const std::string& herramienta, bool& buscar) {
                return herramientaMensajes(peticion, req.body, herramienta, buscar);
            },
            t);
        const std::string id = estado->nuevoId("msg_falso_", "");
        const std::string modelo = peticion.value("model", "claude");
        if (peticion.value("stream", false))
            responderFlujo(res, flujoMensajes(t, id, modelo), t.esperaTrozoMs);
        else
            res.set_content(mensajeEntero(t, id, modelo).dump(), "application/json");
    });
    servidor_->Post(R"(/(v1/)?responses)", [estado, turno](const httplib::Request& req, httplib::Response& res) {
        estado->anotar(req);
        if (estado->caducada) {
            res.status = 401;
            res.set_content(
                R"({"error":{"message":"Provided authentication token is expired.","type":"invalid_request_error","code":"token_expired"}})",
                "application/json");
            return;
        }
        const json peticion = json::parse(req.body, nullptr, false);
        if (!peticion.is_object()) {
            res.status = 400;
            return;
        }
        TurnoModelo t;
        turno(
            peticion, "call_falso_",
            [&](const std::string& herramienta, bool& buscar) {
                return herramientaRespuestas(peticion, herramienta, buscar);
            },
            t);
        responderFlujo(res, flujoRespuestas(t, estado->nuevoId("resp_falso_", "")), t.esperaTrozoMs);
    });

    // Gemini API: a streamed conversation turn takes the next step; a whole
    // generateContent is one of gemini's side questions (routing, whether
    // to go on), answered with JSON that fits them all and not counted.
    servidor_->Post(R"(/v1(beta|alpha)?/models/[^/:]+:streamGenerateContent)",
                    [estado, turno](const httplib::Request& req, httplib::Response& res) {
                        estado->anotar(req);
                        const json peticion = json::parse(req.body, nullptr, false);
                        if (!peticion.is_object()) {
                            res.status = 400;
                            return;
                        }
                        TurnoModelo t;
                        json conTools = peticion;
                        if (!conHerramientas(conTools)) conTools["tools"] = json::array({json::object()});
                        turno(
                            conTools, "gemini_falso_",
                            [](const std::string&, bool& buscar) {
                                buscar = false;
                                return std::optional<LlamadaModelo>();
                            },
                            t);
                        responderFlujo(res, flujoGemini(t), t.esperaTrozoMs);
                    });
    servidor_->Post(R"(/v1(beta|alpha)?/models/[^/:]+:generateContent)",
                    [estado](const httplib::Request& req, httplib::Response& res) {
                        estado->anotar(req);
                        const json lateral = {{"complexity_reasoning", "Encargo sencillo."},
                                              {"complexity_score", 1},
                                              {"reasoning", "El modelo ha terminado."},
                                              {"next_speaker", "user"},
                                              {"model_choice", "flash"}};
                        res.set_content(respuestaGemini(lateral.dump()).dump(), "application/json");
                    });
    servidor_->Post(R"(/v1(beta|alpha)?/models/[^/:]+:countTokens)",
                    [estado](const httplib::Request& req, httplib::Response& res) {
                        estado->anotar(req);
                        res.set_content(R"({"totalTokens":1})", "application/json");
                    });

    // The account's token endpoint (codex's CODEX_REFRESH_TOKEN_URL_OVERRIDE):
    // no session of the tests can be refreshed.
    servidor_->Post("/oauth/token", [estado](const httplib::Request& req, httplib::Response& res) {
        estado->anotar(req);
        res.status = 401;
        res.set_content(R"({"error":{"code":"refresh_token_expired","message":"Your refresh token has expired."}})",
                        "application/json");
    });

    // Anything else is recorded too, and not found.
    const auto otra = [estado](const httplib::Request& req, httplib::Response& res) {
        estado->anotar(req);
        res.status = 404;
        res.set_content(R"({"error":{"type":"not_found_error","message":"no existe"}})", "application/json");
    };
    servidor_->Get(".*", otra);
    servidor_->Post(".*", otra);
    servidor_->Put(".*", otra);
    servidor_->Delete(".*", otra);

    const int enlazado = puerto ? (servidor_->bind_to_port("127.0.0.1", *puerto) ? *puerto : -1)
                                : servidor_->bind_to_any_port("127.0.0.1");
    if (enlazado <= 0) throw std::runtime_error("el modelo falso no pudo escuchar en 127.0.0.1");
    puerto_ = static_cast<std::uint16_t>(enlazado);
    hilo_ = std::thread([this] { servidor_->listen_after_bind(); });
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!servidor_->is_running() && std::chrono::steady_clock::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

ModeloFalso ModeloFalso::desdeArchivo(const std::filesystem::path& guion) {
    std::ifstream archivo(guion);
    const json leido = json::parse(archivo, nullptr, false);
    if (leido.is_discarded()) throw std::runtime_error("el guion " + guion.string() + " no es JSON");
    return ModeloFalso(leido);
}

ModeloFalso::~ModeloFalso() {
    servidor_->stop();
    if (hilo_.joinable()) hilo_.join();
}

std::string ModeloFalso::url() const { return "http://127.0.0.1:" + std::to_string(puerto_); }

std::vector<PeticionModelo> ModeloFalso::peticiones() const {
    std::lock_guard bloqueo(estado_->mutex);
    return estado_->peticiones;
}

std::size_t ModeloFalso::pasosDados() const {
    std::lock_guard bloqueo(estado_->mutex);
    return estado_->siguiente;
}

void ModeloFalso::registrarEn(const std::filesystem::path& archivo) {
    std::lock_guard bloqueo(estado_->mutex);
    estado_->registro = archivo;
}

std::vector<ResultadoModelo> ModeloFalso::resultados() const {
    std::lock_guard bloqueo(estado_->mutex);
    std::vector<ResultadoModelo> vistos;
    std::set<std::string> ids;
    const auto anadir = [&](const std::string& id, const json& contenido, bool error) {
        const auto emitida = estado_->emitidas.find(id);
        if (emitida == estado_->emitidas.end() || !ids.insert(id).second) return;
        vistos.push_back({id, emitida->second, textoDeContenido(contenido), error});
    };
    for (const PeticionModelo& p : estado_->peticiones) {
        const json cuerpo = json::parse(p.cuerpo, nullptr, false);
        if (!cuerpo.is_object()) continue;
        // Messages API: tool_result blocks of the user's messages.
        for (const json& mensaje : cuerpo.value("messages", json::array()))
            if (mensaje.is_object() && mensaje.contains("content") && mensaje["content"].is_array())
                for (const json& bloque : mensaje["content"])
                    if (bloque.is_object() && bloque.value("type", "") == "tool_result")
                        anadir(bloque.value("tool_use_id", ""), bloque.value("content", json()),
                               bloque.value("is_error", false));
        // Responses API: function_call_output items of the input.
        if (cuerpo.contains("input") && cuerpo["input"].is_array())
            for (const json& item : cuerpo["input"])
                if (item.is_object() && item.value("type", "") == "function_call_output")
                    anadir(item.value("call_id", ""), item.value("output", json()), false);
    }
    return vistos;
}

}  // namespace sorvenia::prueba
