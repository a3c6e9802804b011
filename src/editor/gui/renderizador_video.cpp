// The recording half of the renderer: one page, each frame's time set on
// every animation, a snapshot per frame, and the pictures handed to the
// encoder, which works on a thread of its own while the next frame is
// prepared here.

#include <array>
#include <charconv>

#include "centro/centro.h"
#include "centro/editor_modelo.h"
#include "editor/gui/pagina_render.h"
#include "editor/gui/renderizador.h"
#include "editor/medidas_video.h"
#include "plataforma/codificador_video.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

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
// and premultiplied alpha, four bytes each.
Fotograma fotogramaDe(GdkTexture* textura) {
    Fotograma f;
    f.ancho = gdk_texture_get_width(textura);
    f.alto = gdk_texture_get_height(textura);
    f.paso = static_cast<std::size_t>(f.ancho) * 4;
    f.bytes.resize(f.paso * static_cast<std::size_t>(f.alto));
    gdk_texture_download(textura, f.bytes.data(), f.paso);
    return f;
}

// One frame: the page set to its time, photographed, queued.
Tarea<Hecho> grabarFotograma(PaginaRender& pagina, CodificadorVideo& codificador, double ms,
                             const LimitesRender& limites) {
    auto tiempo = co_await conTiempoLimite(pagina.web().llamar(guionTiempo(ms)), limites.evaluacion);
    if (!tiempo) co_return sinRespuesta();
    if (!*tiempo) co_return sinRenderizador();
    auto foto = co_await pagina.capturar(limites.evaluacion);
    if (!foto) co_return sinRenderizador();
    co_return co_await codificador.anadir(fotogramaDe((*foto).get()));
}

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

    // The page is laid out at the design's size; the encoder scales each
    // picture to the video's.
    PaginaRender pagina(doc, static_cast<int>(ancho), static_cast<int>(alto));
    if (!co_await pagina.cargar(html, limites_)) co_return sinRespuesta();
    for (int i = 0; i < medidas->fotogramas; ++i) {
        const double ms = 1000.0 * i / static_cast<double>(fps);
        if (Hecho paso = co_await grabarFotograma(pagina, **codificador, ms, limites_); !paso) co_return paso;
        if (progreso) progreso(static_cast<double>(i + 1) / medidas->fotogramas);
    }
    co_return co_await (*codificador)->terminar();
}

}  // namespace sorvenia
