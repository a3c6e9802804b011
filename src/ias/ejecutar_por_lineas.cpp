#include "ias/ejecutar_por_lineas.h"

#include <exception>
#include <stop_token>
#include <utility>

#include "comun/utf8.h"
#include "ias/buzon.h"
#include "ias/caja.h"
#include "ias/descriptor.h"
#include "ias/divisor_lineas.h"
#include "ias/entorno_hijo.h"
#include "ias/escribir.h"
#include "ias/matar.h"
#include "ias/reloj.h"

namespace sorvenia::IAsLocales {
namespace {

struct Pedido {
    std::string ruta;
    std::vector<std::string> argumentos;
    std::filesystem::path en;
    double limite = 0;
    Entorno entorno;
    bool porLineas = false;
};

// What the run shares with its threads.
struct Corrida {
    Buzon buzon;
    Caja<std::string> salida;
    Caja<std::string> errores;
};

struct Arranque {
    std::shared_ptr<Proceso> proceso;
    std::shared_ptr<Descriptor> entrada;  // write end of the child's standard input
    Aviso limite;
};

void leerLineas(const std::shared_ptr<Descriptor>& tuberia, const std::shared_ptr<Corrida>& corrida) {
    DivisorLineas divisor;
    std::string bloque;
    std::vector<std::string> lineas;
    while (leerAlgo(tuberia->fd(), bloque)) {
        divisor.anadir(bloque, lineas);
        bloque.clear();
        if (!lineas.empty()) corrida->buzon.entregar(std::exchange(lineas, {}));
    }
    if (auto ultima = divisor.terminar()) corrida->buzon.entregar({std::move(*ultima)});
    tuberia->cerrar();
    corrida->buzon.terminar();
}

void leerTodo(const std::shared_ptr<Descriptor>& tuberia, Caja<std::string>& caja, Buzon& buzon) {
    std::string bytes;
    while (leerAlgo(tuberia->fd(), bytes)) {
    }
    tuberia->cerrar();
    caja.fijar(std::move(bytes));
    buzon.terminar();
}

// Pipes, launch, time limit and readers. The readers start only after a
// successful launch, so a failed one leaves no thread waiting on a pipe.
Resultado<Arranque> arrancar(const Pedido& pedido, const std::shared_ptr<Corrida>& corrida) {
    auto entrada = crearTuberia();
    if (!entrada) return entrada.fallo();
    auto salida = crearTuberia();
    if (!salida) return salida.fallo();
    auto errores = crearTuberia();
    if (!errores) return errores.fallo();

    const Lanzamiento lanzamiento{pedido.ruta,           pedido.argumentos,         pedido.en,
                                  entornoDeHijo(pedido.entorno), entrada->lectura.fd(), salida->escritura.fd(),
                                  errores->escritura.fd(), true};
    auto proceso = Proceso::lanzar(lanzamiento, [corrida](std::int32_t estado) { corrida->buzon.salio(estado); });
    // The child's ends must go now: the readers see end of file only once
    // no copy of a write end is left open.
    entrada->lectura.cerrar();
    salida->escritura.cerrar();
    errores->escritura.cerrar();
    if (!proceso) return proceso.fallo();

    std::weak_ptr<Proceso> debil = *proceso;
    Aviso limite = programar(pedido.limite, [debil] {
        if (auto p = debil.lock(); p && p->enMarcha()) matar(p);
    });
    auto out = std::make_shared<Descriptor>(std::move(salida->lectura));
    auto err = std::make_shared<Descriptor>(std::move(errores->lectura));
    if (pedido.porLineas) enTrabajador([out, corrida] { leerLineas(out, corrida); });
    else enTrabajador([out, corrida] { leerTodo(out, corrida->salida, corrida->buzon); });
    enTrabajador([err, corrida] { leerTodo(err, corrida->errores, corrida->buzon); });
    return Arranque{*proceso, std::make_shared<Descriptor>(std::move(entrada->escritura)), limite};
}

void escribirEntrada(const std::shared_ptr<Descriptor>& tuberia, std::string bytes) {
    if (bytes.empty()) {
        tuberia->cerrar();
        return;
    }
    enTrabajador([tuberia, bytes = std::move(bytes)] { escribir(bytes, *tuberia, true); });
}

Tarea<Resultado<SalidaEjecucion>> correr(Pedido pedido, std::string entrada,
                                         std::function<void(std::shared_ptr<Proceso>)> alLanzar,
                                         std::function<void(std::string)> lineas) {
    const std::stop_token token = co_await tokenActual();
    auto caja = std::make_shared<Caja<std::shared_ptr<Proceso>>>();
    // A cancellation before the launch finds the box empty; the check right
    // after the launch covers it.
    std::stop_callback alCancelar(token, [caja] { matar(caja->valor()); });
    auto corrida = std::make_shared<Corrida>();
    // Off the main thread: the environment may compute the login-shell PATH
    // first.
    auto arranque = co_await enSegundoPlano(
        [pedido = std::move(pedido), corrida] { return arrancar(pedido, corrida); });
    if (!arranque) co_return arranque.fallo();
    const auto proceso = arranque->proceso;
    caja->fijar(proceso);

    // A callback that throws stops the child; the run still drains the
    // pipes and waits for the exit before passing the exception on.
    std::exception_ptr fallo;
    const auto llamar = [&](auto&& fn) {
        if (fallo) return;
        try {
            fn();
        } catch (...) {
            fallo = std::current_exception();
            matar(proceso);
        }
    };
    if (alLanzar) llamar([&] { alLanzar(proceso); });
    if (token.stop_requested()) matar(proceso);
    escribirEntrada(arranque->entrada, std::move(entrada));

    for (;;) {
        auto lote = co_await corrida->buzon.siguiente();
        if (lineas)
            for (auto& linea : lote.lineas) llamar([&] { lineas(std::move(linea)); });
        if (lote.fin) break;
    }
    arranque->limite.anular();
    if (fallo) std::rethrow_exception(fallo);
    co_return SalidaEjecucion{corrida->buzon.estado(), repararUtf8(corrida->salida.valor()),
                              repararUtf8(corrida->errores.valor())};
}

}  // namespace

Tarea<Resultado<FinEjecucion>> ejecutarPorLineas(std::string ruta, std::vector<std::string> argumentos,
                                                 std::string entrada, std::filesystem::path en, double limite,
                                                 std::function<void(std::shared_ptr<Proceso>)> proceso,
                                                 Entorno entorno, std::function<void(std::string)> lineas) {
    Pedido pedido{std::move(ruta), std::move(argumentos), std::move(en), limite, std::move(entorno), true};
    auto r = co_await correr(std::move(pedido), std::move(entrada), std::move(proceso), std::move(lineas));
    if (!r) co_return r.fallo();
    co_return FinEjecucion{r->estado, std::move(r->errores)};
}

Tarea<Resultado<SalidaEjecucion>> ejecutar(std::string ruta, std::vector<std::string> argumentos,
                                           std::string entrada, std::filesystem::path en, double limite) {
    Pedido pedido{std::move(ruta), std::move(argumentos), std::move(en), limite, {}, false};
    co_return co_await correr(std::move(pedido), std::move(entrada), {}, {});
}

}  // namespace sorvenia::IAsLocales
