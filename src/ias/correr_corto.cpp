#include "ias/correr_corto.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "comun/utf8.h"
#include "ias/descriptor.h"
#include "ias/matar.h"
#include "plataforma/tarea.h"

namespace sorvenia::IAsLocales {
namespace {

// The reader keeps what it reads to itself and hands it over whole at end of
// file, unless the caller stopped waiting first; then it gives up and closes
// the pipe instead of waiting for whoever still holds it open.
struct Lectura {
    std::mutex mutex;
    std::condition_variable hecha;
    bool terminada = false;
    bool abandonada = false;
    std::string bytes;

    bool sigueQueriendo() {
        std::lock_guard bloqueo(mutex);
        return !abandonada;
    }
    void abandonar() {
        std::lock_guard bloqueo(mutex);
        abandonada = true;
    }
};

void leerHastaFin(const std::shared_ptr<Descriptor>& tuberia, const std::shared_ptr<Lectura>& lectura) {
    std::string propios;
    pollfd espera{tuberia->fd(), POLLIN, 0};
    while (lectura->sigueQueriendo()) {
        const int r = poll(&espera, 1, 100);
        if (r == 0 || (r < 0 && errno == EINTR)) continue;
        if (r < 0 || !leerAlgo(tuberia->fd(), propios)) break;
    }
    {
        std::lock_guard bloqueo(lectura->mutex);
        if (lectura->abandonada) return;
        lectura->bytes = std::move(propios);
        lectura->terminada = true;
    }
    lectura->hecha.notify_all();
}

}  // namespace

std::optional<SalidaCorta> correrCorto(const std::string& ruta, const std::vector<std::string>& argumentos,
                                       const std::optional<Entorno>& entorno, double limite) {
    auto tuberia = crearTuberia();
    if (!tuberia) return std::nullopt;
    Lanzamiento lanzamiento{ruta, argumentos, std::nullopt, entorno, -1, tuberia->escritura.fd(),
                            tuberia->escritura.fd()};
    auto proceso = Proceso::lanzar(lanzamiento);
    tuberia->escritura.cerrar();
    if (!proceso) return std::nullopt;

    auto lectura = std::make_shared<Lectura>();
    auto extremo = std::make_shared<Descriptor>(std::move(tuberia->lectura));
    enTrabajador([extremo, lectura] { leerHastaFin(extremo, lectura); });

    const auto estado = (*proceso)->esperar(limite);
    if (!estado) {
        matar(*proceso);
        lectura->abandonar();
        return std::nullopt;
    }
    std::unique_lock bloqueo(lectura->mutex);
    lectura->hecha.wait_for(bloqueo, std::chrono::seconds(2), [&] { return lectura->terminada; });
    lectura->abandonada = true;
    return SalidaCorta{*estado, lectura->terminada ? repararUtf8(lectura->bytes) : std::string()};
}

}  // namespace sorvenia::IAsLocales
