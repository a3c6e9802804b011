#include "integraciones/conexiones.h"

#include <glib.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <system_error>

#include "comun/texto.h"
#include "cuenta/llavero.h"
#include "plataforma/fichero_privado.h"
#include "integraciones/texto_integraciones.h"
#include "plataforma/carpetas.h"
#include "plataforma/cripto.h"

namespace sorvenia::Conexiones {
namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

std::mutex& mutexUltima() {
    static std::mutex m;
    return m;
}
std::optional<Conexion>& ultima() {
    static std::optional<Conexion> c;
    return c;
}

std::string cuentaSecreto(const std::string& id) { return "conexion:" + id; }

// The whole list, atomically; false when it could not be written.
bool escribir(const std::vector<Conexion>& lista) {
    const auto texto = textoLista(lista);
    return texto && static_cast<bool>(escribirPrivado(fichero(), *texto));
}

// The logo's extensions, in the order they are looked for.
constexpr std::array<std::pair<const char*, const char*>, 3> extensionesLogo = {
    {{"png", "image/png"}, {"ico", "image/x-icon"}, {"svg", "image/svg+xml"}}};

std::optional<std::string> logoDe(const std::string& id) {
    for (const auto& [extension, mime] : extensionesLogo) {
        const fs::path archivo = carpetaLogos() / (id + "." + extension);
        std::error_code ec;
        if (!fs::is_regular_file(archivo, ec)) continue;
        std::ifstream f(archivo, std::ios::binary);
        if (!f) continue;
        const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
        return "data:" + std::string(mime) + ";base64," + base64({p, bytes.size()});
    }
    return std::nullopt;
}

}  // namespace

fs::path fichero() {
    std::error_code ec;
    fs::create_directories(Carpetas::aplicacion(), ec);
    return Carpetas::aplicacion() / "conexiones.json";
}

fs::path carpetaLogos() {
    std::error_code ec;
    const fs::path carpeta = Carpetas::aplicacion() / "conexiones-logos";
    fs::create_directories(carpeta, ec);
    return carpeta;
}

std::vector<Conexion> lista() {
    std::error_code ec;
    if (!fs::is_regular_file(fichero(), ec)) return {};
    std::ifstream f(fichero(), std::ios::binary);
    const std::string texto((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return leerLista(texto);
}

std::optional<std::string> guardar(Conexion c, std::optional<std::string> secreto) {
    if (auto error = validar(c, secreto)) return error;
    auto l = lista();
    bool nueva = true;
    for (auto& existente : l) {
        if ((!c.id.empty() && existente.id == c.id) || existente.nombre == c.nombre) {
            c.id = existente.id;
            existente = c;
            nueva = false;
            break;
        }
    }
    if (nueva) {
        if (c.id.empty()) {
            const auto id = uuid();
            if (!id) return id.fallo().mensaje;
            c.id = *id;
        }
        l.push_back(c);
    }
    bool secretoNuevo = false;
    if (secreto) {
        const std::string limpio = TextoIntegraciones::recortar(*secreto);
        if (!limpio.empty()) {
            if (!Llavero::guardar(limpio, cuentaSecreto(c.id)))
                return "No se ha podido guardar el secreto: el llavero del ordenador (el servicio de secretos) no "
                       "está disponible. No se ha guardado nada.";
            secretoNuevo = true;
        }
    }
    if (!escribir(l)) {
        // A secret stored for a connection that was never written would be
        // an orphan nobody can see or delete.
        if (secretoNuevo && nueva) Llavero::borrar(cuentaSecreto(c.id));
        return "No se ha podido guardar la lista de conexiones.";
    }
    std::lock_guard bloqueo(mutexUltima());
    ultima() = c;
    return std::nullopt;
}

std::optional<Conexion> ultimaGuardada() {
    std::lock_guard bloqueo(mutexUltima());
    return ultima();
}

void activar(const std::string& id, bool activa) {
    auto l = lista();
    for (auto& c : l)
        if (c.id == id) {
            c.activa = activa;
            escribir(l);
            return;
        }
}

void borrar(const std::string& id) {
    auto l = lista();
    std::erase_if(l, [&](const Conexion& c) { return c.id == id; });
    Llavero::borrar(cuentaSecreto(id));
    escribir(l);
    std::error_code ec;
    for (const auto& [extension, mime] : extensionesLogo) fs::remove(carpetaLogos() / (id + "." + extension), ec);
}

Json json() {
    auto arreglo = Json::array();
    for (const auto& c : lista()) {
        std::string orden = c.orden;
        for (const auto& a : c.argumentos) orden += " " + a;
        const auto secreto = Llavero::leer(cuentaSecreto(c.id));
        arreglo.push_back({{"id", c.id},
                           {"nombre", c.nombre},
                           {"tipo", c.tipo},
                           {"url", c.url},
                           {"cabecera", c.cabecera},
                           {"orden", orden},
                           {"variable", c.variable},
                           {"para", c.para},
                           {"activa", c.activa},
                           {"secreto", secreto.has_value() && !secreto->empty()},
                           {"logo", logoDe(c.id).value_or("")}});
    }
    return arreglo;
}

}  // namespace sorvenia::Conexiones
