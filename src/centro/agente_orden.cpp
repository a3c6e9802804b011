#include "centro/agente_orden.h"

#include <algorithm>
#include <system_error>

#include "centro/modo_agente.h"
#include "plataforma/fichero_privado.h"

namespace sorvenia::Agente {
namespace fs = std::filesystem;

const std::vector<std::string> herramientasEstandar = {"mcp__tarvel",  "Skill", "Read",      "Glob",      "Grep",
                                                       "LS",           "Bash",  "Edit",      "MultiEdit", "Write",
                                                       "NotebookEdit", "Task",  "TodoWrite", "WebSearch", "WebFetch"};

namespace {

// The options the installed agents take for these roles.
constexpr const char* opcionPlugin = "--plugin-dir";
constexpr const char* opcionDirectorio = "--add-dir";
constexpr const char* sandboxSoloLectura = "read-only";

const std::vector<std::string> denegadasVPS = {"Edit", "Write", "NotebookEdit", "Task", "WebSearch", "WebFetch"};

// What the claude run builds step by step.
struct Claude {
    std::vector<std::string> argumentos;
    std::string prompt;
    std::vector<std::string> directorios;
    Entorno entorno;
    std::vector<std::string> permitidas;
    std::vector<std::string> denegadas;
};

void reemplazarTodo(std::string& texto, const std::string& de, const std::string& por) {
    if (de.empty()) return;
    for (std::size_t i = texto.find(de); i != std::string::npos; i = texto.find(de, i + por.size()))
        texto.replace(i, de.size(), por);
}

Hecho escribirConfiguracionMCP(const PeticionAgente& p, const Alrededor& a, const fs::path& fichero) {
    nlohmann::json servidores =
        a.paraClaude.servidores.is_object() ? a.paraClaude.servidores : nlohmann::json::object();
    servidores["tarvel"] = {{"type", "http"}, {"url", p.mcpURL}};
    std::string texto;
    try {
        texto = nlohmann::json{{"mcpServers", std::move(servidores)}}.dump();
    } catch (const nlohmann::json::exception&) {
        return Fallo{"No se ha podido preparar la configuración MCP del agente.", "fichero"};
    }
    return escribirPrivado(fichero, texto);
}

// An app project gets the shipped skills as .claude/skills. A real folder
// of the user's own there is kept (and then no link is made); only a link,
// stale or not, is replaced.
void enlazarSkillsEnApp(const fs::path& app, const std::optional<fs::path>& skills) {
    std::error_code ec;
    const fs::path claude = app / ".claude";
    fs::create_directories(claude, ec);
    const fs::path enlace = claude / "skills";
    const auto estado = fs::symlink_status(enlace, ec);
    if (fs::is_symlink(estado))
        fs::remove(enlace, ec);
    else if (fs::exists(estado))
        return;
    if (skills) fs::create_directory_symlink(*skills, enlace, ec);
}

void paraApp(const PeticionAgente& p, const Alrededor& a, Claude& c) {
    c.permitidas = herramientasEstandar;
    if (a.plugins) {
        std::error_code ec;
        if (fs::is_directory(*a.plugins / "superpowers", ec))
            c.argumentos.insert(c.argumentos.end(), {opcionPlugin, (*a.plugins / "superpowers").string()});
    }
    c.directorios.push_back(p.app->carpeta.string());
    enlazarSkillsEnApp(p.app->carpeta, a.skills);
    c.prompt += "\n\n" + encargoApp(*p.app);
}

Hecho paraVPS(const PeticionAgente& p, const Alrededor& a, Claude& c) {
    auto lanzador = a.lanzadorVPS(p.vps->alias);
    if (!lanzador) return lanzador.fallo();
    const std::string ruta = lanzador->string();
    c.permitidas = {"mcp__tarvel", "Bash(" + ruta + ":*)", "Skill"};
    c.denegadas = denegadasVPS;
    c.directorios.push_back(p.vps->carpeta.string());
    // The agent must reach the VPS only through the launcher, even where a
    // brief names the plain ssh command.
    const std::string directo = "ssh -F " + (a.raizVPS / "ssh" / "config").string() + " " + p.vps->alias;
    reemplazarTodo(c.prompt, directo, ruta);
    for (auto& argumento : c.argumentos) reemplazarTodo(argumento, directo, ruta);
    c.prompt += "\n\n[Acceso al servidor: la ÚNICA orden es `" + ruta +
                " '<orden en el servidor>'` (es ssh a ese VPS ya configurado). "
                "`ssh` directo, `scp` y cualquier "
                "otra orden en el Mac están bloqueados.]";
    return hecho();
}

void paraDiseno(const Alrededor& a, Claude& c) {
    c.permitidas = herramientasEstandar;
    if (!a.videos) return;
    std::error_code ec;
    fs::create_directories(a.carpetaVideos, ec);
    c.directorios.push_back(a.carpetaVideos.string());
    // Only video runs get the customer's service keys; the prompt names
    // them, never their values.
    c.entorno = a.integraciones ? a.integraciones() : Entorno{};
    if (!c.entorno.empty()) {
        std::string nombres;
        for (const auto& [nombre, valor] : c.entorno) nombres += (nombres.empty() ? "" : ", ") + nombre;
        c.prompt += "\n\n[Integraciones del cliente con su clave en el entorno: " + nombres +
                    ". Úsalas si hacen falta (imágenes, voz, vídeo, fotos).]";
    }
    c.prompt +=
        "\n\n[MODO VÍDEO ACTIVADO: trabaja los vídeos en " + a.carpetaVideos.string() + "/<nombre-del-proyecto>.]";
}

}  // namespace

std::string sistemaDe(const PeticionAgente& p, const Alrededor& a) {
    if (p.sistemaPropio) return *p.sistemaPropio;
    return a.sistema + "\n\n" + textoModoAgente();
}

Resultado<OrdenAgente> ordenClaude(const PeticionAgente& p, const Alrededor& a) {
    const fs::path configuracion = a.trabajo / "mcp.json";
    if (auto escrito = escribirConfiguracionMCP(p, a, configuracion); !escrito) return escrito.fallo();

    Claude c;
    c.argumentos = {"-p"};
    c.argumentos.insert(c.argumentos.end(), a.modeloClaude.begin(), a.modeloClaude.end());
    c.argumentos.insert(c.argumentos.end(),
                        {"--effort", p.esfuerzo, "--output-format", "stream-json", "--include-partial-messages",
                         "--verbose", "--mcp-config", configuracion.string(), "--strict-mcp-config",
                         "--setting-sources", "project,local", "--append-system-prompt", sistemaDe(p, a)});
    if (p.sesion) c.argumentos.insert(c.argumentos.end(), {"--resume", *p.sesion});
    c.prompt = p.peticion;
    if (a.skills) c.directorios.push_back(a.skills->string());

    if (p.app)
        paraApp(p, a, c);
    else if (p.vps) {
        if (auto listo = paraVPS(p, a, c); !listo) return listo.fallo();
    } else
        paraDiseno(a, c);

    const fs::path carpeta = p.app ? p.app->carpeta : a.trabajo;
    if (a.sesiones)
        if (auto sesiones = a.sesiones(carpeta)) c.directorios.push_back(*sesiones);
    const std::vector<std::string> antes = c.permitidas;
    for (const auto& h : a.paraClaude.herramientas)
        if (std::find(antes.begin(), antes.end(), h) == antes.end()) c.permitidas.push_back(h);
    for (const auto& [nombre, valor] : a.paraClaude.entorno) c.entorno.emplace(nombre, valor);
    c.prompt += a.paraClaude.texto;

    c.argumentos.push_back("--allowedTools");
    c.argumentos.insert(c.argumentos.end(), c.permitidas.begin(), c.permitidas.end());
    if (!c.denegadas.empty()) {
        c.argumentos.push_back("--disallowedTools");
        c.argumentos.insert(c.argumentos.end(), c.denegadas.begin(), c.denegadas.end());
    }
    c.entorno["MAX_MCP_OUTPUT_TOKENS"] = "60000";
    for (const auto& d : c.directorios) c.argumentos.insert(c.argumentos.end(), {opcionDirectorio, d});
    return OrdenAgente{std::move(c.argumentos), std::move(c.prompt), carpeta, std::move(c.entorno),
                       p.app ? limiteApp : limiteDiseno};
}

OrdenAgente ordenCodex(const PeticionAgente& p, const Alrededor& a) {
    const fs::path carpeta = p.app ? p.app->carpeta : a.trabajo;
    std::vector<std::string> args;
    std::vector<std::string> modelo;
    if (!a.modeloCodex.empty()) modelo = {"-m", a.modeloCodex};
    // An app project always starts a new session.
    if (p.sesion && !p.app) {
        args = {"exec", "resume", *p.sesion, "--json", "--skip-git-repo-check"};
    } else {
        args = {"exec", "--json",        "--skip-git-repo-check", "-s", p.app ? "workspace-write" : sandboxSoloLectura,
                "-C",   carpeta.string()};
    }
    args.insert(args.end(), modelo.begin(), modelo.end());
    // codex runs with the approval policy "never": a server whose tools are
    // not approved beforehand has every call refused.
    args.insert(args.end(), {"-c", "mcp_servers.tarvel.url=\"" + p.mcpURL + "\"", "-c",
                             "mcp_servers.tarvel.default_tools_approval_mode=\"approve\""});
    args.insert(args.end(), a.paraCodex.args.begin(), a.paraCodex.args.end());

    std::string prompt = sistemaDe(p, a) + "\n\n" + p.peticion;
    if (p.app) prompt += "\n\n" + encargoApp(*p.app);
    prompt += a.paraCodex.texto;
    return OrdenAgente{std::move(args), std::move(prompt), carpeta, a.paraCodex.entorno,
                       p.app ? limiteApp : limiteDiseno};
}

}  // namespace sorvenia::Agente
