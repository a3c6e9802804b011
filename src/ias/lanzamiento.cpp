// The spawn itself, and the Spanish sentences for a child that cannot start.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>

#include "ias/descriptor.h"
#include "ias/proceso.h"
#include "plataforma/tarea.h"

extern char** environ;

namespace sorvenia {
namespace {

class Atributos {
public:
    Atributos() { posix_spawnattr_init(&a_); }
    ~Atributos() { posix_spawnattr_destroy(&a_); }
    Atributos(const Atributos&) = delete;
    Atributos& operator=(const Atributos&) = delete;
    posix_spawnattr_t* get() { return &a_; }

private:
    posix_spawnattr_t a_{};
};

class Acciones {
public:
    Acciones() { posix_spawn_file_actions_init(&a_); }
    ~Acciones() { posix_spawn_file_actions_destroy(&a_); }
    Acciones(const Acciones&) = delete;
    Acciones& operator=(const Acciones&) = delete;
    posix_spawn_file_actions_t* get() { return &a_; }

private:
    posix_spawn_file_actions_t a_{};
};

// Its own process group, and none of the application's signal state: the
// application ignores SIGPIPE and an ignored signal would survive exec;
// a worker thread may block signals and the mask would be inherited.
// With a terminal the child starts a new session instead, which also makes
// it the head of a new group (a session leader may not change its group).
int prepararAtributos(Atributos& atributos, bool sesion) {
    sigset_t todas, ninguna;
    sigfillset(&todas);
    sigemptyset(&ninguna);
    const auto grupo = sesion ? POSIX_SPAWN_SETSID : POSIX_SPAWN_SETPGROUP;
    const auto banderas = static_cast<short>(grupo | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    if (int e = posix_spawnattr_setflags(atributos.get(), banderas)) return e;
    if (!sesion)
        if (int e = posix_spawnattr_setpgroup(atributos.get(), 0)) return e;
    if (int e = posix_spawnattr_setsigdefault(atributos.get(), &todas)) return e;
    return posix_spawnattr_setsigmask(atributos.get(), &ninguna);
}

// The three standard descriptors, the working folder, and nothing else
// open: descriptors of other threads' pipes and sockets may lack
// close-on-exec for an instant or for good (a library's), and must never
// reach a child.
int prepararAcciones(Acciones& acciones, const Lanzamiento& l, int nulo, const std::filesystem::path* terminal) {
    if (terminal) {
        // Opened without O_NOCTTY by the new session's leader: it becomes
        // the session's controlling terminal.
        if (int e = posix_spawn_file_actions_addopen(acciones.get(), 0, terminal->c_str(), O_RDWR, 0)) return e;
        for (int i = 1; i < 3; ++i)
            if (int e = posix_spawn_file_actions_adddup2(acciones.get(), 0, i)) return e;
    } else {
        const int propios[3] = {l.entrada, l.salida, l.errores};
        for (int i = 0; i < 3; ++i)
            if (int e = posix_spawn_file_actions_adddup2(acciones.get(), propios[i] >= 0 ? propios[i] : nulo, i))
                return e;
    }
    if (l.carpeta)
        if (int e = posix_spawn_file_actions_addchdir_np(acciones.get(), l.carpeta->c_str())) return e;
    return posix_spawn_file_actions_addclosefrom_np(acciones.get(), 3);
}

std::vector<std::string> variables(const Lanzamiento& l) {
    std::vector<std::string> v;
    if (!l.entorno) {
        for (char** e = environ; *e != nullptr; ++e) v.emplace_back(*e);
        return v;
    }
    for (const auto& [nombre, valor] : *l.entorno) v.push_back(nombre + "=" + valor);
    return v;
}

std::vector<char*> punteros(std::vector<std::string>& textos) {
    std::vector<char*> p;
    p.reserve(textos.size() + 1);
    for (auto& t : textos) p.push_back(t.data());
    p.push_back(nullptr);
    return p;
}

std::string causa(const Lanzamiento& l, int error) {
    if (l.carpeta) {
        std::error_code ec;
        if (!std::filesystem::is_directory(*l.carpeta, ec))
            return ": la carpeta de trabajo «" + l.carpeta->string() + "» no existe.";
        if (access(l.carpeta->c_str(), X_OK) != 0)
            return ": no se puede entrar en la carpeta de trabajo «" + l.carpeta->string() + "».";
    }
    switch (error) {
        case ENOENT: return ": el programa no existe.";
        case EACCES: return ": el programa no se puede ejecutar (faltan permisos).";
        case ENOEXEC: return ": el archivo no es un programa que este sistema sepa ejecutar.";
        case E2BIG: return ": la lista de argumentos es demasiado larga.";
        default: return " (error del sistema " + std::to_string(error) + ").";
    }
}

Fallo falloDeArranque(const Lanzamiento& l, int error) {
    return Fallo{"No se puede arrancar «" + l.programa + "»" + causa(l, error), "arranque"};
}

}  // namespace

Entorno entornoPropio() {
    Entorno entorno;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view v(*e);
        const auto igual = v.find('=');
        if (igual == std::string_view::npos) continue;
        entorno.emplace(std::string(v.substr(0, igual)), std::string(v.substr(igual + 1)));
    }
    return entorno;
}

Resultado<std::shared_ptr<Proceso>> Proceso::lanzar(const Lanzamiento& l, std::function<void(std::int32_t)> alSalir) {
    return lanzarCon(l, nullptr, std::move(alSalir));
}

Resultado<std::shared_ptr<Proceso>> Proceso::lanzarEnTerminal(const Lanzamiento& l, const std::filesystem::path& terminal,
                                                              std::function<void(std::int32_t)> alSalir) {
    return lanzarCon(l, &terminal, std::move(alSalir));
}

Resultado<std::shared_ptr<Proceso>> Proceso::lanzarCon(const Lanzamiento& l, const std::filesystem::path* terminal,
                                                       std::function<void(std::int32_t)> alSalir) {
    Descriptor nulo;
    if (l.entrada < 0 || l.salida < 0 || l.errores < 0) {
        auto abierto = abrirNulo();
        if (!abierto) return abierto.fallo();
        nulo = std::move(*abierto);
    }
    Atributos atributos;
    Acciones acciones;
    if (int e = prepararAtributos(atributos, terminal != nullptr)) return falloDeArranque(l, e);
    if (int e = prepararAcciones(acciones, l, nulo.fd(), terminal)) return falloDeArranque(l, e);

    std::vector<std::string> args{l.programa};
    args.insert(args.end(), l.argumentos.begin(), l.argumentos.end());
    auto argv = punteros(args);
    auto textos = variables(l);
    auto envp = punteros(textos);

    pid_t pid = -1;
    if (int e = posix_spawn(&pid, l.programa.c_str(), acciones.get(), atributos.get(), argv.data(), envp.data()))
        return falloDeArranque(l, e);

    auto proceso = std::make_shared<Proceso>(Llave{}, pid, l.terminarGrupoAlSalir);
    enTrabajador([proceso, alSalir = std::move(alSalir)]() mutable { proceso->vigilar(std::move(alSalir)); });
    return proceso;
}

}  // namespace sorvenia
