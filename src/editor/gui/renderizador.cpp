#include "editor/gui/renderizador.h"

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
// Renders one warm page serves before a new one takes its place: whatever
// a web process keeps from document to document is let go with it.
constexpr int rendersPorPagina = 50;
// Seconds without renders after which the warm page is dropped.
constexpr unsigned segundosOcioso = 30;

bool dentro(double v) { return std::isfinite(v) && v >= 1 && v <= ladoMaximo; }

// The snapshot scaled to the output width, then encoded, on a worker
// thread: a tall capture takes most of a second to encode, which the main
// loop must not wait out. A snapshot held in memory is read there too; one
// on the GPU is copied out first, on the main thread that owns it.
Tarea<Renderizador::Imagen> codificar(Ref<GdkTexture> textura, int anchoSalida, bool jpeg) {
    std::optional<PixelesPremultiplicados> copiados;
    if (!descargaLibre(textura.get())) {
        copiados = descargarTextura(textura.get());
        textura = {};
    }
    auto bytes = co_await enSegundoPlano(
        [textura = std::move(textura), copiados = std::move(copiados), anchoSalida, jpeg]() mutable {
            const PixelesPremultiplicados pixeles =
                copiados ? std::move(*copiados) : descargarTextura(textura.get());
            textura = {};
            return escalarYCodificar(pixeles, anchoSalida, jpeg, calidadJpeg);
        });
    if (!bytes) co_return std::nullopt;
    co_return std::move(*bytes);
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

Renderizador::~Renderizador() { olvidarOcioso(); }

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
    olvidarOcioso();
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
    // A page that failed a render is not trusted with the next one.
    if (!resultado || !*resultado) caliente_.reset();
    soltarCuandoOcioso();
    liberarTurno();
    co_return resultado ? std::move(*resultado) : std::nullopt;
}

std::shared_ptr<PaginaRender> Renderizador::paginaPara(int ancho, int alto) {
    if (caliente_ && usosCaliente_ < rendersPorPagina) {
        caliente_->preparar(docCaptura_, ancho, alto);
    } else {
        caliente_.reset();  // its web process ends before the next one starts
        caliente_ = std::make_shared<PaginaRender>(docCaptura_, ancho, alto);
        usosCaliente_ = 0;
    }
    ++usosCaliente_;
    return caliente_;
}

Tarea<Renderizador::Imagen> Renderizador::pintar(std::string html, int ancho, int alto, int anchoSalida, bool jpeg) {
    // The render holds its page: when it is given up, ending the web
    // process releases whatever still waits on it.
    const std::shared_ptr<PaginaRender> pagina = paginaPara(ancho, alto);
    actual_ = pagina->debil();
    if (!co_await pagina->cargar(html, limites_)) co_return std::nullopt;
    const auto foto = co_await pagina->capturar(limites_.evaluacion);
    if (!foto) co_return std::nullopt;
    co_return co_await codificar(std::move(*foto), anchoSalida, jpeg);
}

void Renderizador::soltarCuandoOcioso() {
    olvidarOcioso();
    if (!caliente_) return;
    ocioso_ = g_timeout_add_seconds(
        segundosOcioso,
        [](gpointer datos) -> gboolean {
            auto& r = *static_cast<Renderizador*>(datos);
            r.ocioso_ = 0;
            if (!r.ocupado_) r.caliente_.reset();
            return G_SOURCE_REMOVE;
        },
        this);
}

void Renderizador::olvidarOcioso() {
    if (ocioso_ != 0) g_source_remove(std::exchange(ocioso_, 0));
}

}  // namespace sorvenia
