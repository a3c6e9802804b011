#include "medios/figma_api.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "plataforma/http.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"

namespace sorvenia::Figma {
namespace {

// Downloads at once: enough to hide each one's latency, few enough not to
// look like a flood to the download host.
constexpr std::size_t simultaneas = 6;

}  // namespace

Destinos destinos() {
    Destinos d;
    // Only the test build may send the token anywhere but to Figma.
    if (esCompilacionDePrueba()) {
        const auto hosts = Preferencias::estandar().mapaTextos("pruebas.hostsServicios");
        if (const auto it = hosts.find("figma"); it != hosts.end()) d.api = it->second;
        if (const auto it = hosts.find("figmaImagenes"); it != hosts.end()) d.imagenes = it->second;
    }
    return d;
}

Tarea<Resultado<nlohmann::json>> pedir(std::string ruta, std::string token, Destinos destinos) {
    PeticionHTTP peticion;
    peticion.url = destinos.api + ruta;
    peticion.cabeceras = {{"X-Figma-Token", std::move(token)}, {"Accept", "application/json"}};
    peticion.tiempoLimite = destinos.tiempo;
    // A redirect would carry the token to another host: never followed.
    peticion.seguirRedirecciones = false;
    const auto respuesta = co_await pedirAsync(std::move(peticion));
    if (!respuesta) co_return respuesta.fallo();
    co_return leerRespuesta(respuesta->status, respuesta->cuerpo);
}

bool descargable(std::string_view url, const Destinos& destinos) {
    if (url.starts_with("https://")) return true;
    return !destinos.imagenes.empty() && url.starts_with(destinos.imagenes + "/");
}

Tarea<std::map<std::string, std::string>> descargar(std::vector<std::pair<std::string, std::string>> pares,
                                                    std::size_t limite, Destinos destinos) {
    std::erase_if(pares, [&](const auto& par) { return !descargable(par.second, destinos); });
    co_return co_await enSegundoPlano(
        [pares = std::move(pares), limite, tiempo = destinos.tiempo](std::stop_token parar) {
            std::map<std::string, std::string> bytes;
            std::mutex mutex;
            std::atomic<std::size_t> siguiente{0};
            auto trabajar = [&] {
                for (std::size_t i = siguiente++; i < pares.size() && !parar.stop_requested(); i = siguiente++) {
                    PeticionHTTP peticion;
                    peticion.url = pares[i].second;
                    peticion.tiempoLimite = tiempo;
                    peticion.seguirRedirecciones = true;
                    peticion.limiteBytes = limite;
                    auto respuesta = sorvenia::pedir(peticion, parar);
                    if (!respuesta || respuesta->status < 200 || respuesta->status > 299) continue;
                    const std::lock_guard bloqueo(mutex);
                    bytes[pares[i].first] = std::move(respuesta->cuerpo);
                }
            };
            std::vector<std::jthread> hilos;
            for (std::size_t n = 0; n < std::min(simultaneas, pares.size()); ++n) hilos.emplace_back(trabajar);
            hilos.clear();  // joins
            return bytes;
        });
}

}  // namespace sorvenia::Figma
