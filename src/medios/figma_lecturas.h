#pragma once
// What the import reads from the Figma API's answers (untyped JSON, outside
// input): which nodes are frames, the frames of a file or of a node, the
// frames' full subtrees, the vectors to export and the image fills to fetch
// inside them, the address maps of the export answers, and what each
// answer's status means for the user. Pure.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "plataforma/resultado.h"

namespace sorvenia::Figma {

// A frame, component, component set, instance, group or section.
bool esMarco(const nlohmann::json& nodo);

// The visible frames directly inside the pages of a file listing (the
// document with its pages and their children), in order.
std::vector<nlohmann::json> marcosDeArchivo(const nlohmann::json& archivo);
// The node's own frame, or else its visible frame children.
std::vector<nlohmann::json> marcosDeNodo(const nlohmann::json& nodo);
// "nodes" → id → "document" of a nodes answer, for each id that has one.
std::vector<nlohmann::json> documentos(const nlohmann::json& respuesta, const std::vector<std::string>& ids);
// The node's string "id" ("" without one).
std::string idDe(const nlohmann::json& nodo);

// The frames' visible nodes, depth first: the ids of the vector nodes (drawn
// from their SVG export, their insides not walked) and the image fills'
// references of the rest, each once, in order of first appearance.
struct Recursos {
    std::vector<std::string> vectores;
    std::vector<std::string> imagenes;
};
Recursos recorrer(const std::vector<nlohmann::json>& marcos);

// The string members of the object at `ruta` (e.g. {"images"} or {"meta",
// "images"}): id or reference → address. Anything else is left out.
std::map<std::string, std::string> direcciones(const nlohmann::json& respuesta, const std::vector<std::string>& ruta);

// The answer to one API request: a JSON object, or the sentence for its
// status ("Figma no acepta el token…" for 401 and 403, 404, 429, any other
// status or a body that is not an object). Pure.
Resultado<nlohmann::json> leerRespuesta(long status, std::string_view cuerpo);

inline constexpr std::string_view tokenRechazado =
    "Figma no acepta el token (o no tienes acceso a ese archivo). Revísalo en Ajustes → Conexiones → figma.";
inline constexpr std::string_view archivoNoExiste =
    "Ese archivo de Figma no existe o no está compartido con tu cuenta.";
inline constexpr std::string_view demasiadoRapido =
    "Figma dice que vamos demasiado rápido: espera un minuto y vuelve a probar.";
// "Figma ha respondido con un error (" + status + ")."
std::string errorGenerico(long status);

}  // namespace sorvenia::Figma
