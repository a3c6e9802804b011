#pragma once
// The command line, prompt, environment and working folder of one agent run,
// built from the request and what the rest of the application provides
// (gathered by alrededorReal, or given by tests).

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "centro/agente.h"
#include "integraciones/conexiones.h"

namespace sorvenia::Agente {

// Seconds before a run is stopped.
inline constexpr double limiteDiseno = 1800.0;
inline constexpr double limiteApp = 3600.0;

// The tools a claude run may use on a design or an app project.
extern const std::vector<std::string> herramientasEstandar;

struct OrdenAgente {
    std::vector<std::string> argumentos;
    std::string entrada;            // the prompt, on standard input
    std::filesystem::path carpeta;  // working folder
    Entorno entorno;                // laid over the runner's own
    double limite = limiteDiseno;
};

// What a run takes from the rest of the application.
struct Alrededor {
    std::filesystem::path trabajo;                 // the run's private work folder
    std::optional<std::filesystem::path> skills;   // the shipped skills, links resolved
    std::optional<std::filesystem::path> plugins;  // the shipped plugins folder
    std::string sistema;                           // the house design brief
    std::vector<std::string> modeloClaude;         // "--model" and the model, or nothing
    std::string modeloCodex;                       // "" for the tool's own choice
    bool videos = false;                           // the user lets the AI make videos
    std::filesystem::path carpetaVideos;           // where video projects go
    Conexiones::ParaClaude paraClaude;
    Conexiones::ParaCodex paraCodex;
    std::function<Entorno()> integraciones;  // the customer's service keys
    std::function<Resultado<std::filesystem::path>(std::string_view)> lanzadorVPS;
    std::filesystem::path raizVPS;  // holds ssh/config
    std::function<std::optional<std::string>(const std::filesystem::path&)> sesiones;
};

// The application's own surroundings for a run in `trabajo`. Reads the
// resources, the user defaults and the connections; off the main thread.
Alrededor alrededorReal(std::filesystem::path trabajo);

// The system brief: `sistemaPropio`, else the house brief, a blank line and
// the agent-mode text.
std::string sistemaDe(const PeticionAgente& peticion, const Alrededor& alrededor);

// The claude run. Writes "mcp.json" (mode 0600) into the work folder, and
// depending on the target links the skills into an app project or makes the
// video folder. Fails when "mcp.json" cannot be written or the VPS launcher
// cannot be made.
Resultado<OrdenAgente> ordenClaude(const PeticionAgente& peticion, const Alrededor& alrededor);

// The codex run; touches no file.
OrdenAgente ordenCodex(const PeticionAgente& peticion, const Alrededor& alrededor);

}  // namespace sorvenia::Agente
