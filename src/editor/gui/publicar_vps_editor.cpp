// The editor page's "publicarVPS": the design as a static website on one of
// the customer's VPS servers. The application prepares ssh access with its
// own key, uploads the pages to the server's upload folder and hands the
// rest (moving them into place, the web server, the certificate) to the
// user's claude working on that server through the launcher. The page hears
// every phase through "vps".

#include <chrono>
#include <ctime>
#include <cstdlib>
#include <set>
#include <algorithm>

#include "comun/texto.h"
#include "cuenta/cuenta.h"
#include "editor/escenas.h"
#include "editor/gui/editor_abierto.h"
#include "editor/publicacion_vps.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"
#include "servidores/acceso_vps.h"
#include "servidores/identidad_ssh.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;
namespace P = PublicacionVPS;

bool claudeConectado(const std::vector<IA>& ias) {
    return std::ranges::any_of(ias, [](const IA& ia) { return ia.tipo == IA::Tipo::claude && ia.sesion && ia.ruta; });
}

// The test build alone may check the site on another port of the address
// ("SORVENIA_VPS_PUERTO_WEB"): its stand-in server cannot take port 80.
std::optional<int> puertoDePrueba() {
    if (!esCompilacionDePrueba()) return std::nullopt;
    const char* v = std::getenv("SORVENIA_VPS_PUERTO_WEB");
    if (v == nullptr || *v == '\0') return std::nullopt;
    char* fin = nullptr;
    const long n = std::strtol(v, &fin, 10);
    if (*fin != '\0' || n < 1 || n > 65535) return std::nullopt;
    return static_cast<int>(n);
}

// The site's files with every scene as its poster: scene videos are not
// carried to a VPS.
std::vector<std::pair<std::string, std::string>> archivosEstaticos(const Json& paginas, const std::string& nombre) {
    auto archivos = EditorModelo::archivosWeb(paginas, nombre);
    for (auto& [archivo, html] : archivos) html = Escenas::conPoster(html, Escenas::usadas(html));
    return archivos;
}

// The servers a publication is under way on (main thread only): each has
// one upload folder, which a second upload would empty under the agent.
std::set<std::int64_t>& enCurso() {
    static std::set<std::int64_t> servicios;
    return servicios;
}

struct Reserva {
    explicit Reserva(std::int64_t s) : servicio(s) {}
    std::int64_t servicio;
    Reserva(const Reserva&) = delete;
    Reserva& operator=(const Reserva&) = delete;
    ~Reserva() { enCurso().erase(servicio); }
};

}  // namespace

Tarea<void> PublicacionEditor::publicarVPS(Json m) {
    const auto yo = editor_.shared_from_this();
    auto pedido = P::leerPedido(m);
    if (!pedido) co_return;
    const auto responder = [this](Json estado) { editor_.js("vps", std::move(estado)); };
    const auto error = [&](const std::string& texto) { responder({{"estado", "error"}, {"texto", texto}}); };

    const std::string dominio = P::limpiarDominio(pedido->dominio);
    if (!dominio.empty() && !P::dominioValido(dominio)) co_return error(P::textoDominioNoValido);
    if (!claudeConectado(editor_.ias_)) co_return error(P::textoSinClaude);
    const auto servicio = pedido->servicio;
    if (enCurso().contains(servicio)) co_return error(P::textoEnCurso);
    enCurso().insert(servicio);
    const Reserva reserva(servicio);
    responder({{"estado", "acceso"}});

    if (auto preparado = co_await PublicarVPS::prepararFuera(servicio, pedido->ip); !preparado)
        co_return error(P::prefijoNoPreparada + preparado.fallo().mensaje);
    if (!co_await PublicarVPS::tieneAcceso(servicio)) {
        if (!pedido->password) co_return responder({{"estado", "pidePass"}});
        if (auto instalada = co_await PublicarVPS::instalarLlave(servicio, *pedido->password); !instalada)
            co_return error(P::prefijoNoPreparada + instalada.fallo().mensaje);
    }

    co_await editor_.autoguardado_.guardarAntesDePublicar();
    auto archivos = archivosEstaticos(pedido->paginas, editor_.nombre_);
    const std::size_t paginas = archivos.size();
    auto carpeta = co_await enSegundoPlano([doc = editor_.id_.value_or(""), archivos = std::move(archivos)] {
        return PublicarVPS::dejarArchivos(doc, archivos);
    });
    if (!carpeta) co_return error(P::prefijoNoPreparada + carpeta.fallo().mensaje);
    if (auto subida = co_await PublicarVPS::subir(servicio, *carpeta); !subida)
        co_return error(P::prefijoNoPreparada + subida.fallo().mensaje);

    responder({{"estado", "trabajando"},
               {"texto", "Web subida a tu VPS. Claude la está poniendo en marcha: sigue sus pasos en el chat."}});
    const auto cuenta = editor_.cuenta_.lock();
    const std::string correo = cuenta && cuenta->cliente() ? cuenta->cliente()->email : "";
    const std::string alias = PublicarVPS::alias(servicio);
    const Json peticion = {
        {"ia", "claude"},
        {"chat", P::textoChat(pedido->ip, dominio)},
        {"peticion", P::encargo(PublicarVPS::rutaConfiguracion().string(), alias, pedido->ip, paginas, dominio,
                                correo)},
        {"grande", true}};
    const auto codigo = co_await editor_.agente(peticion, Agente::DestinoVPS{alias, *carpeta});

    // Done only when the run started, ended well and the site answers.
    const std::string url = P::direccion(pedido->ip, dominio, puertoDePrueba());
    if (codigo != std::optional<std::int32_t>(0) || !co_await EditorModelo::responde(url))
        co_return error(P::textoNoPublicada);
    if (editor_.id_) {
        auto& preferencias = Preferencias::estandar();
        Json publicados = preferencias.valor("vpsPublicado").value_or(Json::object());
        if (!publicados.is_object()) publicados = Json::object();
        publicados[*editor_.id_] = P::registro(servicio, dominio, fechaISO(std::chrono::system_clock::now()));
        preferencias.fijarValor("vpsPublicado", publicados);
    }
    responder({{"estado", "hecho"}, {"url", url}});
}

}  // namespace sorvenia
