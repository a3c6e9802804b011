#include "editor/gui/pagina_render.h"

#include <algorithm>
#include <cstdint>

#include "editor/escenas.h"
#include "editor/gui/esquema_escena.h"
#include "medios/gui/esquema_fuente.h"
#include "plataforma/gui/anfitrion_oculto.h"
#include "plataforma/gui/javascript_web.h"
#include "plataforma/gui/relevo_mensajes.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace {

// How long the page may take to have its fonts and images: after that the
// picture is taken with whatever has arrived.
constexpr double esperaRecursos = 4;

std::string reemplazarTodo(std::string texto, std::string_view de, std::string_view a) {
    for (std::size_t p = texto.find(de); p != std::string::npos; p = texto.find(de, p + a.size()))
        texto.replace(p, de.size(), a);
    return texto;
}

std::string uriCarpetaEditor() {
    const auto carpeta = Recursos::ruta("editor");
    if (!carpeta) return "";
    const TextoG uri(g_filename_to_uri(carpeta->c_str(), nullptr, nullptr));
    return uri ? std::string(uri.get()) + "/" : "";
}

// The scene URLs of one load. A web process keeps what a custom scheme
// served under a URL for as long as it lives, so a page that loads again
// after a scene file was replaced would show the old one: each load names
// the scenes under a host of its own (the handler reads only the file name).
std::string escenasDeCarga() {
    static std::uint64_t cargas = 0;
    return "\"escena://c" + std::to_string(++cargas) + "/";
}

struct EstadoCarga {
    bool terminada = false;
    std::function<void(bool)> listo;
};

Tarea<bool> oirFin(std::shared_ptr<EstadoCarga> estado) {
    co_return co_await conRetrollamada<bool>([estado](std::function<void(bool)> listo) {
        if (estado->terminada) listo(true);
        else estado->listo = std::move(listo);
    });
}

// The end of a load, heard from the view's "load-changed" signal. Made
// before the load is asked for, so that a quick one is not missed; a load
// that fails also ends with "finished".
class FinDeCarga {
public:
    explicit FinDeCarga(WebKitWebView* vista)
        : vista_(Ref<WebKitWebView>::compartir(vista)),
          estado_(std::make_shared<EstadoCarga>()),
          senal_(conectarSenal(vista, "load-changed", &FinDeCarga::alCambiar, estado_.get())) {}
    ~FinDeCarga() {
        g_signal_handler_disconnect(vista_.get(), senal_);
        // A wait given up on still holds its callback: let it end.
        if (auto listo = std::exchange(estado_->listo, {})) listo(false);
    }
    FinDeCarga(const FinDeCarga&) = delete;
    FinDeCarga& operator=(const FinDeCarga&) = delete;

    // True when the load ended within `limite` seconds.
    Tarea<bool> esperar(double limite) const {
        if (estado_->terminada) co_return true;
        const auto terminada = co_await conTiempoLimite(oirFin(estado_), limite);
        co_return terminada.value_or(false);
    }

private:
    static void alCambiar(WebKitWebView*, WebKitLoadEvent evento, gpointer datos) {
        if (evento != WEBKIT_LOAD_FINISHED) return;
        auto* estado = static_cast<EstadoCarga*>(datos);
        estado->terminada = true;
        if (auto listo = std::exchange(estado->listo, {})) listo(true);
    }

    Ref<WebKitWebView> vista_;
    std::shared_ptr<EstadoCarga> estado_;
    gulong senal_;
};

// Awaited in the page, from our own script world (the page's scripts cannot
// stand in for what it reads): the fonts loaded, every image loaded or
// failed, and the viewport at the size asked for (a new size reaches the web
// process on its own time). True when all of it came within `espera`
// milliseconds, false when the time ran out first.
constexpr const char* guionListo = R"(
const cargada = (i) => i.complete || new Promise((r) => {
  i.addEventListener("load", r, {once: true});
  i.addEventListener("error", r, {once: true});
});
const medida = () => innerWidth === ancho && innerHeight === alto;
const dispuesta = medida() || new Promise((r) => {
  const oir = () => { if (medida()) { removeEventListener("resize", oir); r(); } };
  addEventListener("resize", oir);
});
const todo = Promise.all([document.fonts.ready, dispuesta, ...[...document.images].map(cargada)]);
const tarde = new Promise((r) => setTimeout(r, espera));
return await Promise.race([todo.then(() => true), tarde.then(() => false)]);
)";

