// The app panel's deployment of the design's app project to one of the
// customer's VPS servers, one step at a time: the server's state, upload and
// plan, deploy, go back. The work is the project's (packing, upload, the
// deploy script over ssh); this side gets access to the server, checks the
// domain and tells the page each phase.

#include <chrono>
#include <ctime>
#include <memory>

#include "aplicaciones/proyecto_aplicacion.h"
#include "comun/lectura_mensajes.h"
#include "comun/texto.h"
#include "cuenta/cuenta.h"
#include "editor/despliegue_app.h"
#include "editor/gui/editor_abierto.h"
#include "editor/publicacion_vps.h"
#include "servidores/acceso_vps.h"
#include "servidores/identidad_ssh.h"
#include "servidores/vps_propios.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

// The deployment's version: the local date and time, "20260101-120000".
std::string etiquetaVersion() {
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm partes{};
    localtime_r(&t, &partes);
    char texto[32];
    return {texto, std::strftime(texto, sizeof texto, "%Y%m%d-%H%M%S", &partes)};
}

std::string textoDe(const Json& objeto, const char* clave) { return Mensaje::texto(objeto, clave).value_or(""); }

}  // namespace

Tarea<void> EditorAbierto::despliegue(std::string accion, Json m) {
    const auto yo = shared_from_this();
    const auto proyecto = proyecto_;
    const auto servidor = m.find("servidor");
    const auto ip = m.find("ip");
    if (!proyecto || servidor == m.end() || !servidor->is_number_integer() || ip == m.end() || !ip->is_string())
        co_return;
    const std::int64_t servicio = servidor->get<std::int64_t>();
    const auto enviar = [this](Json mensaje) { js("app", std::move(mensaje)); };
    const auto error = [&](const std::string& texto) { enviar({{"despliegue", "error"}, {"texto", texto}}); };

    // The domain goes to a script that runs as root: checked before anything
    // reaches the server, by the steps that pass it on (the state check and
    // going back never use it, so a half-typed domain does not stop them).
    const auto dominio = DespliegueApp::dominio(textoDe(m, "dominio"), ip->get<std::string>());
    if (!dominio && (accion == "plan" || accion == "desplegar")) co_return error(PublicacionVPS::textoDominioNoValido);

    enviar({{"despliegue", "acceso"}});
    const auto password = m.find("password");
    const bool conPassword = password != m.end();
    const auto sinAcceso = [&](const std::string& texto) {
        enviar({{"despliegue", conPassword ? "pidePass" : "error"}, {"texto", texto}});
    };
    if (auto preparado = co_await PublicarVPS::prepararFuera(servicio, ip->get<std::string>()); !preparado)
        co_return sinAcceso(preparado.fallo().mensaje);
    if (!co_await PublicarVPS::tieneAcceso(servicio)) {
        if (!conPassword || !password->is_string() || password->get<std::string>().empty())
            co_return enviar({{"despliegue", "pidePass"}});
        if (auto instalada = co_await PublicarVPS::instalarLlave(servicio, password->get<std::string>()); !instalada)
            co_return sinAcceso(instalada.fallo().mensaje);
    }

    const auto cuenta = cuenta_.lock();
    const std::string correo = cuenta && cuenta->cliente() ? cuenta->cliente()->email : "";
    const std::string nombre = proyecto->carpeta().filename().string();
    // Output lines arrive on the runner's threads; they reach the page on the
    // main thread while the editor lives.
    const std::weak_ptr<EditorAbierto> debil = yo;
    const auto lineas = [debil](const std::string& linea) {
        enPrincipal([debil, linea] {
            if (const auto e = debil.lock()) e->js("app", {{"linea", linea}});
        });
    };

    if (accion == "estadoServidor") {
        const auto [estado, salida] = co_await proyecto->servidorSh(servicio, {"estado", nombre}, nullptr);
        if (salida.find("No such file") != std::string::npos)
            co_return enviar({{"estadoServidor", {{"ok", true}, {"activo", false}, {"version", ""}}}});
        if (const auto r = ProyectoAplicacion::resultado(salida)) co_return enviar({{"estadoServidor", *r}});
        co_return enviar({{"estadoServidor", {{"ok", false}, {"error", ProyectoAplicacion::motivoSSH(salida)}}}});
    }
    if (accion == "plan") {
        enviar({{"despliegue", "subiendo"}});
        auto paquete = co_await enSegundoPlano([proyecto] { return proyecto->paquete(); });
        if (!paquete) co_return error(paquete.fallo().mensaje);
        // The local archive goes when this step ends, whatever the outcome.
        const ProyectoAplicacion::Paquete local = std::move(*paquete);
        const auto remoto = co_await proyecto->subir(servicio, local.archivo);
        if (!remoto) co_return error(remoto.fallo().mensaje);
        enviar({{"despliegue", "planeando"}});
        const auto [estado, salida] =
            co_await proyecto->servidorSh(servicio, {"plan", nombre, *remoto, *dominio, correo}, lineas);
        const auto r = ProyectoAplicacion::resultado(salida).value_or(Json::object());
        std::string texto = textoDe(r, "error");
        if (texto.empty() && estado != 0) texto = ProyectoAplicacion::motivoSSH(salida);
        co_return enviar({{"despliegue", estado == 0 ? "plan" : "error"}, {"dominio", *dominio}, {"texto", texto}});
    }
    if (accion == "desplegar") {
        enviar({{"despliegue", "desplegando"}});
        const std::string version = etiquetaVersion();
        const auto [estado, salida] = co_await proyecto->servidorSh(
            servicio, {"desplegar", nombre, proyecto->archivoRemoto(), *dominio, correo, version}, lineas);
        const auto r = ProyectoAplicacion::resultado(salida).value_or(Json::object());
        if (estado != 0 || r.value("ok", Json()) != Json(true)) {
            std::string texto = textoDe(r, "error");
            co_return error(texto.empty() ? ProyectoAplicacion::motivoSSH(salida) : texto);
        }
        proyecto->recordarDespliegue({{"servidor", servicio},
                                      {"ip", ip->get<std::string>()},
                                      {"dominio", *dominio},
                                      {"url", textoDe(r, "url")},
                                      {"version", version},
                                      {"fecha", fechaISO(std::chrono::system_clock::now())}});
        co_return enviar({{"despliegue", "hecho"}, {"resultado", r}, {"proyecto", proyecto->resumen()}});
    }
    if (accion == "volver") {
        enviar({{"despliegue", "volviendo"}});
        const auto [estado, salida] = co_await proyecto->servidorSh(servicio, {"volver", nombre}, lineas);
        const auto r = ProyectoAplicacion::resultado(salida).value_or(Json::object());
        // A failure always says why: ssh's reason when the script gave none.
        std::string texto = textoDe(r, "error");
        if (texto.empty() && estado != 0) texto = ProyectoAplicacion::motivoSSH(salida);
        co_return enviar({{"despliegue", estado == 0 ? "vuelto" : "error"}, {"resultado", r}, {"texto", texto}});
    }
}

