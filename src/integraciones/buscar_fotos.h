#pragma once
// The "buscar_fotos" tool and what it is made of: the customer's photo banks
// (Pexels, Unsplash) topped up from the free collections (Openverse,
// Wikimedia Commons), the photos of a web page, and the numbered contact
// sheet the agent looks at before it chooses.
//
// Everything fetched is untrusted: each request has a time limit and a byte
// cap, a redirect is followed only within the host that was asked, a key
// goes only to its own bank, and an address that could break out of an HTML
// attribute never reaches a page or an agent. The sources never fail: a
// failed request only means fewer photos.
//
// The functions below block (network, keychain, decoding): worker threads
// only. herramienta() is the one asynchronous entry point.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "integraciones/fotos_lecturas.h"
#include "integraciones/hoja_contactos.h"
#include "plataforma/http.h"
#include "plataforma/tarea.h"

namespace sorvenia::BuscarFotos {

// The identification every photo request carries.
inline constexpr std::string_view agenteUsuario =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 14_0) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.0 "
    "Safari/605.1.15 SorveniaCode";

// Where the free collections are asked ("openverse", "commons"): their
// public API hosts, or in a test build the stand-ins named by the user
// default "pruebas.hostsServicios" (the keyed banks use the service keys'
// own bases, Servicios::baseAPI).
std::string baseColeccion(std::string_view nombre);

// A URL with its query items percent-encoded, in the order given.
std::string conConsulta(std::string base, const std::vector<std::pair<std::string, std::string>>& items);

// The request, following redirects only while they stay on the host (and
// port) first asked; a redirect elsewhere ends with that redirect's answer.
Resultado<RespuestaHTTP> pedirMismoHost(PeticionHTTP peticion);

// A JSON object fetched with the request as built: nothing when the
// transfer fails, the status is not exactly 200, or the body is not a JSON
// object.
std::optional<nlohmann::json> json(const PeticionHTTP& peticion);

// Free collections: Openverse (commercial use), then Commons when Openverse
// gave fewer than `cantidad`. `orientacion` is "portrait", "square" or
// "landscape".
std::vector<Foto> libres(const std::string& consulta, const std::string& orientacion, std::int64_t cantidad);

// The customer's banks, then the free collections over shorter forms of the
// words; at most `cantidad` photos. Only the first letter of `orient`
// counts: "v" portrait, "c" square, anything else landscape.
std::vector<Foto> deBancos(const std::string& consulta, const std::string& orient, std::int64_t cantidad);

// The photos of a web page: up to 3 × `cantidad` candidates.
std::vector<Foto> dePagina(const std::string& pagina, std::int64_t cantidad);

// The contact sheet: up to twelve thumbnails (those that download and
// decode, at least `minimo` × `minimo / 2` pixels when `minimo` > 0) in
// three columns of 400 × 266 cells, numbered from 1, as JPEG; and the
// photos drawn, in their numbers' order, with the thumbnail's pixel size
// filled in where the source gave none.
struct Hoja {
    std::optional<std::string> jpeg;
    std::vector<Foto> fotos;
};
Hoja hoja(const std::vector<Foto>& fotos, std::int64_t minimo);

// The tool's answer for a blocking caller: the items of the MCP result.
nlohmann::json herramientaBloqueante(const nlohmann::json& argumentos);

// The tool handler: runs off the main thread, never fails.
Tarea<nlohmann::json> herramienta(nlohmann::json argumentos);

}  // namespace sorvenia::BuscarFotos
