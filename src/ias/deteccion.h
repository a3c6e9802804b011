#pragma once
// Finding the local AI command-line tools and asking each whether the user
// is signed in.
//
// Where a tool may lie. The Mac looks in the login shell's search path and
// in the tools' desktop application bundles; on Linux the bundles' place is
// taken by the folders these tools install to (lugaresDeInstalacion): npm's
// global bin, ~/.local/bin, /usr/local/bin and ~/.npm-global/bin. They keep
// the bundles' position: claude's are tried before the search path, codex's
// after it, gemini has none. Most of them are on the search path too, so a
// path already listed is not listed again (on the Mac the two never meet);
// otherwise one signed-out tool would cost two probes of up to 15 s each.

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "ias/ia.h"
#include "ias/proceso.h"
#include "plataforma/tarea.h"

namespace sorvenia::IAsLocales {

// The time limit of one login probe, in seconds.
inline constexpr double limiteSonda = 15.0;

// The first executable file named `nombre` in the folders of the login
// shell's search path (pathDeTerminal), in order; empty pieces are skipped.
// Blocks on the first use of pathDeTerminal: never on the main thread.
std::optional<std::string> buscar(const std::string& nombre);

// Every executable of the tool that exists, most preferred first.
// Blocking like buscar.
std::vector<std::string> candidatas(IA::Tipo tipo);

// Runs the tool at `ruta` with its login probe (claude "auth status", codex
// "login status", gemini "--version") and reads its answer; false when the
// probe cannot start or is stopped at its 15-second limit. Blocks the
// calling thread for up to 17 seconds: never on the main thread.
bool conSesion(IA::Tipo tipo, const std::string& ruta);

// The tools found, claude, then codex, then gemini, each with
// the executable chosen and its login state: the first candidate that says
// signed in, else the first candidate and `sesion` false. Runs on the worker
// pool one probe at a time and resumes on the main thread; never throws
// (any failure inside gives the empty list). A cancelled task starts no
// further probe and returns the tools listed so far.
Tarea<std::vector<IA>> detectar();

// The folders of Linux that stand in for the Mac's application bundles, in
// order: npm's global bin (when known), ~/.local/bin, /usr/local/bin,
// ~/.npm-global/bin.
std::vector<std::string> lugaresDeInstalacion();

namespace detalle {

// Where to look, fixed for one detection.
struct Lugares {
    std::string path;                   // colon-separated search path
    std::vector<std::string> carpetas;  // lugaresDeInstalacion
};

// pathDeTerminal and lugaresDeInstalacion.
Lugares lugaresDelSistema();

std::optional<std::string> buscarEn(const std::string& path, const std::string& nombre);
std::vector<std::string> candidatasEn(IA::Tipo tipo, const Lugares& lugares);

// The login probe's environment: the application's own with PATH set to
// `path` and CLAUDECODE removed.
Entorno entornoDeSonda(const std::string& path);

// conSesion with the environment and limit given.
bool conSesionCon(IA::Tipo tipo, const std::string& ruta, const Entorno& entorno, double limite);

// What detectar does, blocking, with everything given.
std::vector<IA> detectarEn(const Lugares& lugares, const Entorno& entorno, double limite,
                           std::stop_token parar = {});

// npm's global bin: the prefix named by the variable npm_config_prefix (in
// any case) of `entorno`, else by "prefix" in ~/.npmrc, else the one npm
// derives from the node found in `path` (the folder above the folder of its
// real path); followed by "/bin". Nothing when no absolute prefix is known.
std::optional<std::string> binGlobalNpm(const Entorno& entorno, const std::filesystem::path& casa,
                                        const std::string& path);

// lugaresDeInstalacion for the home folder and npm bin given.
std::vector<std::string> lugaresPara(const std::filesystem::path& casa, const std::optional<std::string>& binNpm);

}  // namespace detalle

}  // namespace sorvenia::IAsLocales
