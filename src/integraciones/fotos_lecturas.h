#pragma once
// What the photo search reads from outside: the photo banks' and free
// collections' JSON answers, and the HTML of a web page whose photos an
// agent asks for. Pure functions, so that the fuzz build can drive them with
// any bytes; the requests are made in buscar_fotos.cpp.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::BuscarFotos {

// One found photo, passed between the sources, the contact sheet and the
// tool's text answer.
struct Foto {
    std::string url;         // the full photo: the address the agent copies into its page
    std::string mini;        // a smaller rendition, downloaded for the contact sheet
    std::int64_t ancho = 0;  // pixels; 0 when the source does not know
    std::int64_t alto = 0;
    std::string fuente;  // where it comes from, as shown to the agent
    std::string autor;   // credit; empty when the source has none

    bool operator==(const Foto&) const = default;
};

// A service's answer as a JSON value: nothing when it is not JSON or nests
// deeper than any of these answers does (a recursive reader must not run
// out of stack on what a server sends).
std::optional<nlohmann::json> leerJson(std::string_view cuerpo);

// The records of a Pexels search answer ("photos"), of an Unsplash one
// ("results"), of an Openverse one ("results", https addresses only) and of
// a Wikimedia Commons query ("query" → "pages", in "index" order, at least
// 1200 pixels wide and of the given orientation word: "portrait",
// "landscape", anything else lets every shape through). Elements that lack
// what a record needs are skipped; an answer of another shape gives none.
std::vector<Foto> fotosPexels(const nlohmann::json& respuesta);
std::vector<Foto> fotosUnsplash(const nlohmann::json& respuesta);
std::vector<Foto> fotosOpenverse(const nlohmann::json& respuesta);
std::vector<Foto> fotosCommons(const nlohmann::json& respuesta, std::string_view orientacion);

// The Commons file address at the width of a thumbnail: every "/<digits>px-"
// segment rewritten to that width.
std::string miniaturaCommons(std::string_view direccion);

// The address of the largest candidate of a srcset value (by its width or
// density descriptor read as a whole number; unreadable counts 0, the first
// of equals wins), or nothing when the list holds no candidate.
std::optional<std::string> mayorDeSrcset(std::string_view srcset);

// The absolute image addresses of a page, in the order found: its share
// image, its image elements (lazy-loading attributes too), the largest
// candidate of each srcset. Resolved against `pagina` (the address as it
// was asked for); only http and https, no inline images, nothing that looks
// like a logo, icon, sprite, tracking pixel or SVG file, no repeats, at most
// `maximo` of them.
std::vector<std::string> direccionesDePagina(std::string_view html, std::string_view pagina, std::size_t maximo);

// Whether an address may be handed to an agent and drawn: http or https,
// a host, ASCII only (anything else is percent-encoded in an address), and
// none of the characters that would end an HTML attribute or break out of
// one (quotes, angle brackets, blanks, control characters).
bool direccionSegura(std::string_view direccion);

}  // namespace sorvenia::BuscarFotos
