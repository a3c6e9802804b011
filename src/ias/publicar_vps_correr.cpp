#include "ias/publicar_vps_correr.h"

#include <limits>

#include "comun/utf8.h"
#include "ias/descriptor.h"
#include "ias/escribir.h"
#include "plataforma/tarea.h"

namespace sorvenia::PublicarVPS {

std::pair<bool, std::string> correr(const std::string& programa, const std::vector<std::string>& argumentos,
                                    const Entorno& entorno, const std::optional<std::string>& entrada) {
    const std::pair<bool, std::string> noArranca{false, "no arranca"};
    Entorno variables = entornoPropio();
    for (const auto& [nombre, valor] : entorno) variables[nombre] = valor;

    auto salida = crearTuberia();
    if (!salida) return noArranca;
    std::optional<Tuberia> tuberiaEntrada;
    if (entrada) {
        auto t = crearTuberia();
        if (!t) return noArranca;
        tuberiaEntrada = std::move(*t);
    }
    const Lanzamiento lanzamiento{programa,
                                  argumentos,
                                  std::nullopt,
                                  std::move(variables),
                                  tuberiaEntrada ? tuberiaEntrada->lectura.fd() : -1,
                                  salida->escritura.fd(),
                                  salida->escritura.fd()};
    auto proceso = Proceso::lanzar(lanzamiento);
    salida->escritura.cerrar();
    if (tuberiaEntrada) tuberiaEntrada->lectura.cerrar();
    if (!proceso) return noArranca;

    if (entrada) {
        auto extremo = std::make_shared<Descriptor>(std::move(tuberiaEntrada->escritura));
        enTrabajador([extremo, bytes = *entrada] { IAsLocales::escribir(bytes, *extremo, true); });
    }
    // End of file comes when the child and everything that inherited the
    // pipe have closed it; only then is the exit awaited.
    std::string bytes;
    while (leerAlgo(salida->lectura.fd(), bytes)) {
    }
    const auto estado = (*proceso)->esperar(std::numeric_limits<double>::infinity());
    return {estado == 0, repararUtf8(bytes)};
}

}  // namespace sorvenia::PublicarVPS
