#include "figma_prueba.h"

#include <glib.h>

#include <fstream>
#include <sstream>

#include "medios/figma_enlace.h"

namespace sorvenia::prueba {
namespace {

using Json = nlohmann::json;

std::string descodificar(const std::string& t) {
    char* d = g_uri_unescape_string(t.c_str(), nullptr);
    std::string r = d != nullptr ? d : "";
    g_free(d);
    return r;
}

// The query items of a path, decoded.
std::map<std::string, std::string> consulta(const std::string& ruta) {
    std::map<std::string, std::string> items;
    const auto q = ruta.find('?');
    if (q == std::string::npos) return items;
    std::stringstream resto(ruta.substr(q + 1));
    std::string item;
    while (std::getline(resto, item, '&')) {
        const auto igual = item.find('=');
        items[descodificar(item.substr(0, igual))] =
            igual == std::string::npos ? "" : descodificar(item.substr(igual + 1));
    }
    return items;
}

std::string sinConsulta(const std::string& ruta) { return ruta.substr(0, ruta.find('?')); }

const Json* buscar(const Json& nodo, const std::string& id) {
    if (nodo.value("id", "") == id) return &nodo;
    if (nodo.contains("children"))
        for (const Json& h : nodo["children"])
            if (const Json* r = buscar(h, id)) return r;
    return nullptr;
}

// The document down to the pages' direct children, as "depth=2" gives it.
Json hastaProfundidad2(Json documento) {
    for (Json& pagina : documento["children"])
        if (pagina.contains("children"))
            for (Json& nodo : pagina["children"]) nodo.erase("children");
    return documento;
}

void refsDe(const Json& nodo, std::vector<std::string>& refs) {
    if (nodo.contains("fills"))
        for (const Json& p : nodo["fills"])
            if (p.value("type", "") == "IMAGE") refs.push_back(p.value("imageRef", ""));
    if (nodo.contains("children"))
        for (const Json& h : nodo["children"]) refsDe(h, refs);
}

std::string json(int status, const Json& cuerpo) { return ServidorHTTPPrueba::respuesta(status, cuerpo.dump()); }

}  // namespace

FigmaPrueba::FigmaPrueba(Json archivo)
    : archivo_(std::move(archivo)),
      api_([this](const PeticionHTTP& p) { return responderAPI(p); }),
      imagenes_([this](const PeticionHTTP& p) { return responderImagen(p); }) {}

Json FigmaPrueba::fixtura() { return Json::parse(ficheroFixtura("archivo.json")); }

std::string FigmaPrueba::ficheroFixtura(const std::string& nombre) {
    std::ifstream f(std::string(FIXTURAS_FIGMA) + "/" + nombre, std::ios::binary);
    std::stringstream texto;
    texto << f.rdbuf();
    return texto.str();
}

std::string FigmaPrueba::enlace(const std::optional<std::string>& nodo) const {
    std::string e = "https://www.figma.com/design/" + std::string(clave) + "/Tienda-de-surf";
    if (nodo) {
        std::string guiones = *nodo;
        std::ranges::replace(guiones, ':', '-');
        e += "?node-id=" + guiones + "&t=abc";
    }
    return e;
}

void FigmaPrueba::svg(const std::string& id, std::string texto) {
    const std::lock_guard bloqueo(mutex_);
    svgs_[id] = std::move(texto);
}

void FigmaPrueba::imagen(const std::string& ref, std::string bytes) {
    const std::lock_guard bloqueo(mutex_);
    imagenesFill_[ref] = std::move(bytes);
}

void FigmaPrueba::fallarCon(int status) {
    const std::lock_guard bloqueo(mutex_);
    status_ = status;
}

std::vector<PeticionHTTP> FigmaPrueba::a(const std::string& ruta) const {
    std::vector<PeticionHTTP> lista;
    for (auto& p : api_.peticiones())
        if (sinConsulta(p.ruta) == ruta) lista.push_back(p);
    return lista;
}

std::vector<std::string> FigmaPrueba::ids(const PeticionHTTP& p) {
    std::vector<std::string> lista;
    std::stringstream resto(consulta(p.ruta)["ids"]);
    std::string id;
    while (std::getline(resto, id, ',')) lista.push_back(id);
    return lista;
}

std::string FigmaPrueba::responderAPI(const PeticionHTTP& p) {
    const std::lock_guard bloqueo(mutex_);
    if (status_ != 0) return json(status_, {{"status", status_}, {"err", "Fallo de prueba"}});
    const auto t = p.cabeceras.find("x-figma-token");
    if (t == p.cabeceras.end() || t->second != token) return json(403, {{"status", 403}, {"err", "Invalid token"}});
    const std::string ruta = sinConsulta(p.ruta);
    const std::string archivo = "/v1/files/" + std::string(clave);
    const Json& documento = archivo_["document"];
    if (ruta == archivo)
        return json(200, {{"name", archivo_.value("name", "")}, {"document", hastaProfundidad2(documento)}});
    if (ruta == archivo + "/nodes") {
        Json nodos = Json::object();
        for (const auto& id : ids(p)) {
            const Json* n = buscar(documento, id);
            nodos[id] = n != nullptr ? Json{{"document", *n}, {"components", Json::object()}} : Json();
        }
        return json(200, {{"name", archivo_.value("name", "")}, {"nodes", nodos}});
    }
    if (ruta == "/v1/images/" + std::string(clave)) {
        Json imagenes = Json::object();
        for (const auto& id : ids(p))
            imagenes[id] = buscar(documento, id) != nullptr
                               ? Json(baseImagenes() + "/svg/" + Figma::codificarId(id) + ".svg")
                               : Json();
        return json(200, {{"err", nullptr}, {"images", imagenes}});
    }
    if (ruta == archivo + "/images") {
        std::vector<std::string> refs;
        refsDe(documento, refs);
        Json imagenes = Json::object();
        for (const auto& r : refs) imagenes[r] = baseImagenes() + "/img/" + Figma::codificarId(r);
        return json(200, {{"error", false}, {"status", 200}, {"meta", {{"images", imagenes}}}});
    }
    return json(404, {{"status", 404}, {"err", "Not found"}});
}

std::string FigmaPrueba::responderImagen(const PeticionHTTP& p) {
    const std::lock_guard bloqueo(mutex_);
    const std::string ruta = descodificar(sinConsulta(p.ruta));
    if (ruta.starts_with("/svg/") && ruta.ends_with(".svg")) {
        const std::string id = ruta.substr(5, ruta.size() - 9);
        const auto it = svgs_.find(id);
        return ServidorHTTPPrueba::respuesta(
            200,
            it != svgs_.end() ? it->second
                              : "<svg width=\"10\" height=\"10\" xmlns=\"http://www.w3.org/2000/svg\">"
                                "<rect width=\"10\" height=\"10\" fill=\"#9e9e9e\"/></svg>",
            "image/svg+xml");
    }
    if (ruta.starts_with("/img/"))
        if (const auto it = imagenesFill_.find(ruta.substr(5)); it != imagenesFill_.end())
            return ServidorHTTPPrueba::respuesta(200, it->second, "image/png");
    return ServidorHTTPPrueba::respuesta(404, "", "text/plain");
}

}  // namespace sorvenia::prueba
