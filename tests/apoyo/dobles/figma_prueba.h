#pragma once
// A stand-in for the Figma REST API on 127.0.0.1 and a second one for the
// host its export and image addresses point at, both recording requests. The
// API answers in the real shapes from one document (the fixture file
// tests/apoyo/figma/archivo.json, or one a test builds): the depth-2
// listing, frame subtrees, SVG exports and image-fill addresses.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "servidor_http_prueba.h"

namespace sorvenia::prueba {

class FigmaPrueba {
public:
    // The file key the stand-in serves and the token it accepts.
    static constexpr const char* clave = "ClaveDePrueba1234";
    static constexpr const char* token = "figd-token-de-prueba";

    // Serves `archivo` ({"name", "document"}), the fixture's by default.
    explicit FigmaPrueba(nlohmann::json archivo = fixtura());

    // The fixture file's document, and the text of one of its files.
    static nlohmann::json fixtura();
    static std::string ficheroFixtura(const std::string& nombre);

    std::string baseAPI() const { return "http://127.0.0.1:" + std::to_string(api_.puerto()); }
    std::string baseImagenes() const { return "http://127.0.0.1:" + std::to_string(imagenes_.puerto()); }
    // A link to the file ("…/design/<key>/Nombre"), with "?node-id=" + nodo.
    std::string enlace(const std::optional<std::string>& nodo = std::nullopt) const;

    // The SVG served for a vector node (any other vector gets a small grey
    // square) and the bytes of an image fill.
    void svg(const std::string& id, std::string texto);
    void imagen(const std::string& ref, std::string bytes);
    // Every API request answers this status (0: the normal answers).
    void fallarCon(int status);
    // API answers wait this long.
    void retrasar(std::chrono::milliseconds retraso) { api_.retrasar(retraso); }

    std::vector<PeticionHTTP> peticionesAPI() const { return api_.peticiones(); }
    std::vector<PeticionHTTP> peticionesImagenes() const { return imagenes_.peticiones(); }
    // The API requests whose path (query left out) is `ruta`.
    std::vector<PeticionHTTP> a(const std::string& ruta) const;
    // The decoded "ids" of a request's query, split at ",".
    static std::vector<std::string> ids(const PeticionHTTP& p);

private:
    std::string responderAPI(const PeticionHTTP& p);
    std::string responderImagen(const PeticionHTTP& p);

    nlohmann::json archivo_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> svgs_, imagenesFill_;
    int status_ = 0;
    ServidorHTTPPrueba api_, imagenes_;
};

}  // namespace sorvenia::prueba
