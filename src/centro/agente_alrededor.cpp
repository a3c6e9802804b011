// What an agent run takes from the rest of the application.
#include <system_error>

#include "centro/agente_orden.h"
#include "ias/modelos.h"
#include "ias/publicar_vps_lanzador.h"
#include "ias/sistema.h"
#include "plataforma/carpetas.h"
#include "plataforma/preferencias.h"
#include "plataforma/recursos.h"

namespace sorvenia::Agente {
namespace fs = std::filesystem;

namespace {

std::optional<fs::path> real(std::optional<fs::path> ruta) {
    if (!ruta) return std::nullopt;
    std::error_code ec;
    fs::path resuelta = fs::canonical(*ruta, ec);
    if (ec || !fs::is_directory(resuelta, ec)) return std::nullopt;
    return resuelta;
}

}  // namespace

Alrededor alrededorReal(fs::path trabajo) {
    Alrededor a;
    a.trabajo = std::move(trabajo);
    a.skills = real(Recursos::ruta("skills"));
    a.plugins = real(Recursos::ruta("plugins"));
    a.sistema = IAsLocales::sistema();
    a.modeloClaude = IAsLocales::argsModeloClaude("claude");
    a.modeloCodex = IAsLocales::modelo("codex");
    a.videos = Preferencias::estandar().booleano("videosIA");
    a.carpetaVideos = Carpetas::videos() / "Sorvenia Tarvel";
    a.paraClaude = Conexiones::paraClaude();
    a.paraCodex = Conexiones::paraCodex();
    a.integraciones = [] { return Integraciones::entorno(); };
    a.lanzadorVPS = [](std::string_view alias) { return PublicarVPS::lanzador(alias); };
    a.raizVPS = PublicarVPS::raiz();
    a.sesiones = [](const fs::path& carpeta) { return carpetaDeSesiones(carpeta); };
    return a;
}

}  // namespace sorvenia::Agente
