// The recording half of the renderer: one page, each frame's time set on
// every animation, a snapshot per frame, and the pictures handed to the
// encoder, which works on a thread of its own while the next frame is
// prepared here.

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

#include "centro/centro.h"
#include "centro/editor_modelo.h"
#include "editor/gui/pagina_render.h"
#include "editor/gui/renderizador.h"
#include "editor/medidas_video.h"
#include "plataforma/codificador_video.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

// Pages recording side by side: snapshots are painted in each page's web
// process, so two of them keep two cores busy instead of one.
constexpr int paginasALaVez = 2;

Fallo sinEscribir() { return Fallo{"No se puede escribir el vídeo.", "video"}; }
Fallo sinRespuesta() { return Fallo{"La mesa no responde, así que no se ha podido grabar su vídeo.", "video"}; }
Fallo sinRenderizador() { return Fallo{"Sin renderizador.", "video"}; }

// Pauses every animation of the document at `ms` milliseconds and puts the
// elements revealed on scroll in their revealed state. The number is
// written without the locale (a decimal comma would break the script).
std::string guionTiempo(double ms) {
    std::array<char, 32> numero{};
    const auto [fin, error] = std::to_chars(numero.data(), numero.data() + numero.size(), ms);
    const std::string texto = error == std::errc() ? std::string(numero.data(), fin) : "0";
    return "document.getAnimations().forEach(function(a){a.pause();a.currentTime=" + texto +
           "});document.querySelectorAll('.tv-scroll').forEach(function(e){e.classList.add('tv-ya')});return 1;";
}

// The snapshot's pixels as GDK lays them out by default: blue, green, red
// and premultiplied alpha, four bytes each. The copy is made on the
// encoder's thread (a snapshot is a texture in memory, immutable, so it may
// be read there) while the page here moves on to the next frame; the
// texture is let go on the main thread.
Fotograma fotogramaDe(Ref<GdkTexture> textura) {
    Fotograma f;
    f.ancho = gdk_texture_get_width(textura.get());
    f.alto = gdk_texture_get_height(textura.get());
    f.paso = static_cast<std::size_t>(f.ancho) * 4;
    f.rellenar = [textura = std::move(textura)](std::uint8_t* destino, std::size_t paso) mutable {
        gdk_texture_download(textura.get(), destino, paso);
        enPrincipal([soltar = std::move(textura)] {});
    };
    return f;
}

using Foto = Resultado<Ref<GdkTexture>>;

// One frame: the page set to its time and photographed. The page is shared
// so that a snapshot still in flight keeps it.
Tarea<Foto> fotoEn(std::shared_ptr<PaginaRender> pagina, double ms, LimitesRender limites) {
    auto tiempo = co_await conTiempoLimite(pagina->web().llamar(guionTiempo(ms)), limites.evaluacion);
    if (!tiempo) co_return sinRespuesta();
    if (!*tiempo) co_return sinRenderizador();
    auto foto = co_await pagina->capturar(limites.evaluacion);
    if (!foto) co_return sinRenderizador();
    co_return foto;
}

// A frame taken on its own, collected later in its turn.
struct Pendiente {
    std::optional<Foto> foto;
    std::function<void(bool)> listo;
};

Tarea<void> tomar(Tarea<Foto> tarea, std::shared_ptr<Pendiente> p) {
    try {
        p->foto.emplace(co_await std::move(tarea));
    } catch (...) {
        p->foto.emplace(sinRenderizador());
    }
    if (auto listo = std::exchange(p->listo, {})) listo(true);
}

Tarea<Foto> recoger(std::shared_ptr<Pendiente> p) {
    if (!p->foto)
        co_await conRetrollamada<bool>([p](std::function<void(bool)> listo) {
            if (p->foto) listo(true);
            else p->listo = std::move(listo);
        });
    co_return std::move(*p->foto);
}

// Frames still being taken when the recording ends early are cancelled.
struct EnCurso {
    std::vector<TareaLanzada> tareas;
    ~EnCurso() {
        for (const TareaLanzada& t : tareas) t.cancelar();
    }
};

}  // namespace

Tarea<Hecho> Renderizador::video(std::string html, std::int64_t ancho, std::int64_t alto, std::int64_t duracionMs,
                                 std::int64_t fps, std::filesystem::path destino,
                                 std::function<void(double)> progreso, std::optional<std::string> doc) {
    const auto medidas = medidasVideo(ancho, alto, duracionMs, fps);
    if (!medidas) co_return sinEscribir();
    if (!doc)
        if (const auto abierto = Centro::compartido().editor.lock()) doc = abierto->id();
    auto codificador = CodificadorVideo::abrir(
        {.destino = destino, .ancho = medidas->ancho, .alto = medidas->alto, .fps = static_cast<int>(fps),
         .tasaBits = medidas->tasaBits});
    if (!codificador) co_return codificador.fallo();

    // Each page is laid out at the design's size (the encoder scales each
    // picture to the video's). Several pages take consecutive frames at the
    // same time, each in its own web process, and the frames are queued in
    // order.
    std::vector<std::shared_ptr<PaginaRender>> paginas;
    for (int i = 0; i < paginasALaVez; ++i) {
        paginas.push_back(std::make_shared<PaginaRender>(doc, static_cast<int>(ancho), static_cast<int>(alto)));
        if (!co_await paginas.back()->cargar(html, limites_)) co_return sinRespuesta();
    }
    for (int primero = 0; primero < medidas->fotogramas; primero += paginasALaVez) {
        const int ultimo = std::min(medidas->fotogramas, primero + paginasALaVez);
        EnCurso enCurso;
        std::vector<std::shared_ptr<Pendiente>> fotos;
        for (int i = primero; i < ultimo; ++i) {
            fotos.push_back(std::make_shared<Pendiente>());
            const double ms = 1000.0 * i / static_cast<double>(fps);
            auto& pagina = paginas[static_cast<std::size_t>(i - primero)];
            enCurso.tareas.push_back(lanzar(tomar(fotoEn(pagina, ms, limites_), fotos.back())));
        }
        for (int i = primero; i < ultimo; ++i) {
            auto foto = co_await recoger(fotos[static_cast<std::size_t>(i - primero)]);
            if (!foto) co_return foto.fallo();
            if (Hecho paso = co_await (*codificador)->anadir(fotogramaDe(*std::move(foto))); !paso) co_return paso;
            if (progreso) progreso(static_cast<double>(i + 1) / medidas->fotogramas);
        }
    }
    co_return co_await (*codificador)->terminar();
}

}  // namespace sorvenia
