#include "editor/gui/esquema_escena.h"

#include <fstream>
#include <iterator>

#include "editor/escenas.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {

void servirEscenas(WebVista& vista, std::function<std::filesystem::path()> carpeta) {
    vista.registrarEsquema("escena", [carpeta = std::move(carpeta)](std::string_view uri) -> RespuestaEsquema {
        const auto archivo = Escenas::archivoPedido(uri, carpeta());
        if (!archivo) return std::nullopt;
        std::ifstream entrada(*archivo, std::ios::binary);
        std::vector<std::uint8_t> datos{std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
        if (entrada.bad()) return std::nullopt;
        return RecursoEsquema{std::move(datos), Escenas::mime(archivo->filename().string())};
    });
}

}  // namespace sorvenia
