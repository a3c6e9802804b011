#include "servidores/terminal_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "ias/matar.h"
#include "ias/proceso.h"
#include "plataforma/tarea.h"

namespace sorvenia {
namespace {

constexpr std::size_t bloqueLectura = 65536;

Fallo falloPar() { return Fallo{"No se ha podido abrir la terminal.", "pty"}; }

void fijarTamano(int fd, int cols, int filas) {
    const auto [c, f] = TerminalPTY::tamanoValido(cols, filas);
    struct winsize ws {};
    ws.ws_row = f;
    ws.ws_col = c;
    (void)::ioctl(fd, TIOCSWINSZ, &ws);
}

}  // namespace

std::pair<unsigned short, unsigned short> TerminalPTY::tamanoValido(int cols, int filas) {
    const auto acotar = [](int v, int minimo) { return static_cast<unsigned short>(std::clamp(v, minimo, 65535)); };
    return {acotar(cols, 20), acotar(filas, 5)};
}

TerminalPTY::~TerminalPTY() { cerrar(); }

Hecho TerminalPTY::arrancar(const std::string& programa, const std::vector<std::string>& argumentos, int cols,
                            int filas) {
    maestro_ = Descriptor(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!maestro_.abierto() || ::grantpt(maestro_.fd()) != 0 || ::unlockpt(maestro_.fd()) != 0) return falloPar();
    char nombre[128];
    if (::ptsname_r(maestro_.fd(), nombre, sizeof nombre) != 0) return falloPar();
    esclavo_ = Descriptor(::open(nombre, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!esclavo_.abierto()) return falloPar();
    fijarTamano(esclavo_.fd(), cols, filas);
    auto despertador = crearTuberia();
    if (!despertador) return falloPar();
    despertador_ = std::move(*despertador);

    Entorno entorno = entornoPropio();
    entorno["TERM"] = "xterm-256color";
    entorno["LANG"] = "es_ES.UTF-8";
    entorno["LC_ALL"] = "es_ES.UTF-8";
    Lanzamiento l;
    l.programa = programa;
    l.argumentos = argumentos;
    l.entorno = std::move(entorno);
    l.entrada = l.salida = l.errores = esclavo_.fd();
    // What the child left running in its group goes when it ends.
    l.terminarGrupoAlSalir = true;
    std::weak_ptr<TerminalPTY> debil = weak_from_this();
    auto proceso = Proceso::lanzar(l, [debil](std::int32_t) {
        enPrincipal([debil] {
            if (const auto t = debil.lock(); t && t->fin) t->fin();
        });
    });
    if (!proceso) return proceso.fallo();
    proceso_ = *proceso;
    lector_ = std::thread(
        [this, maestro = maestro_.fd(), despertar = despertador_.lectura.fd()] { leer(maestro, despertar); });
    return hecho();
}

// Runs on its own thread until the master ends or cerrar wakes it; the
// descriptors are closed only after this thread has been joined, so a read
// never touches a closed (and maybe reused) number.
void TerminalPTY::leer(int maestro, int despertar) {
    std::weak_ptr<TerminalPTY> debil = weak_from_this();
    std::string bloque(bloqueLectura, '\0');
    for (;;) {
        pollfd fds[2] = {{maestro, POLLIN, 0}, {despertar, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if (fds[0].revents == 0) continue;
        const ssize_t n = ::read(maestro, bloque.data(), bloque.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // end or error: no more output, nothing reported
        enPrincipal([debil, bytes = bloque.substr(0, static_cast<std::size_t>(n))]() mutable {
            if (const auto t = debil.lock(); t && t->salida) t->salida(std::move(bytes));
        });
    }
}

void TerminalPTY::escribir(std::string_view bytes) {
    if (!maestro_.abierto() || cerrado_) return;
    while (!bytes.empty()) {
        const ssize_t n = ::write(maestro_.fd(), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TerminalPTY::redimensionar(int cols, int filas) {
    if (!esclavo_.abierto() || cerrado_) return;
    fijarTamano(esclavo_.fd(), cols, filas);
    if (!proceso_) return;
    // Held unreaped while the signal goes, so the id cannot be a stranger's.
    const auto retencion = proceso_->retener();
    if (retencion && proceso_->enMarcha()) ::kill(proceso_->pid(), SIGWINCH);
}

void TerminalPTY::cerrar() {
    if (cerrado_) return;
    cerrado_ = true;
    if (proceso_) {
        // A shell takes the hang-up as its terminal going away (an interactive
        // one ignores SIGTERM); the stop sequence then ends the group.
        if (const auto retencion = proceso_->retener()) proceso_->senalar(SIGHUP);
        IAsLocales::matar(proceso_);
    }
    if (lector_.joinable()) {
        const char uno = 1;
        (void)!::write(despertador_.escritura.fd(), &uno, 1);
        lector_.join();
    }
    esclavo_.cerrar();
    maestro_.cerrar();
    despertador_.lectura.cerrar();
    despertador_.escritura.cerrar();
}

pid_t TerminalPTY::pid() const { return proceso_ ? proceso_->pid() : 0; }

std::pair<int, int> TerminalPTY::tamano() const {
    struct winsize ws {};
    if (!esclavo_.abierto() || ::ioctl(esclavo_.fd(), TIOCGWINSZ, &ws) != 0) return {0, 0};
    return {ws.ws_col, ws.ws_row};
}

}  // namespace sorvenia
