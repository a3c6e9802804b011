#include "servidores/identidad_ssh.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <system_error>

#include "plataforma/fichero_privado.h"
#include "ias/publicar_vps_correr.h"
#include "ias/publicar_vps_lanzador.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"

namespace sorvenia::PublicarVPS {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t largoMaximoSocket = 103;
// Separator, a 20-digit id, the hyphen, 8 hex digits and the 17 characters
// ssh appends while it creates the socket.
constexpr std::size_t holguraSocket = 1 + 20 + 1 + 8 + 17;

// Preparations may run at once (two servers' "acceso" messages): the map's
// read, change and write and the configuration's rewrite go one at a time,
// or one VPS would be lost from both.
std::mutex& cerrojoMapa() {
    static std::mutex m;
    return m;
}

bool esCarpetaNuestra(const fs::path& carpeta, uid_t uid) {
    struct stat st {};
    if (::lstat(carpeta.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == uid && (st.st_mode & 07777) == 0700;
}

std::optional<fs::path> tiempoRealDelUsuario() {
    const char* v = std::getenv("XDG_RUNTIME_DIR");
    if (v == nullptr || *v != '/') return std::nullopt;
    std::error_code ec;
    if (!fs::is_directory(v, ec)) return std::nullopt;
    return fs::path(v);
}

std::string comentarioLlave() {
    const char* maquina = g_get_host_name();
    return std::string("sorvenia-tarvel@") + (maquina != nullptr && *maquina != '\0' ? maquina : "ordenador");
}

Fallo falloCarpeta(const fs::path& ruta, const std::error_code& ec) {
    return Fallo{"No se ha podido preparar «" + ruta.string() + "»: " + ec.message() + ".", "fichero"};
}

std::optional<int> numeroEntorno(const char* nombre) {
    const char* v = std::getenv(nombre);
    if (v == nullptr || *v == '\0') return std::nullopt;
    char* fin = nullptr;
    const long n = std::strtol(v, &fin, 10);
    if (*fin != '\0' || n < 1 || n > 65535) return std::nullopt;
    return static_cast<int>(n);
}

}  // namespace

std::string alias(std::int64_t servicio) { return "tarvel-vps-" + std::to_string(servicio); }

fs::path rutaConfiguracion() { return raiz() / "ssh" / "config"; }

AjustesPrueba ajustesPrueba() {
    if (!esCompilacionDePrueba()) return {};
    AjustesPrueba a;
    a.puerto = numeroEntorno("SORVENIA_SSH_PUERTO");
    if (const char* u = std::getenv("SORVENIA_SSH_USUARIO"); u != nullptr && *u != '\0') a.usuario = u;
    return a;
}

namespace detalle {

std::uint32_t fnv1a(std::string_view bytes) {
    std::uint32_t h = 0x811C9DC5U;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x01000193U;
    }
    return h;
}

std::optional<fs::path> elegirCarpetaSockets(const fs::path& raiz, const std::optional<fs::path>& tiempoReal,
                                             const fs::path& temporal, uid_t uid) {
    const fs::path propia = raiz / "s";
    const fs::path segunda = tiempoReal ? *tiempoReal / "tv" : temporal / ("tv-" + std::to_string(uid));
    fs::path elegida = segunda;  // taken when neither fits
    for (const fs::path& c : {propia, segunda}) {
        if (c.string().size() + holguraSocket <= largoMaximoSocket) {
            elegida = c;
            break;
        }
    }
    std::error_code ec;
    fs::create_directories(elegida, ec);
    (void)::chmod(elegida.c_str(), 0700);
    if (!esCarpetaNuestra(elegida, uid)) return std::nullopt;
    return elegida;
}

bool ipValida(std::string_view ip) {
    if (ip.size() < 3 || ip.size() > 45) return false;
    return std::all_of(ip.begin(), ip.end(),
                       [](unsigned char c) { return std::isxdigit(c) != 0 || c == ':' || c == '.'; });
}

std::string textoConfiguracion(const std::map<std::string, std::string>& mapa, const fs::path& raiz,
                               const std::optional<fs::path>& sockets, const AjustesPrueba& ajustes) {
    const fs::path ssh = raiz / "ssh";
    std::string t = "# Lo escribe Sorvenia Code: un alias por VPS del cliente. No lo edites a mano.\n";
    for (const auto& [clave, ip] : mapa) {  // std::map: plain text order, "10" before "9"
        char* fin = nullptr;
        const long long id = std::strtoll(clave.c_str(), &fin, 10);
        const bool entero = !clave.empty() && *fin == '\0';
        t += "Host tarvel-vps-" + std::to_string(entero ? id : 0) + "\n";
        t += "    HostName " + ip + "\n";
        if (ajustes.puerto) t += "    Port " + std::to_string(*ajustes.puerto) + "\n";
        t += "    User " + ajustes.usuario.value_or("root") + "\n";
        t += "    IdentityFile " + (ssh / "id_ed25519").string() + "\n";
        t += "    IdentitiesOnly yes\n";
        t += "    StrictHostKeyChecking accept-new\n";
        t += "    UserKnownHostsFile " + (ssh / "known_hosts").string() + "\n";
        t += "    ConnectTimeout 15\n";
        t += "    ServerAliveInterval 20\n";
        t +=
            "    # La ruta del socket, corta: el sistema no admite más de 104 caracteres y con %C (64) en ~/.sorvenia-tarvel/ssh/\n";
        t +=
            "    # no cabía (ssh le añade un sufijo al crearlo) → el maestro fallaba y la conexión se colgaba. Tampoco en\n";
        t +=
            "    # /tmp (compartido: otro usuario del ordenador podía dejar ahí un socket con ese nombre): carpeta nuestra (0700)\n";
        t += "    # y nombre corto con el id y la IP (si cambia la IP, socket nuevo).\n";
        t += "    ControlMaster auto\n";
        if (sockets) {
            char hash[9];
            std::snprintf(hash, sizeof hash, "%08x", fnv1a(ip));
            t += "    ControlPath " + (*sockets / (clave + "-" + hash)).string() + "\n";
        } else {
            t += "    ControlPath none\n";
        }
        t += "    ControlPersist 120\n";
    }
    return t;
}

}  // namespace detalle

const std::optional<fs::path>& carpetaSockets() {
    static const std::optional<fs::path> carpeta =
        detalle::elegirCarpetaSockets(raiz(), tiempoRealDelUsuario(), fs::temp_directory_path(), ::getuid());
    return carpeta;
}

std::optional<std::string> rutaSocket(std::string_view id, std::string_view ip) {
    const auto& carpeta = carpetaSockets();
    if (!carpeta) return std::nullopt;
    char hash[9];
    std::snprintf(hash, sizeof hash, "%08x", detalle::fnv1a(ip));
    return (*carpeta / (std::string(id) + "-" + hash)).string();
}

Hecho preparar(std::int64_t servicio, std::string ip) {
    const fs::path ssh = raiz() / "ssh";
    std::error_code ec;
    fs::create_directories(ssh, ec);
    if (ec) return falloCarpeta(ssh, ec);
    for (const fs::path& nivel : {raiz(), ssh})
        if (::chmod(nivel.c_str(), 0700) != 0)
            return falloCarpeta(nivel, std::error_code(errno, std::generic_category()));

    const fs::path llave = ssh / "id_ed25519";
    if (!fs::exists(llave, ec)) {
        const auto [ok, salida] =
            correr("/usr/bin/ssh-keygen",
                   {"-t", "ed25519", "-N", "", "-q", "-C", comentarioLlave(), "-f", llave.string()}, {}, std::nullopt);
        if (!ok) return Fallo{"No se ha podido crear la llave SSH: " + salida, "llave"};
    }

    const std::lock_guard bloqueo(cerrojoMapa());
    auto& preferencias = Preferencias::estandar();
    auto mapa = preferencias.mapaTextos("vpsTarvel");
    if (!detalle::ipValida(ip)) return Fallo{"La IP del VPS no es válida.", "ip"};
    mapa[std::to_string(servicio)] = ip;
    preferencias.fijarMapaTextos("vpsTarvel", mapa);
    const std::string texto = detalle::textoConfiguracion(mapa, raiz(), carpetaSockets(), ajustesPrueba());
    // Written 0600 from the start (never readable by others in between).
    if (auto escrito = escribirPrivado(rutaConfiguracion(), texto); !escrito) return escrito.fallo();
    return hecho();
}

Tarea<Hecho> prepararFuera(std::int64_t servicio, std::string ip) {
    co_return co_await enSegundoPlano([servicio, ip = std::move(ip)] { return preparar(servicio, ip); });
}

}  // namespace sorvenia::PublicarVPS
