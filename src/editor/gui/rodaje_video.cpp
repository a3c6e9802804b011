#include "editor/gui/rodaje_video.h"

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "editor/gui/guion_tiempo.h"
#include "editor/gui/pagina_render.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using Foto = Resultado<Ref<GdkTexture>>;

Fallo sinRespuesta() { return Fallo{"La mesa no responde, así que no se ha podido grabar su vídeo.", "video"}; }
Fallo sinRenderizador() { return Fallo{"Sin renderizador.", "video"}; }

// Sets the page to `ms`; false when it gave no answer in time.
Tarea<Hecho> ponerEn(std::shared_ptr<PaginaRender> pagina, double ms, double limite) {
    auto tiempo = co_await conTiempoLimite(pagina->web().llamar(guionTiempo(ms)), limite);
    if (!tiempo) co_return sinRespuesta();
    if (!*tiempo) co_return sinRenderizador();
    co_return hecho();
}

}  // namespace

struct Rodaje::Estado {
    struct Pagina {
        std::shared_ptr<PaginaRender> pagina;
        bool libre = false;  // loaded and not taking a frame
        TareaLanzada tarea;
    };

    AjustesRodaje ajustes;
    std::vector<Pagina> paginas;
    std::map<int, Foto> listas;      // frames taken, waiting for their turn
    int tomadas = 0;                 // frames handed to a page so far
    int entregadas = 0;              // frames handed out in order so far
    std::optional<Fallo> sinCargar;  // a page that did not load
    std::function<void(bool)> despertar;
    bool cerrado = false;

    void repartir(const std::shared_ptr<Estado>& yo);
    void avisar(int i);
    static Tarea<void> cargar(std::shared_ptr<Estado> e, std::size_t k);
    static Tarea<void> tomar(std::shared_ptr<Estado> e, std::size_t k, int i);
    static Tarea<Foto> fotografiar(std::shared_ptr<Estado> e, std::size_t k, int i);
};

// Gives each free page the next frame, within the window past the one the
// caller waits for.
void Rodaje::Estado::repartir(const std::shared_ptr<Estado>& yo) {
    const int hasta = std::min(ajustes.fotogramas, entregadas + ajustes.adelanto);
    for (std::size_t k = 0; k < paginas.size() && !cerrado && tomadas < hasta; ++k) {
        if (!paginas[k].libre) continue;
        paginas[k].libre = false;
        paginas[k].tarea = lanzar(tomar(yo, k, tomadas++));
    }
}

// Wakes the caller waiting for frame i (-1: whatever it waits for).
void Rodaje::Estado::avisar(int i) {
    if (i < 0 || i == entregadas)
        if (auto listo = std::exchange(despertar, {})) listo(true);
}

// Loads page k; once loaded it is set to time zero: the first seek reveals
// the elements shown on scroll, which may start transitions, and after it
// every page holds the same animations, so a frame looks the same whichever
// page takes it.
Tarea<void> Rodaje::Estado::cargar(std::shared_ptr<Estado> e, std::size_t k) {
    const auto pagina = e->paginas[k].pagina;
    Hecho listo = sinRespuesta();
    if (co_await pagina->cargar(e->ajustes.html, e->ajustes.limites))
        listo = co_await ponerEn(pagina, 0, e->ajustes.limites.evaluacion);
    if (!listo) {
        if (!e->sinCargar) e->sinCargar = listo.fallo();
        e->avisar(-1);
        co_return;
    }
    e->paginas[k].libre = true;
    e->repartir(e);
}

Tarea<Foto> Rodaje::Estado::fotografiar(std::shared_ptr<Estado> e, std::size_t k, int i) {
    const auto pagina = e->paginas[k].pagina;
    const double limite = e->ajustes.limites.evaluacion;
    if (Hecho puesto = co_await ponerEn(pagina, 1000.0 * i / e->ajustes.fps, limite); !puesto) co_return puesto.fallo();
    auto foto = co_await pagina->capturar(limite);
    if (!foto) co_return sinRenderizador();
    co_return foto;
}

// One frame on page k; when it is done the page takes the next one.
Tarea<void> Rodaje::Estado::tomar(std::shared_ptr<Estado> e, std::size_t k, int i) {
    std::optional<Foto> foto;
    try {
        foto.emplace(co_await fotografiar(e, k, i));
    } catch (const TareaCancelada&) {
        throw;
    } catch (...) {
        foto.emplace(sinRenderizador());
    }
    e->listas.emplace(i, std::move(*foto));
    e->paginas[k].libre = true;
    e->avisar(i);
    e->repartir(e);
}

Rodaje::Rodaje(AjustesRodaje ajustes) : estado_(std::make_shared<Estado>()) {
    estado_->ajustes = std::move(ajustes);
    const AjustesRodaje& a = estado_->ajustes;
    for (int k = 0; k < a.paginas; ++k)
        estado_->paginas.push_back({.pagina = std::make_shared<PaginaRender>(a.doc, a.ancho, a.alto)});
    for (std::size_t k = 0; k < estado_->paginas.size(); ++k)
        estado_->paginas[k].tarea = lanzar(Estado::cargar(estado_, k));
}

Rodaje::~Rodaje() {
    estado_->cerrado = true;
    for (const Estado::Pagina& p : estado_->paginas) p.tarea.cancelar();
}

Tarea<Resultado<Ref<GdkTexture>>> Rodaje::siguiente() {
    const auto e = estado_;
    if (e->entregadas >= e->ajustes.fotogramas) co_return sinRenderizador();
    if (!e->listas.contains(e->entregadas) && !e->sinCargar)
        co_await conRetrollamada<bool>([e](std::function<void(bool)> listo) { e->despertar = std::move(listo); });
    if (!e->listas.contains(e->entregadas)) co_return *e->sinCargar;
    auto nodo = e->listas.extract(e->entregadas++);
    e->repartir(e);
    co_return std::move(nodo.mapped());
}

}  // namespace sorvenia
