#pragma once
// The Figma REST API as the import uses it: one authenticated GET whose
// status says what went wrong in the user's words, and the downloads of the
// exported vectors and image fills. The token goes to the API host only:
// download addresses come from the API's answers and get no header of ours.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia::Figma {

// Where the requests go.
struct Destinos {
    std::string api = "https://api.figma.com";
    // Downloads go to https addresses only; in the test build also to
    // addresses under this base (a stand-in on 127.0.0.1).
    std::string imagenes;
    // Seconds a request may go without an answer.
    double tiempo = 60;
};

// Figma's hosts, or in the test build the stand-ins named by the user
// default "pruebas.hostsServicios" ("figma" for the API, "figmaImagenes"
// for the downloads).
Destinos destinos();

// The answer to one API request: a JSON object, or the sentence for its
// status ("Figma no acepta el token…" for 401 and 403, 404, 429, any other
// status or a body that is not an object). Pure.
Resultado<nlohmann::json> leerRespuesta(long status, std::string_view cuerpo);

// GET destinos.api + ruta with the header "X-Figma-Token". Failures of the
// transport come as the HTTP layer words them.
Tarea<Resultado<nlohmann::json>> pedir(std::string ruta, std::string token, Destinos destinos);

// Whether the import may download from this address.
bool descargable(std::string_view url, const Destinos& destinos);

// Downloads each (key, address) pair, a few at a time, with no token: the
// bodies of the 2xx answers by key. An address that is not downloadable,
// fails or answers another status is left out; so is a body over `limite`
// bytes.
Tarea<std::map<std::string, std::string>> descargar(std::vector<std::pair<std::string, std::string>> pares,
                                                    std::size_t limite, Destinos destinos);

inline constexpr std::string_view tokenRechazado =
    "Figma no acepta el token (o no tienes acceso a ese archivo). Revísalo en Ajustes → Conexiones → figma.";
inline constexpr std::string_view archivoNoExiste = "Ese archivo de Figma no existe o no está compartido con tu cuenta.";
inline constexpr std::string_view demasiadoRapido =
    "Figma dice que vamos demasiado rápido: espera un minuto y vuelve a probar.";
// "Figma ha respondido con un error (" + status + ")."
std::string errorGenerico(long status);

}  // namespace sorvenia::Figma
