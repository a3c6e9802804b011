#pragma once
// Publishing a design as a static website on one of the customer's VPS
// servers: what the page's request holds, the domain it may name, the brief
// the agent that puts the pages in place gets, and the record kept of a
// finished publication. Pure: no file, no network, no window.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace sorvenia::PublicacionVPS {

// Where the application leaves the pages on the server, as .html files.
inline constexpr const char* carpetaSubida = "/root/tarvel-subida/";

inline constexpr const char* textoDominioNoValido =
    "Ese dominio no es válido. Pon sólo el nombre, p. ej. minegocio.es.";
inline constexpr const char* textoSinClaude =
    "Para publicar en tu VPS hace falta Claude conectado (la app de Claude). Conéctalo en el menú de la IA.";
inline constexpr const char* prefijoNoPreparada = "No se ha podido preparar la web: ";
// Another publication on the same server is under way: both would share
// its one upload folder.
inline constexpr const char* textoEnCurso = "Ya se está publicando una web en ese VPS. Espera a que termine.";
// A run that was refused, failed or left no site answering.
inline constexpr const char* textoNoPublicada = "No se ha podido publicar la web en tu VPS.";

// The page's "publicarVPS".
struct Pedido {
    std::int64_t servicio = 0;
    std::string ip;
    nlohmann::json paginas;  // a list, as the page sends it for a website
    std::string dominio;     // as typed; clean it with limpiarDominio
    std::optional<std::string> password;
};

// Nothing when "servicio" is not an integer, "ip" not a text or "paginas"
// not a list; "dominio" and "password" of another type count as absent.
std::optional<Pedido> leerPedido(const nlohmann::json& mensaje);

// Lower case, white space and line ends trimmed, every "https://" and
// "http://" removed, then "/" trimmed at both ends.
std::string limpiarDominio(std::string_view dominio);

// Whether a cleaned, non-empty name is a domain: dot-separated labels of
// 1 to 63 letters, digits and inner hyphens, ending in 2 to 24 letters.
bool dominioValido(std::string_view dominio);

// What the user's chat shows as their request.
std::string textoChat(const std::string& ip, const std::string& dominio);

// The agent's brief. `configuracion` is the application's ssh
// configuration file and `alias` the server's host alias: the runner
// replaces the ssh command they make by the launcher.
std::string encargo(const std::string& configuracion, const std::string& alias, const std::string& ip,
                    std::size_t paginas, const std::string& dominio, const std::string& correo);

// The address that must answer once the site is up: the domain, else the
// IP (in brackets when it is IPv6), over http, on `puerto` when given.
std::string direccion(const std::string& ip, const std::string& dominio, std::optional<int> puerto = std::nullopt);

// The "vpsPublicado" entry of a design: {"servicio", "dominio", "fecha"}.
nlohmann::json registro(std::int64_t servicio, const std::string& dominio, const std::string& fecha);

}  // namespace sorvenia::PublicacionVPS
