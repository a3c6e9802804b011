#pragma once
// Work on a customer's VPS over ssh, as root, with the application's key
// and the generated configuration (identidad_ssh.h): the access check, the
// one-time key install with the root password, remote commands, site
// uploads, and ending the shared connections.
//
// Every program runs through the blocking runner on a worker; the awaiting
// coroutine resumes on the main thread. Callers first run prepararFuera.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia::PublicarVPS {

using ParSalida = std::pair<bool, std::string>;

// True when a key login to the VPS runs "true" (batch mode: never asks).
Tarea<bool> tieneAcceso(std::int64_t servicio);

// Runs one command line on the VPS (root's shell reads it; quoting inside it
// is the caller's business), with `entrada` on its standard input.
Tarea<ParSalida> remoto(std::int64_t servicio, std::string orden, std::optional<std::string> entrada = std::nullopt);

// remoto, blocking (for code that already runs on a worker).
ParSalida remotoBloqueante(std::int64_t servicio, const std::string& orden,
                           const std::optional<std::string>& entrada = std::nullopt);

// Installs the application's public key in root's authorized keys (once,
// however often it runs), logging in with `password`: one attempt, password
// authentication only. The password reaches ssh only through the
// environment of that one process and a private askpass script that holds
// no secret; it is never written to disk or put on a command line. The
// askpass folder is gone when this returns. Failures (code "llave" or
// "acceso") carry the sentence the user reads.
Tarea<Hecho> instalarLlave(std::int64_t servicio, std::string password);

// Puts a site's files in raiz()/publicar/<name> (the design id's letters,
// digits, "_" and "-", at most 64, else "sin-guardar"), replacing the folder.
Resultado<std::filesystem::path> dejarArchivos(const std::string& doc,
                                               const std::vector<std::pair<std::string, std::string>>& archivos);

// Copies the folder's ".html" pages into /root/tarvel-subida on the VPS
// (emptied first). Failure (code "subida"): "No se ha podido subir la web al
// VPS: " + the tail of the tools' output.
Tarea<Hecho> subir(std::int64_t servicio, std::filesystem::path carpeta);

// Asks the shared connection (control master) of each VPS to end, without
// waiting: nothing of ours stays connected after the screen or the
// application is gone.
void cerrarMaestros(const std::vector<std::int64_t>& servicios);

namespace detalle {

// The remote command that appends `llave` to root's authorized keys unless
// that exact line is there; the key is quoted for the shell, so a key
// comment with a quote ("Pepe's PC") stays one word.
std::string ordenInstalarLlave(const std::string& llave);

// The sentence for a failed password login, from ssh's output.
std::string motivoAcceso(const std::string& salida);

// The folder name dejarArchivos uses for `doc`.
std::string nombreCarpetaSitio(const std::string& doc);

// The last `n` characters of `texto` (whole UTF-8 characters).
std::string cola(const std::string& texto, std::size_t n);

}  // namespace detalle

}  // namespace sorvenia::PublicarVPS
