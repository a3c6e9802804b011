#pragma once
// The frames of a recording, taken by several pages at once and handed out
// in order. Each page is a copy of the same design in a web process of its
// own, so while one paints its snapshot the others are being set to their
// frames' times and painting theirs: the snapshots, which are painted in
// the web process one at a time, keep several cores busy instead of one.
//
// A page that finishes a frame takes the next frame not yet taken, never
// more than `adelanto` frames past the one the caller is waiting for, so the
// pictures held in memory stay bounded when the encoder is the slower side.
// Everything here runs on the main thread and never blocks it.

#include <gdk/gdk.h>

#include <memory>
#include <optional>
#include <string>

#include "editor/gui/renderizador.h"
#include "plataforma/objeto_g.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

struct AjustesRodaje {
    std::string html;                // the design, as PaginaRender loads it
    std::optional<std::string> doc;  // whose scenes it may show
    int ancho = 0;                   // the viewport
    int alto = 0;
    int paginas = 2;
    int fotogramas = 0;
    int fps = 30;
    int adelanto = 8;  // frames taken at most past the next one handed out
    LimitesRender limites;
};

class Rodaje {
public:
    // Starts loading the pages, all at once. Frame i is the page with every
    // animation at i * 1000 / fps milliseconds.
    explicit Rodaje(AjustesRodaje ajustes);
    // Frames still being taken are abandoned; a page is dropped (and its
    // web process ended) once its snapshot under way lets go of it.
    ~Rodaje();
    Rodaje(const Rodaje&) = delete;
    Rodaje& operator=(const Rodaje&) = delete;

    // The next frame's picture, in order, or the failure of the page that
    // was taking it or of a page that did not load (code "video"). Only one
    // caller at a time.
    Tarea<Resultado<Ref<GdkTexture>>> siguiente();

    struct Estado;

private:
    std::shared_ptr<Estado> estado_;
};

}  // namespace sorvenia
