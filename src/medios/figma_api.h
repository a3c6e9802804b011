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

#include "medios/figma_lecturas.h"
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

}  // namespace sorvenia::Figma
