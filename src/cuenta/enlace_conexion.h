#pragma once
// The two addresses of the browser sign-in, as pure text work (no GLib, so
// the fuzz build can feed the callback parser any bytes):
//   the sign-in link  <servidor>/conectar-app/?app=tarvel&state=…&challenge=…&equipo=…
//   the callback      sorvenia-tarvel://…?state=…&code=…  (or &error=denegado)

#include <optional>
#include <string>
#include <string_view>

namespace sorvenia {

inline constexpr std::string_view esquemaConexion = "sorvenia-tarvel";

// The query items of a callback that the sign-in reads; for each name the
// first item counts, and an item without a value ("state" with no "=")
// counts as missing.
struct LlamadaConexion {
    std::optional<std::string> state;
    std::optional<std::string> error;
    std::optional<std::string> code;
};

// Nothing when the text is not a URL of ours: no scheme, a scheme other than
// exactly "sorvenia-tarvel" (letter case counts), characters a URL cannot
// hold (spaces, controls, anything outside ASCII), a malformed percent
// escape, an escape that decodes to something other than UTF-8, or no query
// at all. Host and path are not looked at.
std::optional<LlamadaConexion> leerLlamadaConexion(std::string_view url);

// Whether `texto` parses as an absolute URL (a scheme, then only characters
// a URL may hold): what a URL event must carry to be handed on.
bool esURL(std::string_view texto);

// `valor` percent-encoded for a query: everything but the unreserved
// characters of RFC 3986 ("A"–"Z", "a"–"z", "0"–"9", "-", ".", "_", "~").
std::string codificarConsulta(std::string_view valor);

// `base` with the path `ruta` appended (a slash is put between them when
// `base` does not end with one).
std::string anadirRuta(std::string_view base, std::string_view ruta);

// The sign-in link on `base` (a slash is added when it has none at the end).
std::string enlaceConectar(std::string_view base, std::string_view state, std::string_view challenge,
                           std::string_view equipo);

}  // namespace sorvenia
