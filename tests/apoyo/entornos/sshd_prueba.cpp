#include "sshd_prueba.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "puertos_prueba.h"

extern char** environ;

namespace sorvenia::prueba {
namespace {

namespace fs = std::filesystem;

constexpr const char* sshd = "/usr/sbin/sshd";

void escribir(const fs::path& fichero, const std::string& texto, fs::perms permisos = fs::perms(0644)) {
    std::ofstream(fichero, std::ios::binary) << texto;
    fs::permissions(fichero, permisos);
}

pid_t lanzar(const std::vector<std::string>& args, const std::vector<std::string>& extra, const fs::path& registro) {
    std::vector<std::string> entorno;
    for (char** e = environ; *e != nullptr; ++e) entorno.emplace_back(*e);
    entorno.insert(entorno.end(), extra.begin(), extra.end());
    std::vector<char*> argv, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : entorno) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_addopen(&acciones, 1, registro.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&acciones, 1, 2);
    posix_spawn_file_actions_addclosefrom_np(&acciones, 3);
    pid_t pid = -1;
    const int e = posix_spawn(&pid, argv[0], &acciones, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&acciones);
    return e == 0 ? pid : -1;
}

std::map<pid_t, pid_t> padres() {
    std::map<pid_t, pid_t> r;
    for (const auto& d : fs::directory_iterator("/proc")) {
        const std::string nombre = d.path().filename();
        if (nombre.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream estado(d.path() / "status");
        std::string linea;
        while (std::getline(estado, linea))
            if (linea.rfind("PPid:", 0) == 0) r[std::stoi(nombre)] = std::stoi(linea.substr(5));
    }
    return r;
}

}  // namespace

std::unique_ptr<SshdPrueba> SshdPrueba::arrancar(const std::string& clave, std::string& motivo,
                                                 const std::optional<RaizServidor>& raizServidor) {
    if (::access(sshd, X_OK) != 0) {
        motivo = "no está instalado openssh-server (scripts/dependencias.sh)";
        return nullptr;
    }
    if (raizServidor && ::getuid() != 0) {
        motivo = "una raíz de servidor propia necesita root (un espacio de montajes propio)";
        return nullptr;
    }
    // The session script's PATH line and the server's mounts for a stand-in VPS.
    std::string rutaProgramas;
    std::string montajes;
    if (raizServidor) {
        for (const char* c : {"root", "srv", "etc", ".etc-trabajo"}) fs::create_directories(raizServidor->raiz / c);
        rutaProgramas = "export PATH='" + raizServidor->programas.string() + "':\"$PATH\"\n";
        for (const char* c : {"root", "srv"})
            montajes += " && mount --bind '" + (raizServidor->raiz / c).string() + "' /" + c;
        // /etc stays the machine's to read; what the sessions write there
        // (web server and service files) lands in `raiz`/etc.
        montajes += " && mount -t overlay overlay -o 'lowerdir=/etc,upperdir=" + (raizServidor->raiz / "etc").string() +
                    ",workdir=" + (raizServidor->raiz / ".etc-trabajo").string() + "' /etc";
    }
    std::unique_ptr<SshdPrueba> s(new SshdPrueba());
    std::string plantilla = (fs::temp_directory_path() / "sshd-prueba-XXXXXX").string();
    s->carpeta_ = ::mkdtemp(plantilla.data());
    ::chmod(s->carpeta_.c_str(), 0755);
    fs::create_directories(s->casa() / ".ssh");
    s->usuario_ = ::getpwuid(::getuid())->pw_name;
    s->puerto_ = puertoLibre();
    const fs::path c = s->carpeta_;

    std::system(("/usr/bin/ssh-keygen -q -t ed25519 -N '' -f " + (c / "llave_anfitrion").string()).c_str());
    escribir(c / "sesion.sh",
             "#!/bin/sh\n"
             "export HOME='" +
                 s->casa().string() +
                 "'\n" + rutaProgramas +
                 "cd \"$HOME\"\n"
                 "if [ -n \"$SSH_ORIGINAL_COMMAND\" ]; then exec /bin/bash -c \"$SSH_ORIGINAL_COMMAND\"; fi\n"
                 "exec /bin/bash -il\n",
             fs::perms(0755));
    escribir(c / "sshd_config",
             "ListenAddress 127.0.0.1\n"
             "Port " +
                 std::to_string(s->puerto_) +
                 "\n"
                 "HostKey " +
                 (c / "llave_anfitrion").string() +
                 "\n"
                 "PidFile " +
                 (c / "sshd.pid").string() +
                 "\n"
                 "AuthorizedKeysFile " +
                 s->autorizadas().string() +
                 "\n"
                 "PermitRootLogin yes\nPasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                 "UsePAM no\nStrictModes no\nMaxStartups 100\nMaxSessions 100\n"
                 "ForceCommand " +
                 (c / "sesion.sh").string() +
                 "\n"
                 "LogLevel VERBOSE\n");

    std::vector<std::string> orden{sshd, "-D", "-e", "-f", (c / "sshd_config").string()};
    if (::getuid() == 0) {
        // Root's sshd wants /run/sshd: a private /run in a namespace of its own.
        orden = {"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                 "mount -t tmpfs none /run && mkdir -m 755 /run/sshd" + montajes + " && exec " + std::string(sshd) +
                     " -D -e -f " +
                     (c / "sshd_config").string()};
    }
    s->pid_ = lanzar(orden, {"SORVENIA_SSHD_CLAVE=" + clave, std::string("LD_PRELOAD=") + SOMBRA_SSHD}, c / "sshd.log");
    if (!esperarEscucha(static_cast<std::uint16_t>(s->puerto_))) {
        motivo = "sshd no escucha: " + s->registro();
        return nullptr;
    }
    return s;
}

std::vector<pid_t> SshdPrueba::sesiones() const {
    const auto p = padres();
    std::vector<pid_t> r;
    std::vector<pid_t> pendientes{pid_};
    while (!pendientes.empty()) {
        const pid_t actual = pendientes.back();
        pendientes.pop_back();
        for (const auto& [hijo, padre] : p)
            if (padre == actual) {
                r.push_back(hijo);
                pendientes.push_back(hijo);
            }
    }
    return r;
}

SshdPrueba::~SshdPrueba() {
    if (pid_ > 0) {
        const auto hijos = sesiones();
        ::kill(pid_, SIGTERM);
        for (const pid_t h : hijos) ::kill(h, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(carpeta_, ec);
}

std::string SshdPrueba::registro() const {
    std::ifstream e(carpeta_ / "sshd.log");
    std::stringstream s;
    s << e.rdbuf();
    return s.str();
}

void SshdPrueba::apuntarAplicacion() const {
    ::setenv("SORVENIA_SSH_PUERTO", std::to_string(puerto_).c_str(), 1);
    ::setenv("SORVENIA_SSH_USUARIO", usuario_.c_str(), 1);
}

}  // namespace sorvenia::prueba
