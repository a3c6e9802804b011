#include "editor/gui/renderizador.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cmath>

#include "centro/centro.h"
#include "centro/editor_modelo.h"
#include "editor/escenas.h"
#include "editor/gui/esquema_escena.h"
#include "medios/gui/esquema_fuente.h"
#include "plataforma/gui/anfitrion_oculto.h"
#include "plataforma/gui/codificar_imagen.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/objeto_g.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace {

constexpr int ladoMaximo = 16384;
constexpr int sondeosListo = 40;
constexpr double pausaSondeo = 0.1;
constexpr double pausaFinal = 0.12;
constexpr int calidadJpeg = 70;

bool dentro(double v) { return std::isfinite(v) && v >= 1 && v <= ladoMaximo; }

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

// The snapshot scaled to the output width, then encoded.
Renderizador::Imagen codificar(GdkTexture* textura, int anchoSalida, bool jpeg) {
    auto original = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_get_from_texture(textura));
    if (!original) return std::nullopt;
    const int ancho = gdk_pixbuf_get_width(original.get()), alto = gdk_pixbuf_get_height(original.get());
    const int altoSalida = std::max(1, static_cast<int>(std::lround(static_cast<double>(alto) * anchoSalida / ancho)));
    auto escalada = Ref<GdkPixbuf>::adoptar(
        gdk_pixbuf_scale_simple(original.get(), anchoSalida, altoSalida, GDK_INTERP_BILINEAR));
    if (!escalada) return std::nullopt;
    auto salida = Ref<GdkTexture>::adoptar(gdk_texture_new_for_pixbuf(escalada.get()));
    auto bytes = codificarTextura(salida.get(), jpeg ? FormatoImagen::jpeg : FormatoImagen::png, calidadJpeg);
    if (!bytes) return std::nullopt;
    return std::move(*bytes);
}

}  // namespace

// Renders take turns in the order they arrive; a waiting caller resumes on
// the main context when the render before it has finished.
struct Renderizador::Turno {
    explicit Turno(Renderizador& r) : renderizador(r) {}
    Renderizador& renderizador;
    bool await_ready() const noexcept {
        if (renderizador.ocupado_) return false;
        renderizador.ocupado_ = true;
        return true;
    }
    void await_suspend(std::coroutine_handle<> h) { renderizador.esperando_.push_back(h); }
    void await_resume() const noexcept {}
};

Renderizador& Renderizador::compartido() {
    static Renderizador* r = new Renderizador();  // lives for the whole run
    return *r;
}

Renderizador::Renderizador(LimitesRender limites) : limites_(limites) {}

void Renderizador::liberarTurno() {
    if (esperando_.empty()) {
        ocupado_ = false;
        return;
    }
    auto siguiente = esperando_.front();
    esperando_.pop_front();
    enPrincipal([siguiente] { siguiente.resume(); });
}

Tarea<Renderizador::Imagen> Renderizador::png(std::string html, double ancho, double alto, int anchoSalida, bool jpeg,
                                              std::optional<std::string> doc) {
    if (!dentro(ancho) || !dentro(alto) || !dentro(anchoSalida)) co_return std::nullopt;
    co_await Turno(*this);
    if (!doc)
        if (const auto abierto = Centro::compartido().editor.lock()) doc = abierto->id();
    docCaptura_ = std::move(doc);
    auto render = pintar(std::move(html), static_cast<int>(std::lround(ancho)), static_cast<int>(std::lround(alto)),
                         anchoSalida, jpeg);
    auto resultado = co_await conTiempoLimite(std::move(render), limites_.total);
    // A render given up may still be waiting on its page: ending its web
    // process makes every wait fail, so it finishes and frees its view.
    if (!resultado)
        if (auto web = actual_.lock()) webkit_web_view_terminate_web_process(web->vistaWeb());
    liberarTurno();
    co_return resultado ? std::move(*resultado) : std::nullopt;
}

Tarea<Renderizador::Imagen> Renderizador::pintar(std::string html, int ancho, int alto, int anchoSalida, bool jpeg) {
    // Each render owns its view and host; when it is given up, ending the
    // web process releases whatever still waits on the page.
    auto web = std::make_shared<WebVista>("renderizador");
    servirFuentes(*web);
    // The view lives for this render only, which has one design.
    servirEscenas(*web, [carpeta = Escenas::carpeta(docCaptura_)] { return carpeta; });
    actual_ = web;
    auto anfitrion = std::make_shared<AnfitrionOculto>();
    struct Fin {
        std::shared_ptr<WebVista> web;
        ~Fin() { webkit_web_view_terminate_web_process(web->vistaWeb()); }
    } fin{web};

    anfitrion->alojar(web->widget());
    anfitrion->dimensionar(ancho, alto);
    web->cargarHTML(documento(reemplazarTodo(html, "\"escenas/", "\"escena://local/"), "", false), uriCarpetaEditor());
    co_await esperarCarga(web->vistaWeb(), limites_.carga);
    if (!co_await esperarListo(*web, limites_.evaluacion)) co_return std::nullopt;

    auto foto = co_await conTiempoLimite(capturarVisible(Ref<WebKitWebView>::compartir(web->vistaWeb())),
                                         limites_.evaluacion);
    anfitrion->soltar();
    if (!foto || !*foto) co_return std::nullopt;
    co_return codificar((*foto)->get(), anchoSalida, jpeg);
}

}  // namespace sorvenia
