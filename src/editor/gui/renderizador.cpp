#include "editor/gui/renderizador.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cmath>

#include "centro/centro.h"
#include "centro/editor_modelo.h"
#include "editor/gui/pagina_render.h"
#include "plataforma/gui/codificar_imagen.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

constexpr int ladoMaximo = 16384;
constexpr int calidadJpeg = 70;

bool dentro(double v) { return std::isfinite(v) && v >= 1 && v <= ladoMaximo; }

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
    PaginaRender pagina(docCaptura_, ancho, alto);
    actual_ = pagina.debil();
    if (!co_await pagina.cargar(html, limites_)) co_return std::nullopt;
    const auto foto = co_await pagina.capturar(limites_.evaluacion);
    if (!foto) co_return std::nullopt;
    co_return codificar((*foto).get(), anchoSalida, jpeg);
}

}  // namespace sorvenia
