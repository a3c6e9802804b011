#include "medios/figma_importar.h"

#include <glib.h>

#include <algorithm>
#include <utility>

#include "medios/figma_enlace.h"
#include "medios/figma_imagen.h"
#include "medios/figma_lecturas.h"

namespace sorvenia::Figma {
namespace {

using Json = nlohmann::json;
using Mapa = std::map<std::string, std::string>;

// An exported SVG is a small text; an image fill a photo.
constexpr std::size_t limiteSVG = 4u * 1024u * 1024u;
constexpr std::size_t limiteImagen = 40u * 1024u * 1024u;

std::string unidos(const std::vector<std::string>& ids, std::size_t desde, std::size_t hasta) {
    std::string texto;
    for (std::size_t i = desde; i < hasta; ++i) texto += (i > desde ? "," : "") + codificarId(ids[i]);
    return texto;
}

std::vector<std::string> idsDe(const std::vector<Json>& marcos) {
    std::vector<std::string> ids;
    for (const Json& m : marcos)
        if (auto id = idDe(m); !id.empty()) ids.push_back(std::move(id));
    return ids;
}

// The frames the link names, each with its whole subtree.
Tarea<Resultado<std::vector<Json>>> marcosDe(Enlace enlace, std::string token, Destinos destinos) {
    std::vector<Json> marcos;
    if (enlace.nodo) {
        const auto r =
            co_await pedir("/v1/files/" + enlace.clave + "/nodes?ids=" + codificarId(*enlace.nodo), token, destinos);
        if (!r) co_return r.fallo();
        const auto nodo = documentos(*r, {*enlace.nodo});
        marcos = nodo.empty() ? std::vector<Json>{} : marcosDeNodo(nodo.front());
        if (marcos.size() > marcosMaximos) marcos.resize(marcosMaximos);
    } else {
        const auto r = co_await pedir("/v1/files/" + enlace.clave + "?depth=2", token, destinos);
        if (!r) co_return r.fallo();
        auto ids = idsDe(marcosDeArchivo(*r));
        if (ids.size() > marcosMaximos) ids.resize(marcosMaximos);
        if (!ids.empty()) {
            const auto arboles = co_await pedir(
                "/v1/files/" + enlace.clave + "/nodes?ids=" + unidos(ids, 0, ids.size()), token, destinos);
            if (!arboles) co_return arboles.fallo();
            marcos = documentos(*arboles, ids);
        }
    }
    if (marcos.empty()) co_return Fallo{std::string(sinMarcos), "sin_marcos"};
    co_return marcos;
}

// The SVG text of each exported vector, asked in groups one after another;
// an export that is missing, fails or is no UTF-8 text is left out.
Tarea<Resultado<Mapa>> svgsDe(std::string clave, std::vector<std::string> ids, std::string token, Destinos destinos) {
    if (ids.size() > vectoresMaximos) ids.resize(vectoresMaximos);
    std::vector<std::pair<std::string, std::string>> pares;
    for (std::size_t desde = 0; desde < ids.size(); desde += vectoresPorPeticion) {
        const std::size_t hasta = std::min(ids.size(), desde + vectoresPorPeticion);
        const auto r =
            co_await pedir("/v1/images/" + clave + "?format=svg&ids=" + unidos(ids, desde, hasta), token, destinos);
        if (!r) co_return r.fallo();
        for (auto& par : direcciones(*r, {"images"})) pares.emplace_back(std::move(par));
    }
    auto svgs = co_await descargar(std::move(pares), limiteSVG, destinos);
    std::erase_if(svgs, [](const auto& par) {
        return g_utf8_validate(par.second.data(), static_cast<gssize>(par.second.size()), nullptr) == FALSE;
    });
    co_return svgs;
}

// Each referenced image fill, downloaded and reduced to a data: address.
Tarea<Resultado<Mapa>> imagenesDe(std::string clave, std::vector<std::string> refs, std::string token,
                                  Destinos destinos) {
    const auto r = co_await pedir("/v1/files/" + clave + "/images", token, destinos);
    if (!r) co_return r.fallo();
    const auto todas = direcciones(*r, {"meta", "images"});
    std::vector<std::pair<std::string, std::string>> pares;
    for (const auto& ref : refs)
        if (const auto it = todas.find(ref); it != todas.end()) pares.emplace_back(ref, it->second);
    auto bytes = co_await descargar(std::move(pares), limiteImagen, destinos);
    co_return co_await enSegundoPlano([bytes = std::move(bytes)] {
        Mapa imagenes;
        for (const auto& [ref, datos] : bytes)
            if (auto direccion = reducir(datos)) imagenes.emplace(ref, std::move(*direccion));
        return imagenes;
    });
}

std::string trayendoImagenes(std::size_t n) {
    return "Trayendo " + std::to_string(n) + (n == 1 ? " imagen…" : " imágenes…");
}

}  // namespace

Tarea<Resultado<std::vector<Marco>>> importar(std::string enlace, std::string token,
                                              std::function<void(const std::string&)> progreso, Destinos destinos) {
    const auto partido = partir(enlace);
    if (!partido) co_return Fallo{std::string(enlaceMalo), "enlace"};
    progreso("Leyendo el archivo de Figma…");
    auto marcos = co_await marcosDe(*partido, token, destinos);
    if (!marcos) co_return marcos.fallo();

    const Recursos recursos = recorrer(*marcos);
    Mapa svgs, imagenes;
    if (!recursos.vectores.empty()) {
        progreso("Trayendo " + std::to_string(recursos.vectores.size()) + " iconos y vectores…");
        auto r = co_await svgsDe(partido->clave, recursos.vectores, token, destinos);
        if (!r) co_return r.fallo();
        svgs = std::move(*r);
    }
    if (!recursos.imagenes.empty()) {
        progreso(trayendoImagenes(recursos.imagenes.size()));
        auto r = co_await imagenesDe(partido->clave, recursos.imagenes, token, destinos);
        if (!r) co_return r.fallo();
        imagenes = std::move(*r);
    }

    progreso("Montando las páginas…");
    co_return co_await enSegundoPlano(
        [marcos = std::move(*marcos), svgs = std::move(svgs), imagenes = std::move(imagenes)] {
            std::vector<Marco> paginas;
            for (const Json& m : marcos) paginas.push_back(pagina(m, svgs, imagenes));
            return Resultado<std::vector<Marco>>(std::move(paginas));
        });
}

}  // namespace sorvenia::Figma
