// Packing an app project and deploying it to one of the customer's VPS
// servers: the archive made with GNU tar, the upload of the deploy script,
// the archive and the project's ".env" over ssh, and the deploy script's run
// with its lines streamed.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "aplicaciones/lecturas_despliegue.h"
#include "aplicaciones/proyecto_aplicacion.h"
#include "comun/shell.h"
#include "ias/publicar_vps_correr.h"
#include "ias/publicar_vps_lanzador.h"
#include "plataforma/cripto.h"
#include "plataforma/preferencias.h"
#include "plataforma/recursos.h"

namespace sorvenia {

namespace fs = std::filesystem;

namespace {

constexpr const char* tar = "/usr/bin/tar";
constexpr const char* ssh = "/usr/bin/ssh";
constexpr const char* subida = "/root/tarvel-subida/";

std::string alias(std::int64_t servicio) { return "tarvel-vps-" + std::to_string(servicio); }

// ssh to the server with the application's configuration, never asking.
std::vector<std::string> argumentosSsh(std::int64_t servicio, std::string orden) {
    return {"-F", (PublicarVPS::raiz() / "ssh" / "config").string(), "-o", "BatchMode=yes", alias(servicio),
            std::move(orden)};
}

std::optional<std::string> leerBytes(const fs::path& archivo) {
    std::ifstream e(archivo, std::ios::binary);
    if (!e) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>()};
    if (e.bad()) return std::nullopt;
    return bytes;
}

}  // namespace

const std::vector<std::string>& ProyectoAplicacion::exclusiones() {
    // Top-level names only ("./" anchors them to the project folder); the
    // backup pattern drops copies such as "index.html.antes-2" anywhere.
    static const std::vector<std::string> lista{"./datos",      "./.env",     "./.env.*",
                                                "./node_modules", "./.git",     "./.claude",
                                                "./.sorvenia-code.json", "./diseno", "*.antes-*"};
    return lista;
}

Resultado<ProyectoAplicacion::Paquete> ProyectoAplicacion::paquete() const {
    auto carpeta = CarpetaTemporal::crear("sorvenia-code-paquete-");
    if (!carpeta.ok()) return Fallo{"No se ha podido empaquetar el proyecto: " + carpeta.fallo().mensaje, "paquete"};
    auto id = uuid();
    if (!id.ok()) return Fallo{"No se ha podido empaquetar el proyecto: " + id.fallo().mensaje, "paquete"};
    const fs::path archivo =
        carpeta->ruta() / ("sorvenia-code-" + carpeta_.filename().string() + "-" + id->substr(0, 8) + ".tgz");
    // GNU tar: no extended attributes; symbolic links stay links (no -h), so
    // nothing outside the folder is read through one.
    std::vector<std::string> args{"--no-xattrs", "-czf", archivo.string()};
    for (const auto& patron : exclusiones()) {
        args.emplace_back("--exclude");
        args.push_back(patron);
    }
    args.insert(args.end(), {"-C", carpeta_.string(), "."});
    const auto [ok, salida] = PublicarVPS::correr(tar, args, {}, std::nullopt);
    if (!ok)
        return Fallo{"No se ha podido empaquetar el proyecto: " + LecturasDespliegue::ultimosCaracteres(salida, 200),
                     "paquete"};
    return Paquete{std::move(*carpeta), archivo};
}

std::optional<fs::path> ProyectoAplicacion::guion() { return Recursos::ruta("apps/servidor.sh"); }

std::string ProyectoAplicacion::archivoRemoto() const {
    return std::string(subida) + carpeta_.filename().string() + ".tgz";
}

Tarea<Resultado<std::string>> ProyectoAplicacion::subir(std::int64_t servicio, fs::path archivo) const {
    const auto ruta = guion();
    auto script = ruta ? leerBytes(*ruta) : std::nullopt;
    auto bytes = leerBytes(archivo);
    if (!script || !bytes) co_return Fallo{"Falta el paquete.", "paquete"};
    const std::string remoto = archivoRemoto();

    std::vector<std::pair<std::string, std::string>> envios;
    envios.emplace_back("mkdir -p /root/tarvel-subida && chmod 700 /root/tarvel-subida && cat > "
                        "/root/tarvel-subida/servidor.sh && chmod 700 /root/tarvel-subida/servidor.sh",
                        std::move(*script));
    if (const auto copia = Recursos::ruta("apps/copia-datos.mjs"))
        if (auto texto = leerBytes(*copia)) envios.emplace_back("cat > /root/tarvel-subida/copia-datos.mjs", std::move(*texto));
    envios.emplace_back("cat > " + comillasShell(remoto), std::move(*bytes));
    // The script installs whatever .env it finds: one left by an earlier
    // upload goes when the project no longer has one.
    const std::string envRemoto = comillasShell(std::string(subida) + carpeta_.filename().string() + ".env");
    if (auto env = leerBytes(carpeta_ / ".env"); env && !env->empty())
        envios.emplace_back("umask 077 && cat > " + envRemoto, std::move(*env));
    else envios.emplace_back("rm -f " + envRemoto, "");

    for (auto& [orden, entrada] : envios) {
        const auto [ok, salida] = co_await enSegundoPlano([servicio, orden = std::move(orden), entrada = std::move(entrada)] {
            return PublicarVPS::correr(ssh, argumentosSsh(servicio, orden), {}, entrada);
        });
        if (!ok) co_return Fallo{motivoSSH(salida), "subida"};
    }
    co_return remoto;
}

Tarea<std::pair<std::int32_t, std::string>> ProyectoAplicacion::servidorSh(
    std::int64_t servicio, std::vector<std::string> argumentos, std::function<void(const std::string&)> linea) const {
    std::string orden = "bash /root/tarvel-subida/servidor.sh";
    for (const auto& a : argumentos) orden += " " + comillasShell(a);
    co_return co_await enVivo(ssh, argumentosSsh(servicio, std::move(orden)), std::nullopt, std::nullopt,
                              std::move(linea));
}

std::optional<nlohmann::json> ProyectoAplicacion::resultado(std::string_view salida) {
    return LecturasDespliegue::resultado(salida);
}

std::string ProyectoAplicacion::motivoSSH(std::string_view salida) { return LecturasDespliegue::motivoSSH(salida); }

void ProyectoAplicacion::recordarDespliegue(const nlohmann::json& registro) const {
    auto& preferencias = Preferencias::estandar();
    auto mapa = preferencias.valor("appDesplegada").value_or(nlohmann::json::object());
    const bool deMapas = mapa.is_object() && std::all_of(mapa.begin(), mapa.end(), [](const nlohmann::json& v) {
                             return v.is_object();
                         });
    if (!deMapas) mapa = nlohmann::json::object();
    mapa[carpeta_.string()] = registro;
    preferencias.fijarValor("appDesplegada", mapa);
}

}  // namespace sorvenia
