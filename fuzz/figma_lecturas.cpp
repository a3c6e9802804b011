// A pasted Figma link and the Figma API's answers, as the import reads them.
// The first byte picks the reader. Nothing may crash; a link gives a key of
// 10 to 64 letters and digits and a node id with no "-"; encoded ids hold
// only letters, digits and "%XX"; the frames and resources read come from
// the answer itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "medios/figma_enlace.h"
#include "medios/figma_lecturas.h"

namespace {

using namespace sorvenia;
using Json = nlohmann::json;

void comprobar(bool condicion) {
    if (!condicion) std::abort();
}

bool alfanumerico(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

void enlace(std::string_view texto) {
    const auto e = Figma::partir(texto);
    if (!e) return;
    comprobar(e->clave.size() >= 10 && e->clave.size() <= 64 && std::ranges::all_of(e->clave, alfanumerico));
    if (e->nodo) comprobar(!e->nodo->empty() && e->nodo->find('-') == std::string::npos);
    const std::string codificado = Figma::codificarId(e->nodo.value_or(std::string(texto)));
    comprobar(std::ranges::all_of(codificado, [](char c) { return alfanumerico(c) || c == '%'; }));
}

void respuesta(std::string_view datos) {
    if (datos.size() < 2) return;
    const long status = static_cast<unsigned char>(datos[0]) * 4L + static_cast<unsigned char>(datos[1]) % 4;
    const auto r = Figma::leerRespuesta(status, datos.substr(2));
    if (r) {
        comprobar(status >= 200 && status <= 299 && r->is_object());
    } else {
        comprobar(!r.fallo().mensaje.empty());
    }

    const Json j = Json::parse(datos.substr(2), nullptr, false);
    if (j.is_discarded()) return;
    const auto marcos = Figma::marcosDeArchivo(j);
    for (const auto& m : marcos) comprobar(Figma::esMarco(m));
    for (const auto& m : Figma::marcosDeNodo(j)) comprobar(Figma::esMarco(m));
    std::vector<std::string> ids;
    for (const auto& m : marcos) ids.push_back(Figma::idDe(m));
    const auto docs = Figma::documentos(j, ids);
    comprobar(docs.size() <= ids.size());
    for (const auto& d : docs) comprobar(d.is_object());
    auto todos = marcos;
    todos.insert(todos.end(), docs.begin(), docs.end());
    todos.push_back(j);
    const auto recursos = Figma::recorrer(todos);
    for (const auto& r2 : recursos.imagenes)
        comprobar(std::count(recursos.imagenes.begin(), recursos.imagenes.end(), r2) == 1);
    (void)Figma::direcciones(j, {"images"});
    (void)Figma::direcciones(j, {"meta", "images"});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    if (largo == 0) return 0;
    const std::string_view resto(reinterpret_cast<const char*>(datos) + 1, largo - 1);
    if (datos[0] % 2 == 0) enlace(resto);
    else respuesta(resto);
    return 0;
}
