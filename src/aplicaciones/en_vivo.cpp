#include "aplicaciones/en_vivo.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <limits>
#include <utility>

#include "ias/descriptor.h"
#include "ias/divisor_lineas.h"
#include "ias/path_terminal.h"

namespace sorvenia {
namespace {

// Collects and reports the lines of one run.
struct Lineas {
    const std::function<void(std::string)>& linea;
    std::string salida;
    DivisorLineas divisor;
    std::vector<std::string> nuevas;

    void anadir(std::string_view bytes) {
        divisor.anadir(bytes, nuevas);
        entregar();
    }
    void terminar() {
        if (auto ultima = divisor.terminar()) nuevas.push_back(std::move(*ultima));
        entregar();
    }
    void entregar() {
        for (auto& l : nuevas) {
            salida.append(l).push_back('\n');
            if (linea) linea(std::move(l));
        }
        nuevas.clear();
    }
};

// One read of what is there; false at end of file or on an error.
bool leerUnaVez(int fd, std::string& bloque) {
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            bloque.assign(buffer.data(), static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

// Reads the output until the child has exited and the pipe holds nothing
// more. The exit arrives as a byte on `aviso`; after it only what is already
// in the pipe is read, so a descendant that keeps the pipe open cannot hold
// the run.
void leerHastaElFin(int salida, int aviso, Lineas& lineas) {
    bool salido = false;
    std::string bloque;
    for (;;) {
        std::array<pollfd, 2> fds{pollfd{salida, POLLIN, 0}, pollfd{aviso, POLLIN, 0}};
        const int listos = ::poll(fds.data(), salido ? 1 : 2, salido ? 0 : -1);
        if (listos < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (!salido && (fds[1].revents & (POLLIN | POLLHUP))) salido = true;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (!leerUnaVez(salida, bloque)) return;
            lineas.anadir(bloque);
        } else if (salido) {
            return;
        }
    }
}

}  // namespace

FinEnVivo correrEnVivo(const std::string& ruta, const std::vector<std::string>& argumentos,
                       const std::optional<std::filesystem::path>& en, const std::optional<Entorno>& entorno,
                       const std::function<void(std::string)>& linea) {
    const auto noArranca = [](const Fallo& f) { return FinEnVivo{-1, "no arranca: " + f.mensaje}; };
    auto tuberia = crearTuberia();
    if (!tuberia) return noArranca(tuberia.fallo());
    auto aviso = crearTuberia();
    if (!aviso) return noArranca(aviso.fallo());

    Entorno variables;
    if (entorno) {
        variables = *entorno;
    } else {
        variables = entornoPropio();
        variables["PATH"] = IAsLocales::pathDeTerminal();
    }
    const Lanzamiento lanzamiento{ruta, argumentos, en, std::move(variables), -1,
                                  tuberia->escritura.fd(), tuberia->escritura.fd(), false};
    // The watcher closes the notice's write end once the child has exited;
    // the reader then sees it readable (end of file).
    auto extremoAviso = std::make_shared<Descriptor>(std::move(aviso->escritura));
    auto proceso = Proceso::lanzar(lanzamiento, [extremoAviso](std::int32_t) { extremoAviso->cerrar(); });
    tuberia->escritura.cerrar();
    if (!proceso) return noArranca(proceso.fallo());

    Lineas lineas{linea, {}, {}, {}};
    leerHastaElFin(tuberia->lectura.fd(), aviso->lectura.fd(), lineas);
    lineas.terminar();
    // The exit has been seen (or the pipe failed, and the exit is awaited).
    const auto estado = (*proceso)->esperar(std::numeric_limits<double>::infinity());
    return FinEnVivo{estado.value_or(-1), std::move(lineas.salida)};
}

Tarea<FinEnVivo> enVivo(std::string ruta, std::vector<std::string> argumentos,
                        std::optional<std::filesystem::path> en, std::optional<Entorno> entorno,
                        std::function<void(std::string)> linea) {
    co_return co_await enSegundoPlano([ruta = std::move(ruta), argumentos = std::move(argumentos),
                                       en = std::move(en), entorno = std::move(entorno), linea = std::move(linea)] {
        return correrEnVivo(ruta, argumentos, en, entorno, linea);
    });
}

}  // namespace sorvenia
