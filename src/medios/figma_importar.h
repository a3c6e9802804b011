#pragma once
// The Figma import: a pasted link becomes one absolutely positioned HTML
// page per frame it names. The link is read, the file's frames and their
// subtrees are asked of the API, the vector nodes' SVG exports and the image
// fills are downloaded, and each frame is converted; progress is told in
// Spanish along the way. Nothing is stored: the caller places the pages.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "medios/figma_api.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia::Figma {

// One imported frame: its name ("Marco" when it has none), the whole HTML
// of its page, and the page's size in pixels.
struct Marco {
    std::string nombre;
    std::string html;
    double ancho = 0;
    double alto = 0;
};

// At most this many frames become pages; a file's further frames are left.
inline constexpr std::size_t marcosMaximos = 20;
// At most this many vector nodes are exported, this many per request.
inline constexpr std::size_t vectoresMaximos = 400;
inline constexpr std::size_t vectoresPorPeticion = 80;

inline constexpr std::string_view sinMarcos =
    "No hay marcos (frames) que importar en ese enlace. Enlaza un marco o una página con marcos.";

// The page of one frame (a node with its whole subtree): the web-font
// import of the families its texts use, then one div of the frame's size
// and background holding the converted children.
Marco pagina(const nlohmann::json& marco, const std::map<std::string, std::string>& svgs,
             const std::map<std::string, std::string>& imagenes);

// Imports the frames of the link with the user's token, calling `progreso`
// (on the main thread) with each step's text. The pages come in the order
// the frames were found; a failure is the sentence for the user.
Tarea<Resultado<std::vector<Marco>>> importar(std::string enlace, std::string token,
                                              std::function<void(const std::string&)> progreso,
                                              Destinos destinos = Figma::destinos());

}  // namespace sorvenia::Figma
