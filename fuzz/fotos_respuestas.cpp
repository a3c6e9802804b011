// The photo banks', free collections' and image services' answers, as the
// search and the image generation read them. Nothing may crash; every photo
// and every image that comes out can be written into a page's attribute as
// it is, and the records keep what their source promises.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "integraciones/fotos_lecturas.h"
#include "integraciones/imagen_lecturas.h"

namespace {

using namespace sorvenia;

void comprobar(bool condicion) {
    if (!condicion) std::abort();
}

void comprobarFotos(const std::vector<BuscarFotos::Foto>& fotos) {
    for (const auto& f : fotos) comprobar(BuscarFotos::direccionSegura(f.url) && BuscarFotos::direccionSegura(f.mini));
}

void comprobarImagen(const Imagenes::Lectura& l) {
    if (!l.src) return;
    comprobar(!l.mensaje);
    const std::string& s = *l.src;
    if (s.starts_with("https://")) {
        comprobar(BuscarFotos::direccionSegura(s));
        return;
    }
    comprobar(s.starts_with("data:image/"));
    const auto coma = s.find(";base64,");
    comprobar(coma != std::string::npos);
    comprobar(std::none_of(s.begin(), s.end(), [](char c) {
        return c == '"' || c == '\'' || c == '<' || c == '>' || static_cast<unsigned char>(c) <= 0x20;
    }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const std::string_view texto(reinterpret_cast<const char*>(datos), tamano);
    comprobarImagen(Imagenes::leerFal(texto));
    comprobarImagen(Imagenes::leerOpenAI(texto));
    comprobarImagen(Imagenes::leerGemini(texto));

    const auto leido = BuscarFotos::leerJson(texto);
    if (!leido) return 0;
    const nlohmann::json& json = *leido;
    comprobarFotos(BuscarFotos::fotosPexels(json));
    comprobarFotos(BuscarFotos::fotosUnsplash(json));
    const auto openverse = BuscarFotos::fotosOpenverse(json);
    comprobarFotos(openverse);
    for (const auto& f : openverse) comprobar(f.url.starts_with("https://") && f.fuente.starts_with("Openverse/"));
    for (const char* orientacion : {"landscape", "portrait", "square"}) {
        const auto commons = BuscarFotos::fotosCommons(json, orientacion);
        comprobarFotos(commons);
        for (const auto& f : commons) {
            comprobar(f.ancho >= 1200);
            if (std::string_view(orientacion) == "landscape") comprobar(f.ancho >= f.alto);
            if (std::string_view(orientacion) == "portrait") comprobar(f.alto >= f.ancho);
        }
    }
    return 0;
}
