// The recording half of the renderer: pages of the design taking the frames
// side by side (Rodaje), each frame's picture handed in order to the
// encoder, which copies, converts and encodes on threads of its own while
// the pages here move on to the next frames.

#include "centro/centro.h"
#include "centro/editor_modelo.h"
#include "editor/gui/renderizador.h"
#include "editor/gui/rodaje_video.h"
#include "editor/medidas_video.h"
#include "plataforma/codificador_video.h"
#include "plataforma/gui/codificar_imagen.h"

namespace sorvenia {
namespace {

// Pages recording side by side: snapshots are painted in each page's web
// process, so two of them keep two cores busy instead of one. A third gave
// no more on a busy 8-core machine, where the encoder's side is as slow.
constexpr int paginasALaVez = 2;

Fallo sinEscribir() { return Fallo{"No se puede escribir el vídeo.", "video"}; }

// The snapshot's pixels as GDK lays them out by default: blue, green, red
// and premultiplied alpha, four bytes each. A snapshot held in memory is
// immutable, so the copy is made on the encoder's thread while the page here
// moves on to the next frame, and the texture is let go on the main thread;
// one held by the GPU is copied here, on the main thread that owns it.
Fotograma fotogramaDe(Ref<GdkTexture> textura) {
    Fotograma f;
    if (!descargaLibre(textura.get())) {
        PixelesPremultiplicados p = descargarTextura(textura.get());
        f.ancho = p.ancho;
        f.alto = p.alto;
        f.paso = p.paso;
        f.bytes = std::move(p.datos);
        return f;
    }
    f.ancho = gdk_texture_get_width(textura.get());
    f.alto = gdk_texture_get_height(textura.get());
    f.paso = static_cast<std::size_t>(f.ancho) * 4;
    f.rellenar = [textura = std::move(textura)](std::uint8_t* destino, std::size_t paso) mutable {
        gdk_texture_download(textura.get(), destino, paso);
        enPrincipal([soltar = std::move(textura)] {});
    };
    return f;
}

}  // namespace

Tarea<Hecho> Renderizador::video(std::string html, std::int64_t ancho, std::int64_t alto, std::int64_t duracionMs,
                                 std::int64_t fps, std::filesystem::path destino,
                                 std::function<void(double)> progreso, std::optional<std::string> doc) {
    const auto medidas = medidasVideo(ancho, alto, duracionMs, fps);
    if (!medidas) co_return sinEscribir();
    if (!doc)
        if (const auto abierto = Centro::compartido().editor.lock()) doc = abierto->id();
    // Opening x264 allocates its frames and starts its threads: a worker's
    // job, not the main thread's.
    auto codificador = co_await enSegundoPlano(
        [ajustes = AjustesVideo{.destino = destino,
                                .ancho = medidas->ancho,
                                .alto = medidas->alto,
                                .fps = static_cast<int>(fps),
                                .tasaBits = medidas->tasaBits}] { return CodificadorVideo::abrir(ajustes); });
    if (!codificador) co_return codificador.fallo();

    // Each page is laid out at the design's size (the encoder scales each
    // picture to the video's).
    Rodaje rodaje({.html = std::move(html),
                   .doc = std::move(doc),
                   .ancho = static_cast<int>(ancho),
                   .alto = static_cast<int>(alto),
                   .paginas = paginasALaVez,
                   .fotogramas = medidas->fotogramas,
                   .fps = static_cast<int>(fps),
                   .limites = limites_});
    for (int i = 0; i < medidas->fotogramas; ++i) {
        auto foto = co_await rodaje.siguiente();
        if (!foto) co_return foto.fallo();
        if (Hecho paso = co_await (*codificador)->anadir(fotogramaDe(*std::move(foto))); !paso) co_return paso;
        if (progreso) progreso(static_cast<double>(i + 1) / medidas->fotogramas);
    }
    co_return co_await (*codificador)->terminar();
}

}  // namespace sorvenia