// False when the page gave no answer in time: a page whose script never
// lets go shows nothing worth a picture, only whatever was painted before
// it got stuck. The snapshot paints the document itself, so once this
// answers there is no frame to wait for.
Tarea<bool> esperarListo(WebKitWebView* vista, int ancho, int alto, double limite) {
    const double espera = std::min(esperaRecursos, limite / 2);
    auto pregunta = llamarFuncion(Ref<WebKitWebView>::compartir(vista), mundoSorvenia, guionListo,
                                  {{"ancho", ancho}, {"alto", alto}, {"espera", espera * 1000}});
    const auto respuesta = co_await conTiempoLimite(std::move(pregunta), limite);
    co_return respuesta.has_value();
}

using Textura = Resultado<Ref<GdkTexture>>;

void alCapturar(GObject* origen, GAsyncResult* resultado, gpointer datos) {
    const std::unique_ptr<std::function<void(Textura)>> listo(static_cast<std::function<void(Textura)>*>(datos));
    GError* crudo = nullptr;
    auto textura = Ref<GdkTexture>::adoptar(
        webkit_web_view_get_snapshot_finish(comoG<WebKitWebView>(origen), resultado, &crudo));
    const ErrorG error(crudo);
    if (!textura) (*listo)(Fallo{"No se ha podido capturar la página.", "captura"});
    else (*listo)(std::move(textura));
}

Tarea<Textura> capturarVisible(Ref<WebKitWebView> vista) {
    auto iniciar = [vista](std::function<void(Textura)> listo) {
        webkit_web_view_get_snapshot(vista.get(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE,
                                     nullptr, alCapturar, new std::function<void(Textura)>(std::move(listo)));
    };
    co_return co_await conRetrollamada<Textura>(std::move(iniciar));
}

}  // namespace

PaginaRender::PaginaRender(const std::optional<std::string>& doc, int ancho, int alto)
    : web_(std::make_shared<WebVista>("renderizador")),
      anfitrion_(std::make_unique<AnfitrionOculto>()),
      carpetaEscenas_(std::make_shared<std::filesystem::path>(Escenas::carpeta(doc))),
      ancho_(ancho),
      alto_(alto) {
    servirFuentes(*web_);
    servirEscenas(*web_, [carpeta = carpetaEscenas_] { return *carpeta; });
    anfitrion_->alojar(web_->widget());
}

void PaginaRender::preparar(const std::optional<std::string>& doc, int ancho, int alto) {
    *carpetaEscenas_ = Escenas::carpeta(doc);
    ancho_ = ancho;
    alto_ = alto;
}

PaginaRender::~PaginaRender() {
    webkit_web_view_terminate_web_process(web_->vistaWeb());
    anfitrion_->soltar();
}

Tarea<bool> PaginaRender::cargar(const std::string& html, LimitesRender limites) {
    anfitrion_->dimensionar(ancho_, alto_);
    const FinDeCarga fin(web_->vistaWeb());
    web_->cargarHTML(Renderizador::documento(reemplazarTodo(html, "\"escenas/", escenasDeCarga()), "", false),
                     uriCarpetaEditor());
    // A load that never ends is left at its limit: whether the page
    // answers then decides.
    co_await fin.esperar(limites.carga);
    co_return co_await esperarListo(web_->vistaWeb(), ancho_, alto_, limites.evaluacion);
}

Tarea<Resultado<Ref<GdkTexture>>> PaginaRender::capturar(double limite) {
    auto foto = co_await conTiempoLimite(capturarVisible(Ref<WebKitWebView>::compartir(web_->vistaWeb())), limite);
    if (!foto) co_return Fallo{"No se ha podido capturar la página.", "captura"};
    co_return std::move(*foto);
}

}  // namespace sorvenia
