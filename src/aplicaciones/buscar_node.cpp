#include "aplicaciones/buscar_node.h"

#include <unistd.h>

#include <filesystem>

#include "ias/path_terminal.h"
#include "ias/publicar_vps_correr.h"

namespace sorvenia {
namespace {

// Prints the version and exits with 0 for 22.13 or newer, else with 3.
constexpr const char* guionVersion =
    "const [a,b]=process.versions.node.split('.').map(Number);console.log(process.version);"
    "process.exit(a>22||(a===22&&b>=13)?0:3)";

std::string recortar(std::string texto) {
    const auto blanco = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!texto.empty() && blanco(texto.back())) texto.pop_back();
    std::size_t i = 0;
    while (i < texto.size() && blanco(texto[i])) ++i;
    return texto.substr(i);
}

bool ejecutable(const std::string& ruta) {
    std::error_code ec;
    return std::filesystem::is_regular_file(ruta, ec) && ::access(ruta.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<NodeEncontrado> buscarNodeEn(const std::string& path) {
    for (const auto& carpeta : IAsLocales::carpetasDelPath(path)) {
        const std::string candidato = carpeta + "/node";
        if (!ejecutable(candidato)) continue;
        const auto [ok, salida] = PublicarVPS::correr(candidato, {"-e", guionVersion}, {}, std::nullopt);
        if (ok) return NodeEncontrado{candidato, recortar(salida)};
    }
    return std::nullopt;
}

Tarea<std::optional<NodeEncontrado>> buscarNode() {
    co_return co_await enSegundoPlano([] { return buscarNodeEn(IAsLocales::pathDeTerminal()); });
}

std::string npmJuntoA(const std::string& rutaNode) {
    return std::filesystem::path(rutaNode).replace_filename("npm").string();
}

}  // namespace sorvenia
