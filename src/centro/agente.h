#pragma once
// One turn of the user's own command-line agent (claude or codex) as a child
// process working through the application's MCP server: its command line,
// MCP configuration, tool permissions, environment and prompt, its output
// turned into EventoAgente values, and its exit status.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "centro/evento_agente.h"
#include "ias/ia.h"
#include "ias/proceso.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia::Agente {

// An app project folder to work in; it becomes the agent's working folder.
struct DestinoApp {
    std::filesystem::path carpeta;
    std::string fase;                  // carried for the caller, not read here
    bool desplegada = false;           // already published with real data
    std::optional<std::string> movil;  // extra brief of a native mobile app
};

// The customer's VPS, reached through the application's own ssh setup.
struct DestinoVPS {
    std::string alias;  // "tarvel-vps-" + the server id
    std::filesystem::path carpeta;
};

// Everything one run needs, in the order the callers give it.
struct PeticionAgente {
    IA ia;
    std::string peticion;
    std::string mcpURL;
    std::optional<std::string> sesion;  // session to resume
    std::string esfuerzo = "high";      // claude's effort level
    std::optional<DestinoVPS> vps;
    std::optional<DestinoApp> app;
    std::optional<std::string> sistemaPropio;  // replaces the default brief
};

// The brief of an app project run, one line: "[MODO APLICACIÓN · carpeta
// del proyecto: …]" ("APP DE MÓVIL" with a mobile brief, which closes it).
std::string encargoApp(const DestinoApp& app);

// The claude sessions folder of the working folder `trabajo`, made when
// missing: <config>/projects/<real path with every character that is not
// an ASCII letter or digit made "-">, where <config> is $CLAUDE_CONFIG_DIR
// (a leading "~" is the home folder) when set and not empty, else
// ~/.claude. Nothing when the real path cannot be found (no such folder)
// or the folder cannot be made.
std::optional<std::string> carpetaDeSesiones(const std::filesystem::path& trabajo);

// The folder name carpetaDeSesiones uses for `trabajo`: its real path with
// every Unicode scalar that is not an ASCII letter or digit made "-". Any
// length (a name longer than the file system allows then cannot be made,
// and carpetaDeSesiones gives nothing). Nothing when there is no real path.
std::optional<std::string> nombreDeSesiones(const std::filesystem::path& trabajo);

// Runs one turn; `proceso` gets the started child (to hold and stop it),
// `eventos` every event of the run in order, on the main thread. The result
// is the child's exit status, or why the run could not start.
Tarea<Resultado<std::int32_t>> lanzar(PeticionAgente peticion,
                                      std::function<void(std::shared_ptr<Proceso>)> proceso,
                                      EventosAgente eventos);

// The runner as a value, so a caller can be given another one in tests.
using Lanzador = std::function<Tarea<Resultado<std::int32_t>>(
    PeticionAgente, std::function<void(std::shared_ptr<Proceso>)>, EventosAgente)>;

}  // namespace sorvenia::Agente
