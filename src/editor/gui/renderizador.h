#pragma once
// Renderizador: design HTML turned into a PNG or JPEG picture without
// showing anything. It serves the agents' screenshots, the thumbnails saved
// with each design and the picture exports. Renders run one after another in
// the order they were asked for, in a web view hosted in a window that is
// never presented. The view is kept warm between renders (each loads its
// document into it) and made anew after a number of renders, after a render
// that failed, and after a while with none, so that its memory stays
// bounded and an idle application holds no web process for it.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/documento_web.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

// Every step of a render is bounded, so a page that never finishes loading
// (or a script that never returns) cannot hold up the renders queued behind
// it, nor the saves that wait for their thumbnails.
struct LimitesRender {
    double carga = 15;        // seconds for the page load
    double evaluacion = 10;   // each readiness check, and the snapshot
    double total = 30;        // the whole render
};

class Renderizador {
public:
    static Renderizador& compartido();
    explicit Renderizador(LimitesRender limites = {});
    ~Renderizador();
    Renderizador(const Renderizador&) = delete;
    Renderizador& operator=(const Renderizador&) = delete;

    using Imagen = std::optional<std::vector<std::uint8_t>>;

    // `html` laid out in an `ancho` x `alto` viewport, pictured `anchoSalida`
    // pixels wide (the height keeps the proportion). Nothing when a size is
    // outside 1 to 16384 or any step fails or runs out of time. `doc` names
    // the design whose scenes the HTML may show ("escenas/<file>" in a
    // quoted attribute); without one, the design open in the window.
    Tarea<Imagen> png(std::string html, double ancho, double alto, int anchoSalida, bool jpeg,
                      std::optional<std::string> doc = std::nullopt);

    // `html` with its CSS animations recorded as an H.264 MP4 file at
    // `destino`: every animation of the page is paused at each frame's time
    // and the page photographed. The size follows medidasVideo() (never
    // wider than 1920 pixels). `progreso` hears the fraction done after each
    // frame. The file appears under its name only when it is whole; a
    // failure, or a cancellation of the task, leaves whatever was there.
    // A recording has a page of its own and does not wait for the picture
    // renders, nor they for it. Failures carry the code "video".
    Tarea<Hecho> video(std::string html, std::int64_t ancho, std::int64_t alto, std::int64_t duracionMs,
                       std::int64_t fps, std::filesystem::path destino, std::function<void(double)> progreso,
                       std::optional<std::string> doc = std::nullopt);

    // The design whose scene folder the render under way may read.
    const std::optional<std::string>& docCaptura() const { return docCaptura_; }

    // The complete HTML document around a piece of design HTML, as the
    // renderer and the HTML and website exports write it.
    static std::string documento(const std::string& html, const std::string& titulo, bool fuentesWeb) {
        return documentoWeb(html, titulo, fuentesWeb);
    }

private:
    struct Turno;
    Tarea<Imagen> pintar(std::string html, int ancho, int alto, int anchoSalida, bool jpeg);
    std::shared_ptr<class PaginaRender> paginaPara(int ancho, int alto);
    void liberarTurno();
    void soltarCuandoOcioso();
    void olvidarOcioso();

    LimitesRender limites_;
    std::weak_ptr<class WebVista> actual_;  // the view of the render under way
    // The warm page, shared with the render that uses it (a render given up
    // keeps its page until it ends, while the next one gets a new page).
    std::shared_ptr<PaginaRender> caliente_;
    int usosCaliente_ = 0;
    unsigned ocioso_ = 0;  // the GLib timeout that drops the warm page
    std::optional<std::string> docCaptura_;
    bool ocupado_ = false;
    std::deque<std::coroutine_handle<>> esperando_;
};

}  // namespace sorvenia
