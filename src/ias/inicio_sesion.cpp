#include "ias/inicio_sesion.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <limits>
#include <set>
#include <thread>

#include "comun/utf8.h"
#include "ias/deteccion.h"
#include "ias/matar.h"
#include "ias/path_terminal.h"
#include "ias/reloj.h"
#include "plataforma/navegador.h"
#include "plataforma/tarea.h"

namespace sorvenia::IAsLocales {
namespace {

using Reloj = std::chrono::steady_clock;
using CajaEnviado = Caja<std::optional<Reloj::time_point>>;

constexpr double segundosParaRechazo = 30.0;
constexpr double segundosHastaNavegador = 1.5;

std::string minusculas(std::string_view texto) {
    std::string bajo(texto);
    std::ranges::transform(bajo, bajo.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return bajo;
}

bool contiene(std::string_view texto, std::string_view parte) { return texto.find(parte) != std::string_view::npos; }

// The logins still running, to stop them when the application quits.
std::mutex mutexInicios;
std::set<std::shared_ptr<Proceso>>& inicios() {
    static std::set<std::shared_ptr<Proceso>> lista;
    return lista;
}

Entorno entornoDeInicio() {
    Entorno entorno = entornoPropio();
    entorno["PATH"] = pathDeTerminal();
    entorno["TERM"] = "xterm-256color";
    entorno.erase("CLAUDECODE");
    return entorno;
}

struct Terminal {
    Descriptor maestro;
    std::string esclavo;
};

Resultado<Terminal> abrirTerminal() {
    Descriptor maestro(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!maestro.abierto() || grantpt(maestro.fd()) != 0 || unlockpt(maestro.fd()) != 0)
        return Fallo{"No se ha podido abrir un terminal para iniciar la sesión.", "terminal"};
    char nombre[128];
    if (ptsname_r(maestro.fd(), nombre, sizeof nombre) != 0)
        return Fallo{"No se ha podido abrir un terminal para iniciar la sesión.", "terminal"};
    return Terminal{std::move(maestro), nombre};
}

struct Vigilancia {
    std::shared_ptr<Descriptor> terminal;
    std::shared_ptr<CajaEnviado> enviado;
    std::function<void()> pedirCodigo;
    std::function<void()> codigoMalo;
    std::atomic<bool> codigoPedido = false;
    std::atomic<bool> paginaAbierta = false;
    std::atomic<bool> terminada = false;
};

void abrirLuego(std::string enlace) {
    programar(segundosHastaNavegador, [enlace = std::move(enlace)] {
        enPrincipal([enlace] { Navegador::abrir(enlace); });
    });
}

// One chunk of the tool's output, in the three steps and their order.
void mirarTrozo(Vigilancia& v, std::string_view bytes) {
    const std::string trozo = repararUtf8(bytes);
    if (trozo.empty()) return;
    const auto enviado = v.enviado->valor();
    if (enviado && std::chrono::duration<double>(Reloj::now() - *enviado).count() < segundosParaRechazo &&
        detalle::rechazaCodigo(trozo)) {
        v.enviado->fijar(std::nullopt);
        if (v.codigoMalo) enPrincipal(v.codigoMalo);
    }
    if (!v.codigoPedido && detalle::pideCodigo(trozo)) {
        v.codigoPedido = true;
        if (v.pedirCodigo) enPrincipal(v.pedirCodigo);
    }
    if (!v.paginaAbierta) {
        if (auto enlace = detalle::enlaceInicio(trozo)) {
            v.paginaAbierta = true;
            abrirLuego(std::move(*enlace));
        }
    }
}

// Reads the terminal until the tool's side is closed for good (EIO) or the
// login has ended; a short poll lets it notice the end even when something
// the tool started still holds the terminal.
void vigilar(std::shared_ptr<Vigilancia> v) {
    char bloque[4096];
    while (!v->terminada) {
        pollfd pfd{v->terminal->fd(), POLLIN, 0};
        const int listo = ::poll(&pfd, 1, 200);
        if (listo < 0 && errno == EINTR) continue;
        if (listo <= 0) continue;
        const ssize_t n = ::read(v->terminal->fd(), bloque, sizeof bloque);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        mirarTrozo(*v, std::string_view(bloque, static_cast<std::size_t>(n)));
    }
}

}  // namespace

std::vector<std::string> detalle::argumentosInicio(IA::Tipo tipo) {
    switch (tipo) {
        case IA::Tipo::claude: return {"auth", "login", "--claudeai"};
        case IA::Tipo::codex: return {"login"};
        case IA::Tipo::gemini: return {};
    }
    return {};
}

bool detalle::rechazaCodigo(std::string_view trozo) {
    const std::string bajo = minusculas(trozo);
    return std::ranges::any_of(std::initializer_list<std::string_view>{"invalid", "error", "failed", "expired",
                                                                        "denied", "incorrect"},
                               [&](std::string_view palabra) { return contiene(bajo, palabra); });
}

bool detalle::pideCodigo(std::string_view trozo) {
    const std::string bajo = minusculas(trozo);
    return contiene(bajo, "paste") || (contiene(bajo, "code") && contiene(bajo, "?"));
}

std::optional<std::string> detalle::enlaceInicio(std::string_view trozo) {
    const auto inicio = trozo.find("https://");
    if (inicio == std::string_view::npos) return std::nullopt;
    std::size_t fin = inicio + 8;
    // White space ends the address; so does a control character (a
    // terminal's colour codes follow links), which no address holds.
    while (fin < trozo.size() && static_cast<unsigned char>(trozo[fin]) > 0x20 && trozo[fin] != 0x7f) ++fin;
    if (fin == inicio + 8) return std::nullopt;
    return std::string(trozo.substr(inicio, fin - inicio));
}

std::string detalle::codigoParaEnviar(std::string_view codigo) {
    const auto primero = codigo.find_first_not_of(" \t\n\r\f\v");
    if (primero == std::string_view::npos) return {};
    codigo = codigo.substr(primero, codigo.find_last_not_of(" \t\n\r\f\v") - primero + 1);
    if (const auto enlace = codigo.find("https://"); enlace != std::string_view::npos) codigo = codigo.substr(0, enlace);
    return std::string(codigo);
}

void Inicio::enviar(std::string_view codigo) {
    const std::string texto = detalle::codigoParaEnviar(codigo) + "\r";
    enviado_->fijar(Reloj::now());
    // A tool that has gone gives EIO; the application ignores SIGPIPE.
    std::size_t hecho = 0;
    while (hecho < texto.size()) {
        const ssize_t n = ::write(terminal_->fd(), texto.data() + hecho, texto.size() - hecho);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        hecho += static_cast<std::size_t>(n);
    }
}

std::shared_ptr<Inicio> detalle::iniciarSesionCon(const IA& ia, std::function<bool()> sonda,
                                                  std::function<void()> pedirCodigo, std::function<void()> codigoMalo,
                                                  std::function<void(bool)> alTerminar) {
    if (!ia.ruta) return nullptr;
    const auto fallar = [alTerminar] {
        if (alTerminar) enPrincipal([alTerminar] { alTerminar(false); });
        return nullptr;
    };
    auto terminal = abrirTerminal();
    if (!terminal) return fallar();
    auto maestro = std::make_shared<Descriptor>(std::move(terminal->maestro));
    auto vigilancia = std::make_shared<Vigilancia>();
    vigilancia->terminal = maestro;
    vigilancia->enviado = std::make_shared<CajaEnviado>();
    vigilancia->pedirCodigo = std::move(pedirCodigo);
    vigilancia->codigoMalo = std::move(codigoMalo);

    Lanzamiento lanzamiento;
    lanzamiento.programa = *ia.ruta;
    lanzamiento.argumentos = argumentosInicio(ia.tipo);
    lanzamiento.entorno = entornoDeInicio();
    lanzamiento.terminarGrupoAlSalir = true;
    // The end: stop watching, ask the tool afresh, report on the main
    // thread. Runs on a worker, after the child has exited.
    auto proceso = Proceso::lanzarEnTerminal(lanzamiento, terminal->esclavo, [vigilancia, sonda, alTerminar](std::int32_t) {
        vigilancia->terminada = true;
        const bool conectada = sonda ? sonda() : false;
        if (alTerminar) enPrincipal([alTerminar, conectada] { alTerminar(conectada); });
    });
    if (!proceso) return fallar();
    {
        std::lock_guard bloqueo(mutexInicios);
        inicios().insert(*proceso);
    }
    std::weak_ptr<Proceso> debil = *proceso;
    programar(limiteInicio, [debil] {
        if (auto p = debil.lock(); p && p->enMarcha()) matar(p);
    });
    // Forgotten once it ends, so the list holds only running logins.
    std::thread([vigilancia, proceso = *proceso] {
        vigilar(vigilancia);
        proceso->esperar(std::numeric_limits<double>::infinity());
        std::lock_guard bloqueo(mutexInicios);
        inicios().erase(proceso);
    }).detach();
    return std::make_shared<Inicio>(maestro, *proceso, vigilancia->enviado);
}

std::shared_ptr<Inicio> iniciarSesion(const IA& ia, std::function<void()> pedirCodigo,
                                      std::function<void()> codigoMalo, std::function<void(bool)> alTerminar) {
    const IA::Tipo tipo = ia.tipo;
    const std::string ruta = ia.ruta.value_or("");
    return detalle::iniciarSesionCon(
        ia, [tipo, ruta] { return conSesion(tipo, ruta); }, std::move(pedirCodigo), std::move(codigoMalo),
        std::move(alTerminar));
}

void terminarInicios() {
    std::set<std::shared_ptr<Proceso>> lista;
    {
        std::lock_guard bloqueo(mutexInicios);
        lista = inicios();
    }
    for (const auto& proceso : lista)
        if (proceso->enMarcha()) matar(proceso);
}

}  // namespace sorvenia::IAsLocales
