#include "medios/indice_fuentes.h"

#include <nlohmann/json.hpp>

#include "comun/texto.h"

namespace sorvenia::Fuentes {
using Json = nlohmann::json;

bool nombreValido(std::string_view archivo) {
    const auto bueno = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
               c == '-';
    };
    if (archivo.empty() || archivo.size() > 121) return false;
    const char primero = archivo.front();
    if (!bueno(primero) || primero == '.' || primero == '_' || primero == '-') return false;
    for (const char c : archivo)
        if (!bueno(c)) return false;
    return archivo.find("..") == std::string_view::npos;
}

std::string extensionEnMinusculas(std::string_view archivo) {
    const auto punto = archivo.rfind('.');
    return punto == std::string_view::npos ? "" : enMinusculas(archivo.substr(punto + 1));
}

std::string mime(std::string_view archivo) {
    const std::string ext = extensionEnMinusculas(archivo);
    if (ext == "woff2") return "font/woff2";
    if (ext == "woff") return "font/woff";
    if (ext == "otf") return "font/otf";
    return "font/ttf";
}

std::string formato(std::string_view extension) {
    const std::string ext = enMinusculas(extension);
    if (ext == "woff2") return "woff2";
    if (ext == "woff") return "woff";
    if (ext == "otf") return "opentype";
    return "truetype";
}

std::vector<Fuente> leerIndice(std::string_view texto) {
    const Json todo = Json::parse(texto, nullptr, false);
    if (!todo.is_array()) return {};
    for (const auto& e : todo) {
        // One entry of another shape makes the whole index unreadable.
        if (!e.is_object()) return {};
        for (const auto& [clave, valor] : e.items())
            if (!valor.is_string()) return {};
    }
    std::vector<Fuente> r;
    for (const auto& e : todo) {
        if (!e.contains("familia") || !e.contains("archivo")) continue;
        Fuente f;
        f.familia = e["familia"].get<std::string>();
        f.archivo = e["archivo"].get<std::string>();
        if (!nombreValido(f.archivo)) continue;
        f.peso = e.value("peso", "400");
        f.estilo = e.value("estilo", "normal");
        f.formato = e.value("formato", "truetype");
        r.push_back(std::move(f));
    }
    return r;
}

std::string textoIndice(const std::vector<Fuente>& fuentes) {
    auto arreglo = Json::array();
    for (const auto& f : fuentes)
        arreglo.push_back({{"familia", f.familia},
                           {"peso", f.peso},
                           {"estilo", f.estilo},
                           {"archivo", f.archivo},
                           {"formato", f.formato}});
    return arreglo.dump(2, ' ', false, Json::error_handler_t::replace);
}

std::optional<std::string> nombreDeUrl(std::string_view url) {
    const std::string_view sin = url.substr(0, url.find_first_of("?#"));
    const auto barra = sin.rfind('/');
    const std::string_view nombre = barra == std::string_view::npos ? sin : sin.substr(barra + 1);
    if (!nombreValido(nombre)) return std::nullopt;
    return std::string(nombre);
}

}  // namespace sorvenia::Fuentes
