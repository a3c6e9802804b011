// Before a site goes to the account, the scene videos its pages use are
// uploaded (only what the account does not hold already), and scenes whose
// video could not be uploaded show their poster instead.

#include <fstream>
#include <iterator>

#include "editor/gui/editor_abierto.h"
#include "editor/escenas.h"
#include "plataforma/cripto.h"

namespace sorvenia {
namespace {

std::optional<std::string> leerEntero(const std::filesystem::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    if (!entrada) return std::nullopt;
    std::string datos{std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
    if (entrada.bad()) return std::nullopt;
    return datos;
}

std::string aviso(std::size_t n) {
    return "Subiendo " + std::to_string(n) + " escena" + (n == 1 ? "" : "s") + " de vídeo…";
}

}  // namespace

Tarea<std::set<std::string>> EditorAbierto::subirEscenas(std::set<std::string> usadas, std::shared_ptr<Cuenta> cuenta,
                                                         std::string id) {
    std::map<std::string, std::string> subidas;
    try {
        subidas = co_await cuenta->escenasSubidas(id);
    } catch (...) {
        // Not knowing what is stored only means uploading everything.
    }
    const auto carpeta = Escenas::carpeta(id);
    std::set<std::string> faltan;
    for (const std::string& escena : usadas) {
        for (const char* extension : {"mp4", "jpg"}) {
            const bool esVideo = std::string_view(extension) == "mp4";
            const std::string nombre = escena + "." + extension;
            const auto datos = leerEntero(carpeta / nombre);
            if (!datos) {
                if (esVideo) faltan.insert(escena);
                continue;
            }
            const std::string ruta = "escenas/" + nombre;
            const auto guardada = subidas.find(ruta);
            if (guardada != subidas.end() && guardada->second == hex(sha256(*datos))) continue;
            try {
                co_await cuenta->subirEscena(id, ruta, *datos);
            } catch (...) {
                // A video that did not go up must not leave a broken player:
                // the page shows the poster instead.
                if (esVideo) faltan.insert(escena);
            }
        }
    }
    co_return faltan;
}

Tarea<std::map<std::string, std::string>> EditorAbierto::conEscenasSubidas(
    std::vector<std::pair<std::string, std::string>> archivos, std::shared_ptr<Cuenta> cuenta, std::string id) {
    const auto yo = shared_from_this();
    std::set<std::string> usadas;
    for (const auto& [nombre, contenido] : archivos) usadas.merge(Escenas::usadas(contenido));
    std::set<std::string> faltan;
    if (!usadas.empty()) {
        js("aviso", {{"texto", aviso(usadas.size())}});
        faltan = co_await subirEscenas(std::move(usadas), cuenta, id);
    }
    std::map<std::string, std::string> resultado;
    // The first of two same-named files wins; archivosWeb never makes two.
    for (auto& [nombre, contenido] : archivos) resultado.emplace(nombre, Escenas::conPoster(contenido, faltan));
    co_return resultado;
}

}  // namespace sorvenia