Tarea<void> EditorAbierto::servidoresApp() {
    const std::weak_ptr<EditorAbierto> debil = shared_from_this();
    Json servidores = Json::array();
    std::string texto;
    if (const auto cuenta = cuenta_.lock()) {
        try {
            for (const auto& v : co_await cuenta->listarVPS())
                servidores.push_back({{"id", v.id}, {"nombre", v.nombre}, {"ip", v.ip}, {"so", v.so}});
        } catch (const std::exception& e) {
            texto = e.what();
        }
    }
    const auto yo = debil.lock();
    if (!yo || cerrado_) co_return;
    for (const auto& e : PropiosVPS::vpsPropios())
        if (e.contains("id") && e["id"].is_number_integer() && e.contains("ip") && e["ip"].is_string())
            servidores.push_back(
                {{"id", e["id"]}, {"nombre", textoDe(e, "nombre")}, {"ip", e["ip"]}, {"so", textoDe(e, "so")}});
    Json respuesta = {{"servidores", std::move(servidores)}};
    if (!texto.empty()) respuesta["texto"] = texto;
    js("app", std::move(respuesta));
}

void EditorAbierto::anadirVPSApp(const Json& m) {
    const std::string nombre = textoDe(m, "nombre");
    std::string ip = textoDe(m, "ip");
    const auto blanco = [](char c) { return c == ' ' || c == '\t'; };
    while (!ip.empty() && blanco(ip.back())) ip.pop_back();
    while (!ip.empty() && blanco(ip.front())) ip.erase(0, 1);
    const auto anadido = PropiosVPS::anadirVPS(nombre, ip);
    if (!anadido) return js("app", {{"texto", anadido.fallo().mensaje}});
    js("app", {{"anadido", *anadido}});
}

}  // namespace sorvenia
