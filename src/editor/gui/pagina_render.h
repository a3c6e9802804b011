#pragma once
// The page of renders or of one recording: design HTML in a web view of its
// own, hosted in a window that is never presented, serving the user's fonts
// and the scenes of one design. It may load one document after another.
// Dropping it ends its web process, which releases whatever still waits on
// the page.

#include <gdk/gdk.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "editor/gui/renderizador.h"
#include "plataforma/objeto_g.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class AnfitrionOculto;
class WebVista;

class PaginaRender {
public:
    // A viewport of `ancho` x `alto` pixels; "escenas/<file>" is read from
    // the scene folder of design `doc`.
    PaginaRender(const std::optional<std::string>& doc, int ancho, int alto);
    ~PaginaRender();
    PaginaRender(const PaginaRender&) = delete;
    PaginaRender& operator=(const PaginaRender&) = delete;

    // The viewport and the design of the next load, for a page reused by
    // another render.
    void preparar(const std::optional<std::string>& doc, int ancho, int alto);

    // Loads the complete document around `html` and waits, within the
    // limits, until its fonts and images are ready and the viewport has its
    // size. False when the page gave no answer in time.
    Tarea<bool> cargar(const std::string& html, LimitesRender limites);

    // The visible viewport, or a failure (also when it takes longer than
    // `limite` seconds).
    Tarea<Resultado<Ref<GdkTexture>>> capturar(double limite);

    WebVista& web() { return *web_; }
    std::weak_ptr<WebVista> debil() const { return web_; }

private:
    std::shared_ptr<WebVista> web_;
    std::unique_ptr<AnfitrionOculto> anfitrion_;
    // Read by the scene handler at each request.
    std::shared_ptr<std::filesystem::path> carpetaEscenas_;
    int ancho_;
    int alto_;
};

}  // namespace sorvenia
