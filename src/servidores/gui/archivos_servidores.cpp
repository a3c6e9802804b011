// The remote file browser: list, view, download, upload, create, rename and
// delete, each one non-interactive command or copy over the server's alias.
// Paths reach the server as single shell words; deletions of the system's
// folders are refused however the path is written; a download never
// replaces a file already in Descargas.

#include <glib.h>

#include <filesystem>

#include "ias/publicar_vps_correr.h"
#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/identidad.h"
#include "servidores/acceso_vps.h"
#include "servidores/archivos_remotos.h"
#include "servidores/gui/elegir_archivos.h"
#include "comun/lectura_mensajes.h"
#include "servidores/gui/servidores_modelo.h"
#include "servidores/identidad_ssh.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
namespace A = ArchivosRemotos;
using Json = nlohmann::json;

constexpr std::size_t colaError = 120;

fs::path carpetaDescargas() {
    const char* xdg = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
    if (xdg != nullptr && *xdg != '\0' && fs::path(xdg) != fs::path(g_get_home_dir())) return xdg;
    return fs::path(g_get_home_dir()) / "Downloads";
}

Tarea<PublicarVPS::ParSalida> copiar(std::vector<std::string> fuentes, std::string destino) {
    co_return co_await enSegundoPlano([fuentes = std::move(fuentes), destino = std::move(destino)] {
        return PublicarVPS::correr("/usr/bin/scp", A::argumentosScp(PublicarVPS::rutaConfiguracion(), fuentes, destino),
                                   {}, std::nullopt);
    });
}

}  // namespace

void ServidoresModelo::pedirArchivos(const Json& m) {
    lanzar(listar(Mensaje::entero(m, "servidor"), Mensaje::texto(m, "ruta").value_or("/root")));
}

void ServidoresModelo::pedirVer(const Json& m) {
    lanzar(ver(Mensaje::entero(m, "servidor"), Mensaje::texto(m, "ruta").value_or("")));
}

void ServidoresModelo::pedirDescarga(const Json& m) {
    lanzar(descargar(Mensaje::entero(m, "servidor"), Mensaje::texto(m, "ruta").value_or("")));
}

void ServidoresModelo::pedirSubida(const Json& m) {
    lanzar(subir(Mensaje::entero(m, "servidor"), Mensaje::texto(m, "ruta").value_or("")));
}

void ServidoresModelo::operacion(const Json& m) {
    lanzar(operar(Mensaje::texto(m, "tipo").value_or(""), Mensaje::entero(m, "servidor"), m));
}

Tarea<void> ServidoresModelo::listar(std::int64_t servidor, std::string ruta) {
    const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
    usar(servidor);
    const auto [ok, salida] = co_await PublicarVPS::remoto(servidor, A::ordenListar(ruta));
    const auto m = yo.lock();
    if (!m) co_return;
    if (!ok) {
        m->js("archivos", {{"servidor", servidor}, {"error", "No se ha podido leer la carpeta."}});
        co_return;
    }
    auto listado = A::leerListado(salida);
    listado["servidor"] = servidor;
    m->js("archivos", listado);
}

Tarea<void> ServidoresModelo::ver(std::int64_t servidor, std::string ruta) {
    const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
    usar(servidor);
    const auto tipo = co_await PublicarVPS::remoto(servidor, A::ordenTipo(ruta));
    if (const auto binario = A::verBinario(ruta, tipo.second)) {
        if (const auto m = yo.lock()) m->js("verArchivo", *binario);
        co_return;
    }
    auto [ok, texto] = co_await PublicarVPS::remoto(servidor, A::ordenLeer(ruta));
    if (const auto m = yo.lock()) m->js("verArchivo", A::leerTexto(ruta, tipo.second, ok, std::move(texto)));
}

Tarea<void> ServidoresModelo::descargar(std::int64_t servidor, std::string ruta) {
    const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
    usar(servidor);
    const fs::path carpeta = carpetaDescargas();
    std::error_code ec;
    fs::create_directories(carpeta, ec);
    // A free name is chosen now and given to scp whole, so nothing already
    // in the folder is replaced or merged into.
    const fs::path destino = A::destinoLibre(carpeta, A::nombreDe(ruta));
    const auto [ok, salida] = co_await copiar({A::remota(PublicarVPS::alias(servidor), ruta)}, destino.string());
    const auto m = yo.lock();
    if (!m) co_return;
    if (!ok) {
        m->js("aviso", {{"texto", "No se ha podido descargar: " + PublicarVPS::detalle::cola(salida, colaError)}});
        co_return;
    }
    mostrarEnCarpeta(destino);
    m->js("aviso", {{"texto", "Descargado en Descargas: " + destino.filename().string()}});
}

Tarea<void> ServidoresModelo::subir(std::int64_t servidor, std::string ruta) {
    const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
    GtkWidget* padre = web_ != nullptr ? web_->widget() : nullptr;
    const auto elegidos = co_await elegirArchivos(padre, "Elige lo que quieres subir a " + ruta);
    if (elegidos.empty()) co_return;
    if (const auto m = yo.lock()) {
        m->js("aviso", {{"texto", A::avisoSubiendo(elegidos.size())}});
        m->usar(servidor);
    }
    const auto [ok, salida] = co_await copiar(elegidos, A::remota(PublicarVPS::alias(servidor), ruta) + "/");
    const auto m = yo.lock();
    if (!m) co_return;
    m->js("aviso", {{"texto", ok ? "Subido a " + ruta
                                 : "No se ha podido subir: " + PublicarVPS::detalle::cola(salida, colaError)}});
    co_await m->listar(servidor, ruta);
}

Tarea<void> ServidoresModelo::operar(std::string tipo, std::int64_t servidor, Json datos) {
    const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
    // Judged and used in its canonical spelling: "/etc/", "//etc" and
    // "/usr/../etc" are all /etc.
    const auto ruta = A::normalizar(Mensaje::texto(datos, "ruta").value_or(""));
    if (!ruta || *ruta == "/") co_return;
    std::string orden;
    if (tipo == "carpeta") {
        orden = A::ordenCarpeta(*ruta);
    } else if (tipo == "renombrar") {
        const auto destino = Mensaje::texto(datos, "destino").value_or("");
        orden = A::ordenRenombrar(*ruta, A::normalizar(destino).value_or(destino));
    } else {
        if (A::protegida(*ruta)) {
            js("aviso", {{"texto", "Esa carpeta es del sistema: no se borra desde aquí."}});
            co_return;
        }
        orden = A::ordenBorrar(*ruta);
    }
    usar(servidor);
    const auto [ok, salida] = co_await PublicarVPS::remoto(servidor, orden);
    const auto m = yo.lock();
    if (!m) co_return;
    m->js("aviso",
          {{"texto", ok ? A::avisoHecho(tipo) : "No se ha podido: " + PublicarVPS::detalle::cola(salida, colaError)}});
    co_await m->listar(servidor, Mensaje::texto(datos, "carpetaActual").value_or(A::padreDe(*ruta)));
}

}  // namespace sorvenia
