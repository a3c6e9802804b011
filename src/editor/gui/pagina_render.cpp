#include "editor/gui/pagina_render.h"

#include "editor/escenas.h"
#include "editor/gui/esquema_escena.h"
#include "medios/gui/esquema_fuente.h"
#include "plataforma/gui/anfitrion_oculto.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace {

constexpr int sondeosListo = 40;
constexpr double pausaSondeo = 0.1;
constexpr double pausaFinal = 0.12;

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

// Waits for the load with polling: a load that neither finishes nor fails
// (a crashed web process, a page that never stops) ends at the limit.
Tarea<void> esperarCarga(WebKitWebView* vista, double limite) {
    for (double pasado = 0; pasado < limite && webkit_web_view_is_loading(vista) != FALSE; pasado += 0.02)
        co_await dormir(0.02);
}

// Fonts loaded and every image complete, asked at most 40 times; any answer
// other than a plain false (true, an error) ends it. False when the page
// gave no answer in time: a page whose script never lets go shows nothing
// worth a picture, only whatever was painted before it got stuck.
Tarea<bool> esperarListo(WebVista& web, double limite) {
    for (int i = 0; i < sondeosListo; ++i) {
        auto pregunta =
            web.llamar("return document.fonts.status==='loaded' && [...document.images].every(i=>i.complete);");
        const auto respuesta = co_await conTiempoLimite(std::move(pregunta), limite);
        if (!respuesta) co_return false;
        if (!*respuesta || **respuesta != false) break;
        co_await dormir(pausaSondeo);
    }
    co_await dormir(pausaFinal);
    co_return true;
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
      ancho_(ancho),
      alto_(alto) {
    servirFuentes(*web_);
    // The view lives for this page only, which has one design.
    servirEscenas(*web_, [carpeta = Escenas::carpeta(doc)] { return carpeta; });
}

PaginaRender::~PaginaRender() {
    webkit_web_view_terminate_web_process(web_->vistaWeb());
    anfitrion_->soltar();
}

Tarea<bool> PaginaRender::cargar(const std::string& html, LimitesRender limites) {
    anfitrion_->alojar(web_->widget());
    anfitrion_->dimensionar(ancho_, alto_);
    web_->cargarHTML(Renderizador::documento(reemplazarTodo(html, "\"escenas/", "\"escena://local/"), "", false),
                     uriCarpetaEditor());
    co_await esperarCarga(web_->vistaWeb(), limites.carga);
    co_return co_await esperarListo(*web_, limites.evaluacion);
}

Tarea<Resultado<Ref<GdkTexture>>> PaginaRender::capturar(double limite) {
    auto foto = co_await conTiempoLimite(capturarVisible(Ref<WebKitWebView>::compartir(web_->vistaWeb())), limite);
    if (!foto) co_return Fallo{"No se ha podido capturar la página.", "captura"};
    co_return std::move(*foto);
}

}  // namespace sorvenia
