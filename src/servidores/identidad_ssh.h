#pragma once
// The application's own ssh identity for the customer's VPS servers: the key
// pair, the generated ssh configuration with one host alias per VPS
// ("tarvel-vps-<id>"), and the private folder of the control sockets that
// let consecutive ssh calls to one VPS share a connection.
//
//   ~/.sorvenia-tarvel/ssh/            0700
//   ~/.sorvenia-tarvel/ssh/id_ed25519  the key pair, made once, never replaced
//   ~/.sorvenia-tarvel/ssh/config      0600, rewritten whole at every preparation
//   ~/.sorvenia-tarvel/ssh/known_hosts learnt by ssh on first contact
//   ~/.sorvenia-tarvel/s/              control sockets, when its path is short enough
//
// The VPS map (id text → IP) lives in the preference "vpsTarvel".

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia::PublicarVPS {

// "tarvel-vps-" followed by the id in decimal.
std::string alias(std::int64_t servicio);

// raiz()/ssh/config: every ssh and scp call names it with -F.
std::filesystem::path rutaConfiguracion();

// The folder of the control sockets, chosen and made once per run; nothing
// when no candidate is a private folder of ours (then connections are not
// shared: "ControlPath none").
const std::optional<std::filesystem::path>& carpetaSockets();

// The socket folder joined with "<id>-<FNV-1a of the IP as 8 hex digits>"
// (a new IP gives a new socket, so a master to the old address is never
// reused); nothing when there is no socket folder.
std::optional<std::string> rutaSocket(std::string_view id, std::string_view ip);

// Ensures the key pair, checks the IP, records the VPS in the map and
// rewrites the configuration. Blocking: run it through prepararFuera.
// Fails with "La IP del VPS no es válida." (code "ip"), "No se ha podido
// crear la llave SSH: " + the tool's output (code "llave"), or the file
// system's sentence.
Hecho preparar(std::int64_t servicio, std::string ip);

// preparar on a worker, resuming on the main thread.
Tarea<Hecho> prepararFuera(std::int64_t servicio, std::string ip);

// What the test build alone may change in every host block: the port and
// the remote user of a loopback ssh server that stands in for the VPS
// ("SORVENIA_SSH_PUERTO", "SORVENIA_SSH_USUARIO"). The command lines stay
// those of the application.
struct AjustesPrueba {
    std::optional<int> puerto;
    std::optional<std::string> usuario;
};
AjustesPrueba ajustesPrueba();

namespace detalle {

// 32-bit FNV-1a of the bytes.
std::uint32_t fnv1a(std::string_view bytes);

// The socket folder among the candidates: raiz/s when its path leaves room
// for a socket name (n + 47 <= 103 bytes), else the per-user runtime folder's
// "tv" (or the temporary folder's "tv-<uid>"). Made 0700, and taken only when
// it is then a real folder (not a link) owned by `uid` with mode 0700: a
// folder someone else made first could hold planted sockets.
std::optional<std::filesystem::path> elegirCarpetaSockets(const std::filesystem::path& raiz,
                                                          const std::optional<std::filesystem::path>& tiempoReal,
                                                          const std::filesystem::path& temporal, uid_t uid);

// The whole configuration text for the map (entries in key text order).
std::string textoConfiguracion(const std::map<std::string, std::string>& mapa, const std::filesystem::path& raiz,
                               const std::optional<std::filesystem::path>& sockets, const AjustesPrueba& ajustes);

// Whether an IP text is acceptable: 3 to 45 hex digits, colons and dots.
bool ipValida(std::string_view ip);

}  // namespace detalle

}  // namespace sorvenia::PublicarVPS
